#include "portable/util/utf.h"

#include <cstdint>

namespace vandrel {

char32_t NextCodePoint(std::string_view text, size_t& i, bool& malformed) {
    malformed = false;
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    // The sequence's length, from its first byte; the range its second byte must fall in
    // excludes overlongs, surrogates and values past U+10FFFF.
    const size_t length = lead < 0xC2    ? 0
                          : lead <= 0xDF ? 2
                          : lead <= 0xEF ? 3
                          : lead <= 0xF4 ? 4
                                         : 0;
    if (length == 0) {
        ++i;
        malformed = true;
        return kReplacementCharacter;
    }
    char32_t value = lead & (0x7F >> length);
    const uint8_t secondLow = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const uint8_t secondHigh = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    size_t at = i + 1;
    for (size_t k = 1; k < length; ++k, ++at) {
        const uint8_t low = k == 1 ? secondLow : 0x80;
        const uint8_t high = k == 1 ? secondHigh : 0xBF;
        if (at >= text.size() || byte(at) < low || byte(at) > high) {
            i = at;
            malformed = true;
            return kReplacementCharacter;
        }
        value = (value << 6) | (byte(at) & 0x3F);
    }
    i = at;
    return value;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    bool malformed = false;
    while (i < utf8.size()) {
        const char32_t c = NextCodePoint(utf8, i, malformed);
        if (c > 0xFFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) +
                                (char32_t{utf16[i + 1]} - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    size_t i = 0;
    bool malformed = false;
    while (i < utf8.size()) {
        units += NextCodePoint(utf8, i, malformed) > 0xFFFF ? 2 : 1;
    }
    return units;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    bool malformed = false;
    while (i < text.size()) {
        NextCodePoint(text, i, malformed);
        if (malformed) {
            return false;
        }
    }
    return true;
}

bool DisguisesText(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::optional<char32_t> FirstDisguise(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        bool malformed = false;
        const char32_t c = NextCodePoint(text, i, malformed);
        if (!malformed && DisguisesText(c)) {
            return c;
        }
    }
    return std::nullopt;
}

}  // namespace vandrel
