#pragma once

// Text for the terminal: names and paths shown so that they cannot move the cursor or reorder the
// line, and counts in words.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vandrel::tool {

// Length of the well-formed UTF-8 sequence at `text[at]` (1 to 4) with its code point in
// `codePoint`, or 0 when the bytes there are not one (stray continuation bytes, overlong forms,
// surrogates, values past U+10FFFF, a sequence cut short). IsValidUtf8 is in portable/util/utf.h.
size_t Utf8SequenceAt(std::string_view text, size_t at, uint32_t& codePoint);

// A name as it is safe to print on a terminal, in single quotes unless `quoted` is false. Bytes
// that are not UTF-8 become \xNN; control characters (C0, DEL, C1 as raw bytes or as U+0080 to
// U+009F), line and paragraph separators and the characters that reorder text (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069) become \xNN or \uNNNN. Everything else is kept.
std::string Shown(std::string_view name, bool quoted = true);
std::string ShownPath(const std::filesystem::path& path);

// "1 file", "2 files".
std::string Plural(uint64_t n, const char* singular, const char* plural);

}  // namespace vandrel::tool
