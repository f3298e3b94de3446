#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vandrel {

// UTF-16 units that the decoded request path may use, its terminator included.
inline constexpr size_t kDecodedPathUnits = 2048;

// Decodes the path part of a request URI (UTF-8 in, UTF-8 out) the way UrlUnescapeW with
// URL_UNESCAPE_AS_UTF8 does on the path's UTF-16 form:
//   - the raw path is first read as UTF-8 (as its conversion to UTF-16 would), each malformed
//     sequence becoming U+FFFD;
//   - each "%" followed by two hexadecimal digits (either case) becomes the byte they spell; a "%"
//     without two hex digits after it stays as it is, and "+" stays "+";
//   - the resulting bytes are read as UTF-8, each malformed sequence becoming one U+FFFD;
//   - when the result would not fit in kDecodedPathUnits UTF-16 units with its terminator (code
//     points above U+FFFF count 2), the raw path is returned unchanged.
// A decoded U+0000 ("%00") ends the result, as it ends the null-terminated text that every
// Windows call after the decoding sees; the size check still counts the whole decoded text.
std::string PercentDecodePath(std::string_view raw);

}  // namespace vandrel
