#include <windows.h>

#include "platform/file_io.h"
#include "platform/name_folding.h"
#include "portable/util/long_path.h"

namespace vandrel::tool {

std::u32string FoldedName(std::string_view name) {
    const std::wstring wide = PathFromUtf8(name).native();
    std::wstring upper(wide.size(), L'\0');
    const int n = wide.empty() ? 0
                               : LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                                               static_cast<int>(wide.size()), upper.data(),
                                               static_cast<int>(upper.size()), nullptr, nullptr, 0);
    const std::wstring& folded = n == static_cast<int>(wide.size()) ? upper : wide;
    // UTF-16 units widened one by one: they compare and sort as the units themselves.
    return std::u32string(folded.begin(), folded.end());
}

bool SameFileName(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::wstring& x = a.native();
    const std::wstring& y = b.native();
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

std::filesystem::path WithoutLongPathPrefix(const std::filesystem::path& path) {
    return std::filesystem::path(StripLongPathPrefix(path.native()));
}

}  // namespace vandrel::tool
