#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vandrel {

// One byte range of a file, both ends inclusive. Meaningful only when valid is true.
struct ByteRange {
    bool valid = false;
    uint32_t start = 0;
    uint32_t end = 0;
};

// Reads a Range header value for a file of `total` bytes. Only the forms "bytes=S-", "bytes=-N"
// and "bytes=S-E" are served, and only the first of several comma-separated ranges:
//   1. total 0: invalid.
//   2. The value must start with exactly "bytes=" (case-sensitive); the rest r must not be empty
//      and must hold a "-".
//   3. The first "-" is the last byte of r: S is read before it; valid when S < total, giving
//      S..total-1. (So a lone "-" is invalid.)
//   4. Else the "-" is the first byte of r: N is read after it; valid when 0 < N <= total,
//      giving total-N..total-1. "bytes=-0" names no byte and is invalid.
//   5. Else S is read before the "-" and E after it; valid when S < total, E < total and S <= E.
// An end at or past total is not clamped, and a suffix longer than the file is not widened.
//
// Each number is read like strtol in base 10: leading C white space is skipped, one optional
// sign, then decimal digits up to the first other byte; the rest is ignored. No digits, or a
// value outside the signed 32-bit range, makes the range invalid. A negative value is invalid
// whatever total is (the unsigned 32-bit comparison of a negative value against a total below
// 2^31, the only sizes the host serves from the folder, rejects it the same way); "-0" is 0.
ByteRange ParseRange(std::string_view value, uint32_t total);

// The value with C white space (" \t\n\v\f\r") removed from its end, then from its start.
std::string TrimRangeValue(std::string_view value);

}  // namespace vandrel
