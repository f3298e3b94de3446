#pragma once

#include <string>

namespace vandrel {

// Win32 long-path prefix handling. Both work on plain wide strings and only look at ASCII units,
// so they behave the same whatever the width of wchar_t.

// Puts the four units \\?\ in front of `path` unless it is shorter than 4 units or already starts
// with exactly those units (case-sensitive), and turns every '/' into '\'. Nothing else changes:
// relative paths, "." and ".." segments, doubled separators and UNC paths are kept as they are, so
// \\server\share becomes \\?\\\server\share.
std::wstring AddLongPathPrefix(const std::wstring& path);

// Removes a leading \\?\ (exactly those 4 units) and returns everything after it; any other path
// comes back unchanged. \\?\UNC\server\share keeps its UNC part.
std::wstring StripLongPathPrefix(const std::wstring& path);

}  // namespace vandrel
