#include "portable/server/url_decode.h"

#include <cstdint>

#include "portable/util/utf.h"

namespace vandrel {
namespace {

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
            AppendUtf8(out, kReplacementCharacter);
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

}  // namespace vandrel
