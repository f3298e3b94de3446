#pragma once

// Finds the files to pack under an application folder, gives each its bundle name (the path
// relative to the folder, UTF-8, with "/" between folder names), and later opens them for reading
// through the same folders, refusing any that changed in between.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bundle/bundle_writer.h"
#include "platform/safe_tree.h"

namespace vandrel::tool {

class InputFile;

// The result of ScanFolder. Movable; holds the folder open until it is destroyed.
class FolderScan {
public:
    FolderScan(FolderScan&&) noexcept;
    FolderScan& operator=(FolderScan&&) noexcept;
    ~FolderScan();

    // A name that was left out, and why ("broken symbolic link").
    struct Skipped {
        std::string name;
        std::string why;
        std::string Warning() const;  // "skipping 'name': why"
    };

    std::vector<BundleInput> files;  // in no particular order; the writer sorts them
    uint64_t totalBytes = 0;
    std::vector<Skipped> skipped;  // each one a warning

    // Opens the file behind `input` (one of `files`) for reading, one folder at a time from the
    // root as the scan went, without following any link. Throws ToolError("refusing to pack
    // 'name': ... changed since the folder was read ...") when a folder or the file is gone, has
    // become a link or something other than a file or folder, or is not the same file (identity)
    // any more.
    std::unique_ptr<InputFile> Open(const BundleInput& input);

    struct Tree;  // what the scan found, private to folder_scan.cpp

private:
    friend FolderScan ScanFolder(TreeFolder, const std::filesystem::path&,
                                 const std::filesystem::path&, uint64_t, bool);
    FolderScan();
    std::unique_ptr<Tree> tree_;
};

// True when `path` is `root` or lies under it; both absolute and normal (canonical). Names
// compare without case on Windows.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& root);

// Walks `root`, one folder at a time through open handles, and lists what to pack. Left out:
// "assets.dat" directly in `root` (the host's own bundle) and the file `output`, both compared as
// the files they are (identity), so links and hard links to them are left out too; symbolic
// links whose target lies outside `root` or that point to a folder that contains them, broken
// links, and anything that is neither a file nor a folder. Every one of these but the first two
// gets a warning. Links that stay inside are followed (their targets are read where they really
// are). Throws ToolError("cannot open folder 'x': reason") when `root` or a folder under it cannot
// be read; ToolError("refusing to pack 'name': ...") for a name that is not valid UTF-8 (not
// valid Unicode on Windows), which the host could never serve; and the writer's size error as
// soon as the files found reach `sizeLimit`, so a folder whose links multiply its content cannot
// make the scan run on.
FolderScan ScanFolder(const std::filesystem::path& root, const std::filesystem::path& output,
                      uint64_t sizeLimit = kBundleSizeLimit);
// The same walk from a folder already open, `shownRoot` naming it in messages. With
// `skipInvalidNames`, a name that is not valid UTF-8 (Unicode on Windows) is skipped with a
// warning instead of refused.
FolderScan ScanFolder(TreeFolder root, const std::filesystem::path& shownRoot,
                      const std::filesystem::path& output, uint64_t sizeLimit,
                      bool skipInvalidNames);

}  // namespace vandrel::tool
