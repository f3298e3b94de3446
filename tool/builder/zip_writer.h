#pragma once

// Writes zip archives that are the same bytes for the same files: entries in name order, every
// time stamp 1980-01-01 00:00, no extra fields, files deflated with zlib (stored when that is not
// smaller). Archives stay within the classic format: below 4 GiB and 65535 entries.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace vandrel::tool {

struct ZipEntry {
    std::string name;              // "/" between folder names; a folder's name ends in "/"
    std::filesystem::path source;  // the file to read; unused for folders
};

struct ZipStats {
    uint64_t files = 0;
    uint64_t bytes = 0;  // of the archive
};

// Writes `entries` (sorted here) into `file` from its start. Throws ToolError when a file cannot
// be read or the archive would pass the classic format's limits.
ZipStats WriteZip(std::vector<ZipEntry> entries, TempOutputFile& file);

}  // namespace vandrel::tool
