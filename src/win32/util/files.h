#pragma once

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>

namespace vandrel {

// Full path of the running executable (UTF-8, canonical, without the long-path prefix). Computed
// once and cached; an empty result is computed again on the next call.
std::string GetExePath();

// A known folder's path (UTF-8, no trailing backslash), or empty when the platform has none.
std::string GetKnownFolder(const KNOWNFOLDERID& id);

// True when the path names an existing file or directory.
bool FileExists(const std::string& path);

// Size of a file, or 0 when it is missing, a directory, or 2 GiB or larger.
int32_t GetFileSize32(const std::string& path);

// Whole content of a file; empty when it is missing, empty, unreadable or 2 GiB or larger.
std::string ReadWholeFile(const std::string& path);

// The path as the file APIs want it: UTF-16 with the long-path prefix and backslashes.
std::wstring ToApiPath(const std::string& path);

}  // namespace vandrel
