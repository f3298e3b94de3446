#pragma once

#include <string>

namespace vandrel {

// UTF-8 <-> UTF-16 at the Windows API boundary. Malformed input is never rejected: each bad
// sequence, and each unpaired surrogate, becomes U+FFFD. Embedded zero units are converted too.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace vandrel
