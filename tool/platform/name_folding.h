#pragma once

// File names as this system's file system compares them.

#include <filesystem>
#include <string>
#include <string_view>

namespace vandrel::tool {

// `name` (UTF-8) folded for comparison without regard to case: on Windows through the system's
// upper-case mapping, elsewhere through the C library's, for the Windows rules on other systems.
// Folding keeps '/' as it is; bytes that are not UTF-8 stay apart from every code point.
std::u32string FoldedName(std::string_view name);

// Two path components naming the same file: without regard to case on Windows, byte for byte
// elsewhere.
bool SameFileName(const std::filesystem::path& a, const std::filesystem::path& b);

// `path` without the long-path prefix, which is a spelling rather than a folder (Windows only).
std::filesystem::path WithoutLongPathPrefix(const std::filesystem::path& path);

}  // namespace vandrel::tool
