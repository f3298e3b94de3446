#pragma once

// Rules about the names stored in bundles: which names can be written under a folder, and which
// names would land on the same file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shown_text.h"

namespace vandrel::tool {

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif

// Why a bundle name cannot be written under an extraction folder, or nullopt when it can: empty
// names and segments, absolute paths, "." and "..", a zero byte; on Windows also backslashes,
// drive letters and colons, and whatever else keeps Windows from taking a segment as a file name
// as it stands (WindowsNameFault in portable/util/file_names.h: reserved device names, characters
// Windows forbids, a trailing dot or space), and bytes that are not UTF-8.
std::optional<std::string> UnsafeNameReason(const std::string& name,
                                            bool windowsRules = kWindowsNameRules);

// Two names of one bundle that cannot both be extracted: the same file on a file system that
// ignores case (Windows rules), or `file` names a file where `other` needs a folder.
struct NameClash {
    std::string file;
    std::string other;
    bool folder = false;  // `other` lies under `file`; otherwise both name the same file
};

// The first clash among `names` (each a name that UnsafeNameReason accepts), or nullopt. Without
// Windows rules names compare exactly, so only a file that is also a folder clashes; with them,
// names that differ only in case clash too. Linear in the total length of the names, apart from
// a sort.
std::optional<NameClash> FindNameClash(const std::vector<std::string_view>& names,
                                       bool windowsRules = kWindowsNameRules);

}  // namespace vandrel::tool
