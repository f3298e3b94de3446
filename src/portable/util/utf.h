#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vandrel {

// The one UTF-8/UTF-16 codec of the host and the tool. Malformed input is never rejected: each
// maximal subpart of an ill-formed UTF-8 sequence (a byte that cannot start a sequence, a
// truncated prefix, an overlong form, a surrogate, a value above U+10FFFF) becomes one U+FFFD, and
// so does each unpaired surrogate of UTF-16. Zero bytes and units are carried like any other.

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at text[i] and moves i past it. An ill-formed sequence gives U+FFFD with
// `malformed` set, and i moves past its maximal subpart. i must be below text.size().
char32_t NextCodePoint(std::string_view text, size_t& i, bool& malformed);

// Appends `c` (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The number of UTF-16 units Utf8ToUtf16 would give.
size_t Utf16Length(std::string_view utf8);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Code points that disguise text when it is shown, although they are well-formed: C0 and C1
// controls and DEL move the cursor or end lines; line and paragraph separators end lines; and the
// marks and overrides of bidirectional text (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to
// U+2069) change the order in which the text around them is drawn.
bool DisguisesText(char32_t c);

// The first code point of `text` that DisguisesText, or nullopt. Malformed bytes are skipped.
std::optional<char32_t> FirstDisguise(std::string_view text);

}  // namespace vandrel
