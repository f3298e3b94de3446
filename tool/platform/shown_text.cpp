#include "platform/shown_text.h"

#include "platform/file_io.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

namespace {

constexpr char kHex[] = "0123456789abcdef";

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

std::string Plural(uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

}  // namespace vandrel::tool
