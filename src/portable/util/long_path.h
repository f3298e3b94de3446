#pragma once

#include <string>

namespace vandrel {

// Win32 long-path prefix handling. Both work on plain wide strings and only look at ASCII units,
// so they behave the same whatever the width of wchar_t.

// The long form of a Win32 path: every '/' becomes '\'; then a path of 4 units or more that does
// not start with \\?\ (case-sensitive) gets that prefix, except device paths (\\.\...), which
// stay as they are, and network paths, \\server\share becoming \\?\UNC\server\share. Nothing
// else changes: relative paths, "." and ".." segments and doubled separators are kept.
std::wstring AddLongPathPrefix(const std::wstring& path);

// Removes a leading \\?\ (exactly those 4 units) and returns everything after it; any other path
// comes back unchanged. \\?\UNC\server\share keeps its UNC part.
std::wstring StripLongPathPrefix(const std::wstring& path);

}  // namespace vandrel
