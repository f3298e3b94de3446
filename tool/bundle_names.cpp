#include "bundle_names.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <clocale>
#include <cwctype>
#include <locale.h>
#endif

#include "file_io.h"
#include "portable/util/file_names.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

namespace {

constexpr char kHex[] = "0123456789abcdef";

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

// Names as the file system compares them: on Windows without regard to case, through the
// system's upper-case mapping; elsewhere through the C library's, for the Windows rules on other
// systems. Folding keeps '/' as it is.
#ifdef _WIN32
using FoldedName = std::wstring;

FoldedName Fold(std::string_view name) {
    std::wstring wide = PathFromUtf8(name).native();
    if (wide.empty()) {
        return wide;
    }
    std::wstring upper(wide.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                                static_cast<int>(wide.size()), upper.data(),
                                static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (n != static_cast<int>(wide.size())) {
        return wide;
    }
    return upper;
}
#else
using FoldedName = std::u32string;

FoldedName Fold(std::string_view name) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    FoldedName folded;
    folded.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        uint32_t c = 0;
        const size_t length = Utf8SequenceAt(name, at, c);
        if (length == 0) {  // not UTF-8: the byte itself, apart from every code point
            folded.push_back(0x110000 + static_cast<unsigned char>(name[at]));
            ++at;
            continue;
        }
        if (c >= 'a' && c <= 'z') {
            c -= 'a' - 'A';
        } else if (c >= 0x80 && utf8 != static_cast<locale_t>(0)) {
            c = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(c), utf8));
        }
        folded.push_back(c);
        at += length;
    }
    return folded;
}
#endif

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

size_t Utf8SequenceAt(std::string_view text, size_t at, uint32_t& codePoint) {
    size_t next = at;
    bool malformed = false;
    const char32_t c = NextCodePoint(text, next, malformed);
    if (malformed) {
        return 0;
    }
    codePoint = static_cast<uint32_t>(c);
    return next - at;
}

std::string Shown(std::string_view name, bool quoted) {
    std::string text;
    text.reserve(name.size() + 2);
    if (quoted) {
        text.push_back('\'');
    }
    for (size_t at = 0; at < name.size();) {
        uint32_t c = 0;
        const size_t length = Utf8SequenceAt(name, at, c);
        if (length == 0 || (length == 1 && DisguisesText(c))) {
            const auto byte = static_cast<unsigned char>(name[at]);
            text += "\\x";
            text.push_back(kHex[byte >> 4]);
            text.push_back(kHex[byte & 15]);
            ++at;
            continue;
        }
        if (DisguisesText(c)) {
            text += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                text.push_back(kHex[(c >> shift) & 15]);
            }
        } else {
            text.append(name.substr(at, length));
        }
        at += length;
    }
    if (quoted) {
        text.push_back('\'');
    }
    return text;
}

std::string ShownPath(const std::filesystem::path& path) {
    return Shown(PathToUtf8(path));
}

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
        std::vector<std::pair<FoldedName, size_t>> keys;
        keys.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            keys.emplace_back(Fold(names[i]), i);
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
