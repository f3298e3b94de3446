#pragma once

// Finds the files to pack under an application folder and gives each its bundle name: the path
// relative to the folder, UTF-8, with "/" between folder names.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bundle_writer.h"

namespace vandrel::tool {

struct FolderScan {
    std::vector<BundleInput> files;  // in no particular order; the writer sorts them
    uint64_t totalBytes = 0;
    std::vector<std::string> warnings;  // one line each, about files that were left out
};

// True when `path` is `root` or lies under it; both absolute and normal (canonical). Names
// compare without case on Windows.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& root);

// Walks `root`. Left out: "assets.dat" directly in `root` (the host's own bundle), the file
// `output` when it lies inside the folder (both compared as the files they really are, so a link
// to them is left out too), symbolic links whose target lies outside `root` or that point to a
// folder that contains them, broken links, and anything that is neither a file nor a folder;
// every one of these but the first two gets a warning. Links that stay inside are followed.
// Throws ToolError("cannot open folder 'x': reason") when `root` or a folder under it cannot
// be read, and ToolError("cannot read 'x': reason") when a file's size cannot be read.
FolderScan ScanFolder(const std::filesystem::path& root, const std::filesystem::path& output);

}  // namespace vandrel::tool
