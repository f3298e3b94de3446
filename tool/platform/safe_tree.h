#pragma once

// Folders opened one level at a time, each through an open handle of the folder above it, so that
// a change of the path in between cannot redirect what a later step reaches. Every level is opened
// without following links, and links, junctions and every other reparse point are refused: on
// POSIX with openat/mkdirat and O_NOFOLLOW | O_DIRECTORY; on Windows with the native API's opens
// relative to a directory handle (FILE_OPEN_REPARSE_POINT), checking the attributes of the opened
// handle, the attributes of the name in its folder's listing, and the identity of what was opened.
// The bundle tool walks the folder it packs and creates the tree it extracts with these.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::tool {

class InputFile;

enum class EntryKind : uint8_t { File, Folder, Link, Other };

// What a Link entry is, in words that follow its name.
#ifdef _WIN32
inline constexpr char kLinkWords[] = " is a link, junction or other reparse point";
#else
inline constexpr char kLinkWords[] = " is a symbolic link";
#endif

// Which file an object is: device and inode on POSIX, volume serial number and file index on
// Windows. Two names with the same identity are the same file (hard links, or a link and its
// target).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    size_t operator()(const FileIdentity& identity) const noexcept {
        return static_cast<size_t>(identity.index * 0x9E3779B97F4A7C15ULL ^ identity.device);
    }
};

// One name in a folder, as the folder shows it; links are not followed. On Windows a name that
// leads somewhere else than the folder's own place is a link, also when the system does not mark
// it as one (Wine shows links to files as plain files).
struct TreeEntry {
    std::string name;  // UTF-8 (POSIX: the name's own bytes)
    // False when the name is not valid Unicode (Windows: unpaired surrogates, shown as U+FFFD) or
    // not valid UTF-8 (POSIX).
    bool nameValid = true;
    EntryKind kind = EntryKind::Other;
    FileIdentity identity;
    uint64_t size = 0;
};

// What a name leads to when links are followed to the end.
struct ResolvedName {
    std::filesystem::path realPath;     // the system's own name for it, every link resolved
    std::filesystem::path shownPath;    // the same, in the form users know, for messages
    EntryKind kind = EntryKind::Other;  // File, Folder or Other
    FileIdentity identity;
};

enum class OpenOutcome {
    Opened,
    Missing,    // nothing of that name
    Link,       // a link, junction or other reparse point
    WrongKind,  // a file where a folder was asked for, or the other way round
    Changed,    // not the object expected
};

// An open folder. Move-only; the handle closes with it.
class TreeFolder {
public:
    TreeFolder();
    TreeFolder(TreeFolder&&) noexcept;
    TreeFolder& operator=(TreeFolder&&) noexcept;
    ~TreeFolder();

    // The folder at `path`, for reading, or for creating files and folders in it when
    // `writable`. Links in `path` itself are followed: the caller chose it. Throws
    // ToolError("cannot open folder 'path': reason"); OpenRootIfPresent returns nullopt instead
    // when nothing is at `path`.
    static TreeFolder OpenRoot(const std::filesystem::path& path, bool writable = false);
    static std::optional<TreeFolder> OpenRootIfPresent(const std::filesystem::path& path,
                                                       bool writable = false);

    // Opens the folder `name` (one segment) inside this one into `result`, creating it first when
    // `create` is set and it is missing. The result can write when this folder can. Never goes
    // through a link or reparse point. With `expected`, a folder with another identity is
    // Changed. Throws ToolError for failures of the system.
    OpenOutcome OpenFolder(std::string_view name, bool create, TreeFolder& result,
                           const FileIdentity* expected = nullptr) const;

    // Opens the file `name` for reading into `result`: a regular file, not reached through a link,
    // with the identity `expected`.
    OpenOutcome OpenFile(std::string_view name, const FileIdentity& expected,
                         std::unique_ptr<InputFile>& result) const;

    // The name as the folder shows it, or nullopt when there is none. On Windows the name is
    // found whatever its case, and the entry carries it as it is written on disk.
    std::optional<TreeEntry> Inspect(std::string_view name) const;
    // Every name in the folder but "." and "..", sorted by name (byte order).
    std::vector<TreeEntry> List() const;
    // Where `name` leads with links followed, or nullopt when it leads nowhere (missing, a broken
    // link, a loop of links).
    std::optional<ResolvedName> Resolve(std::string_view name) const;

    // A stamp that changes whenever a name in the folder is added, removed or renamed (its time
    // of last change); nullopt while that time is so recent that a change to come could leave the
    // same stamp.
    std::optional<uint64_t> SettledStamp() const;
    // Another handle to the same folder, with the same rights.
    TreeFolder Duplicate() const;
    // The system's own path of this folder, links resolved.
    std::filesystem::path RealPath() const;
    // This folder's path as it was reached (the root's path and the names below it), for
    // messages; computed on each call.
    std::filesystem::path ShownPath() const;
    const FileIdentity& Identity() const;
    bool Valid() const;

#ifdef _WIN32
    void* Handle() const;
#else
    int Fd() const;
#endif

    struct State;  // per platform, in safe_tree_detail.h

private:
    explicit TreeFolder(State&& state);
    std::unique_ptr<State> state_;
};

// The folders from a root down to a current folder, each held open, so that moving to a nearby
// folder reopens only the levels that differ. A dry run keeps levels that do not exist yet.
class FolderStack {
public:
    explicit FolderStack(TreeFolder root);
    FolderStack(FolderStack&&) noexcept = default;
    FolderStack& operator=(FolderStack&&) noexcept = default;
    // Closes the levels from the deepest up, so that no chain of levels is released at once.
    ~FolderStack();

    // Levels below the root.
    size_t Depth() const { return levels_.size() - 1; }
    // The name of level `level` (1 to Depth()).
    const std::string& NameAt(size_t level) const { return levels_[level].name; }
    // Keeps the root and the first `depth` levels below it.
    void Truncate(size_t depth);
    // Opens (or creates) `name` in the current folder and makes it the current one on success.
    OpenOutcome Push(std::string_view name, bool create, const FileIdentity* expected = nullptr);
    // A level that does not exist (yet); everything pushed after it is missing too.
    void PushMissing(std::string_view name);
    // The current folder, or nullptr when it does not exist.
    const TreeFolder* Top() const;
    // Path of the current folder (with `name` appended, when given), for messages.
    std::filesystem::path ShownPath(std::string_view name = {}) const;

private:
    struct Level {
        std::string name;
        TreeFolder folder;  // not Valid for a missing level
    };
    std::vector<Level> levels_;  // [0] is the root
    size_t missingFrom_ = 0;     // first missing level, 0 when none
};

// The most folders a walk may hold open at once, so the deepest it can go. On POSIX this is the
// process's limit of open files (raised to the hard limit on the first call) less a margin.
size_t MaxOpenFolders();

// The identity of what `path` names, links followed; nullopt when nothing is there.
std::optional<FileIdentity> IdentityOfPath(const std::filesystem::path& path);

// The names that lead from `root` down to `path` (both real paths, as RealPath and Resolve give
// them), or nullopt when `path` is not `root` or under it. Names compare as the file system does
// (without regard to case on Windows).
std::optional<std::vector<std::string>> NamesBelow(const std::filesystem::path& path,
                                                   const std::filesystem::path& root);

}  // namespace vandrel::tool
