#pragma once

// Rules about the names stored in bundles, shared by the tool's commands: UTF-8 checks, the form
// in which a name is shown on a terminal, which names can be written under a folder, and which
// names would land on the same file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/util/utf.h"

namespace vandrel::tool {

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif

// Length of the well-formed UTF-8 sequence at `text[at]` (1 to 4) with its code point in
// `codePoint`, or 0 when the bytes there are not one (stray continuation bytes, overlong forms,
// surrogates, values past U+10FFFF, a sequence cut short). IsValidUtf8 is in portable/util/utf.h.
size_t Utf8SequenceAt(std::string_view text, size_t at, uint32_t& codePoint);

// A name as it is safe to print on a terminal, in single quotes unless `quoted` is false. Bytes
// that are not UTF-8 become \xNN; control characters (C0, DEL, C1 as raw bytes or as U+0080 to
// U+009F), line and paragraph separators and the characters that reorder text (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069) become \xNN or \uNNNN. Everything else is kept.
std::string Shown(std::string_view name, bool quoted = true);
std::string ShownPath(const std::filesystem::path& path);

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
