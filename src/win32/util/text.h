#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// UTF-8 <-> UTF-16 at the Windows API boundary, through the codec of portable/util/utf.h: each
// malformed sequence and each unpaired surrogate becomes U+FFFD; zero units are carried.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace vandrel
