#pragma once

// Names looked up under a root folder without ever leaving it. The lookup walks one folder at a
// time through open handles (safe_tree), and follows a link only when it leads to a place under
// the root, as `pack` does: a name reached through a link, junction or ".." that leads elsewhere,
// or through a broken link, is refused and says which link it was. What a lookup found is opened
// later through the same folders, none of them a link, and must still be the same file. Opening
// never blocks on a pipe, and only a regular file is read.
//
// `check`, `build` and `serve` read every file of an app through this: package.json, www and
// the bundle, the window icon, the libraries and the runtime folder under the app folder, and the
// files a request names under www.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/safe_tree.h"

namespace vandrel::tool {

class InputFile;

enum class Reach {
    Found,
    Missing,  // nothing of that name (or a file where a folder was needed on the way)
    Outside,  // a link or ".." on the way leads outside the root
    Broken,   // a link on the way leads nowhere
};

// What a name under the root leads to.
struct Reached {
    Reach reach = Reach::Missing;
    // The names walked, as they are written on disk, "/" between them; links by their own names.
    std::string name;
    bool exact = true;                  // no name was matched only by ignoring case
    EntryKind kind = EntryKind::Other;  // Found: File, Folder or Other (a pipe, device, socket)
    FileIdentity identity;
    uint64_t size = 0;
    std::string link;               // Outside, Broken: the link (or "..") that leads there
    std::filesystem::path target;   // Outside through a link: where it leads
    std::vector<std::string> place;  // Found: the real names from the root, no link among them
    // Found: the folder that holds a file, or the folder itself, as the lookup opened it (null
    // for the root and what lies directly in it), so that opening it does not walk again.
    std::shared_ptr<const TreeFolder> opened;

    bool IsFile() const { return reach == Reach::Found && kind == EntryKind::File; }
    bool IsFolder() const { return reach == Reach::Found && kind == EntryKind::Folder; }
};

class ContainedTree {
public:
    // The folder at `root` (links in `root` itself are followed: the caller chose it). Throws
    // ToolError when it cannot be opened.
    explicit ContainedTree(const std::filesystem::path& root);
    ContainedTree(ContainedTree&&) noexcept;
    ContainedTree& operator=(ContainedTree&&) noexcept;
    ~ContainedTree();

    const std::filesystem::path& Root() const { return rootPath_; }

    // Looks up `relative`: names between "/" or "\"; empty names and "." are skipped, ".." goes
    // back one name (never above the root). With `ignoreCase`, a name missing as written matches
    // one that differs only in the case of ASCII letters, the first in byte order, as Windows
    // would find it. Throws ToolError when a folder cannot be read or changes while it is walked.
    Reached Find(std::string_view relative, bool ignoreCase = true) const;

    // The name `name` directly in the root, as the folder shows it (links not followed).
    std::optional<TreeEntry> Peek(std::string_view name) const { return root_.Inspect(name); }

    // Opens a found file for reading. Throws ToolError naming it when it is not a regular file,
    // or is no longer the file that was found.
    std::unique_ptr<InputFile> Open(const Reached& file) const;
    // Reads a found file whole; ToolError also when it is larger than `limit` bytes.
    std::string ReadAll(const Reached& file, uint64_t limit) const;
    // Opens a found folder, to walk it.
    TreeFolder OpenFolder(const Reached& folder) const;
    // A found folder as a tree of its own, whose lookups stay under it.
    ContainedTree Subtree(const Reached& folder) const;

    // Why `reached` (Outside or Broken) was refused, for messages: "the link 'gfx' leads outside
    // 'app' (to '/home/me/.ssh')".
    std::string Refusal(const Reached& reached) const;
    // Where a name lies, for messages.
    std::filesystem::path ShownPath(std::string_view name) const;

    // Keeps the names of folders that were searched without regard to case, so that the next
    // search of an unchanged folder does not list it again. For a server that answers many
    // misses in one large folder; its lookups may then run on several threads at once.
    void RememberFolderNames();

private:
    explicit ContainedTree(TreeFolder root, std::filesystem::path shown);
    std::optional<TreeEntry> FindIgnoringCase(const TreeFolder& folder,
                                              std::string_view name) const;
    // Opens the folders of `names` from the root, one after the other, none a link.
    std::vector<TreeFolder> Descend(const std::vector<std::string>& names, size_t count,
                                    std::string_view shownName) const;

    struct Remembered;

    TreeFolder root_;
    std::filesystem::path rootPath_;
    std::filesystem::path realRoot_;
    std::unique_ptr<Remembered> remembered_;  // with RememberFolderNames
};

}  // namespace vandrel::tool
