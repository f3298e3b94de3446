#include "bundle/bundle_names.h"

#include <algorithm>
#include <utility>

#include "platform/file_io.h"
#include "platform/name_folding.h"
#include "portable/util/file_names.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

namespace {

std::optional<std::string> WindowsSegmentReason(const std::string& segment) {
    switch (WindowsNameFault(segment)) {
        case NameFault::None:
        case NameFault::Empty:     // refused earlier, with reasons of their own
        case NameFault::DotsOnly:  // "." and ".." likewise; "..." goes on to its trailing dot
            break;
        case NameFault::Colon:
            return "a drive letter or colon is not allowed";
        case NameFault::ControlCharacter:
        case NameFault::ReservedCharacter:
            return "it contains a character that Windows does not allow in file names";
        case NameFault::TrailingDotOrSpace:
            return "Windows drops a trailing dot or space from file names";
        case NameFault::DeviceName: {
            std::string stem = segment.substr(0, segment.find('.'));
            while (!stem.empty() && stem.back() == ' ') {
                stem.pop_back();
            }
            for (char& c : stem) {
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            }
            return Shown(stem) + " is a reserved device name on Windows";
        }
    }
    if (segment.back() == '.') {
        return "Windows drops a trailing dot or space from file names";
    }
    return std::nullopt;
}


template <typename Key>
std::optional<NameClash> FindClashAmong(const std::vector<std::string_view>& names,
                                        std::vector<std::pair<Key, size_t>> keys) {
    std::sort(keys.begin(), keys.end());
    const auto clash = [&](size_t a, size_t b, bool folder) {
        if (!folder && a > b) {
            std::swap(a, b);
        }
        return NameClash{std::string(names[a]), std::string(names[b]), folder};
    };
    for (size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].first == keys[i - 1].first) {
            return clash(keys[i - 1].second, keys[i].second, false);
        }
    }
    // Every name under the folder `key` sorts at or after key + '/', and together.
    using View = std::basic_string_view<typename Key::value_type>;
    std::basic_string<typename Key::value_type> below;
    for (const auto& [key, index] : keys) {
        below.assign(key);
        below.push_back('/');
        const View bound(below);
        const auto found = std::lower_bound(
            keys.begin(), keys.end(), bound,
            [](const std::pair<Key, size_t>& entry, View b) { return View(entry.first) < b; });
        if (found != keys.end() && View(found->first).starts_with(bound)) {
            return clash(index, found->second, true);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> UnsafeNameReason(const std::string& name, bool windowsRules) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.find('\0') != std::string::npos) {
        return "the name contains a zero byte";
    }
    if (name.front() == '/') {
        return "it is an absolute path";
    }
    if (windowsRules) {
        if (name.find('\\') != std::string::npos) {
            return "it contains a backslash";
        }
        if (!IsValidUtf8(name)) {
            return "it is not valid UTF-8";
        }
    }
    size_t start = 0;
    for (;;) {
        const size_t slash = name.find('/', start);
        const std::string segment =
            name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (segment.empty()) {
            return "it has an empty folder name (a doubled or trailing '/')";
        }
        if (segment == "..") {
            return "'..' would lead out of the folder";
        }
        if (segment == ".") {
            return "it has a '.' segment";
        }
        if (windowsRules) {
            if (auto reason = WindowsSegmentReason(segment)) {
                return reason;
            }
        }
        if (slash == std::string::npos) {
            return std::nullopt;
        }
        start = slash + 1;
    }
}

std::optional<NameClash> FindNameClash(const std::vector<std::string_view>& names,
                                       bool windowsRules) {
    if (windowsRules) {
        std::vector<std::pair<std::u32string, size_t>> keys;
        keys.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            keys.emplace_back(FoldedName(names[i]), i);
        }
        return FindClashAmong(names, std::move(keys));
    }
    std::vector<std::pair<std::string_view, size_t>> keys;
    keys.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        keys.emplace_back(names[i], i);
    }
    return FindClashAmong(names, std::move(keys));
}

}  // namespace vandrel::tool
