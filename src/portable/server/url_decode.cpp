#include "portable/server/url_decode.h"

#include <cstdint>

namespace vandrel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[i], advancing i past it. An ill-formed sequence gives
// U+FFFD, sets `malformed` and advances past its maximal subpart: the longest prefix that could
// still begin a well-formed sequence, or one byte when even the first byte cannot.
char32_t NextCodePoint(std::string_view text, size_t& i, bool& malformed) {
    malformed = false;
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length = 0;
    char32_t value = 0;
    // The range the second byte must fall in; it excludes overlongs, surrogates and values past
    // U+10FFFF.
    uint8_t secondLow = 0x80;
    uint8_t secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) {
            secondLow = 0xA0;
        } else if (lead == 0xED) {
            secondHigh = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) {
            secondLow = 0x90;
        } else if (lead == 0xF4) {
            secondHigh = 0x8F;
        }
    } else {
        ++i;
        malformed = true;
        return kReplacement;
    }
    size_t at = i + 1;
    for (size_t k = 1; k < length; ++k, ++at) {
        const uint8_t low = k == 1 ? secondLow : 0x80;
        const uint8_t high = k == 1 ? secondHigh : 0xBF;
        if (at >= text.size() || byte(at) < low || byte(at) > high) {
            i = at;
            malformed = true;
            return kReplacement;
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

// Copies `text` to `out` with each malformed sequence replaced by U+FFFD; returns the UTF-16
// length of what was copied. `stopAtNul` stops the copy (not the count) at the first U+0000.
size_t AppendWellFormed(std::string_view text, std::string& out, bool stopAtNul) {
    size_t units = 0;
    bool copying = true;
    size_t i = 0;
    while (i < text.size()) {
        const size_t from = i;
        bool malformed = false;
        const char32_t c = NextCodePoint(text, i, malformed);
        units += c > 0xFFFF ? 2 : 1;
        if (c == 0 && stopAtNul) {
            copying = false;
        }
        if (!copying) {
            continue;
        }
        if (malformed) {
            AppendUtf8(out, kReplacement);
        } else {
            out.append(text, from, i - from);
        }
    }
    return units;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string PercentDecodePath(std::string_view raw) {
    // The raw path as its UTF-16 form holds it.
    std::string text;
    text.reserve(raw.size());
    AppendWellFormed(raw, text, false);

    // Escapes to bytes. Every other character is whole (text is well formed), so it never
    // joins a sequence that escaped bytes begin: a continuation byte can only come escaped.
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }

    std::string decoded;
    decoded.reserve(bytes.size());
    const size_t units = AppendWellFormed(bytes, decoded, true);
    if (units + 1 > kDecodedPathUnits) {
        return std::string(raw);
    }
    return decoded;
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
            AppendUtf8(out, kReplacement);
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

}  // namespace vandrel
