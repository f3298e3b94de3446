#include "app/contained_tree.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/shown_text.h"
#include "platform/file_io.h"
#include "portable/config/config_check.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// The names of `relative` with "." and empty names dropped and ".." applied; nullopt when ".."
// goes above the start.
std::optional<std::vector<std::string>> Names(std::string_view relative) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t end = std::min(relative.find_first_of("/\\", start), relative.size());
        const std::string_view name = relative.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            if (names.empty()) {
                return std::nullopt;
            }
            names.pop_back();
            continue;
        }
        names.emplace_back(name);
    }
    return names;
}

// The most folders remembered at once by RememberFolderNames.
constexpr size_t kMostRememberedFolders = 256;

}  // namespace

ContainedTree::ContainedTree(const fs::path& root)
    : ContainedTree(TreeFolder::OpenRoot(root), root) {}

struct ContainedTree::Remembered {
    struct FolderNames {
        uint64_t stamp = 0;
        std::multimap<std::string, std::string> byLowercase;  // lower case -> as on disk
    };
    std::mutex lock;  // held while a folder is listed and its names kept
    std::map<std::pair<uint64_t, uint64_t>, FolderNames> folders;
};

ContainedTree::ContainedTree(TreeFolder root, fs::path shown)
    : root_(std::move(root)), rootPath_(std::move(shown)), realRoot_(root_.RealPath()) {}

ContainedTree::ContainedTree(ContainedTree&&) noexcept = default;
ContainedTree& ContainedTree::operator=(ContainedTree&&) noexcept = default;
ContainedTree::~ContainedTree() = default;

void ContainedTree::RememberFolderNames() {
    if (!remembered_) {
        remembered_ = std::make_unique<Remembered>();
    }
}

fs::path ContainedTree::ShownPath(std::string_view name) const {
    return name.empty() ? rootPath_ : rootPath_ / PathFromUtf8(name);
}

std::optional<TreeEntry> ContainedTree::FindIgnoringCase(const TreeFolder& folder,
                                                         std::string_view name) const {
    const std::string lower = AsciiLowercase(name);
    const auto pick = [&](const std::multimap<std::string, std::string>& byLowercase)
        -> std::optional<std::string> {
        std::optional<std::string> first;
        const auto [from, to] = byLowercase.equal_range(lower);
        for (auto it = from; it != to; ++it) {
            if (!first || it->second < *first) {
                first = it->second;
            }
        }
        return first;
    };
    const auto listed = [&folder] {
        Remembered::FolderNames names;
        for (TreeEntry& entry : folder.List()) {
            names.byLowercase.emplace(AsciiLowercase(entry.name), std::move(entry.name));
        }
        return names;
    };
    std::optional<std::string> match;
    if (!remembered_) {
        match = pick(listed().byLowercase);
    } else {
        // Remembered names are used only while the folder's stamp says nothing changed.
        const std::pair<uint64_t, uint64_t> key{folder.Identity().device, folder.Identity().index};
        const std::lock_guard<std::mutex> lock(remembered_->lock);
        const std::optional<uint64_t> settled = folder.SettledStamp();
        const auto known = remembered_->folders.find(key);
        if (settled && known != remembered_->folders.end() && known->second.stamp == *settled) {
            match = pick(known->second.byLowercase);
        } else {
            Remembered::FolderNames names = listed();
            match = pick(names.byLowercase);
            if (settled) {
                if (remembered_->folders.size() >= kMostRememberedFolders) {
                    remembered_->folders.clear();
                }
                names.stamp = *settled;
                remembered_->folders[key] = std::move(names);
            }
        }
    }
    return match ? folder.Inspect(*match) : std::nullopt;
}

std::vector<TreeFolder> ContainedTree::Descend(const std::vector<std::string>& names, size_t count,
                                               std::string_view shownName) const {
    std::vector<TreeFolder> levels;
    for (size_t i = 0; i < count; ++i) {
        TreeFolder next;
        const TreeFolder& here = levels.empty() ? root_ : levels.back();
        if (here.OpenFolder(names[i], false, next) != OpenOutcome::Opened) {
            throw ToolError("cannot read " + tool::ShownPath(ShownPath(shownName)) +
                            ": it changed while it was read");
        }
        levels.push_back(std::move(next));
    }
    return levels;
}

Reached ContainedTree::Find(std::string_view relative, bool ignoreCase) const {
    Reached reached;
    const std::optional<std::vector<std::string>> names = Names(relative);
    if (!names) {
        reached.reach = Reach::Outside;
        reached.name = std::string(relative);
        reached.link = "..";
        return reached;
    }
    // What was not found has no kind, identity or place.
    const auto NotFound = [&reached](Reach reach) {
        reached.reach = reach;
        reached.kind = EntryKind::Other;
        reached.identity = {};
        reached.size = 0;
        reached.place.clear();
        return reached;
    };
    std::vector<TreeFolder> levels;  // the folders of reached.place, opened
    reached.kind = EntryKind::Folder;
    reached.identity = root_.Identity();
    for (size_t i = 0; i < names->size(); ++i) {
        const std::string& name = (*names)[i];
        if (reached.kind != EntryKind::Folder) {
            return NotFound(Reach::Missing);  // a file cannot hold more names
        }
        const TreeFolder& here = levels.empty() ? root_ : levels.back();
        std::optional<TreeEntry> entry = here.Inspect(name);
        if (!entry && ignoreCase) {
            entry = FindIgnoringCase(here, name);
        }
        reached.name += (reached.name.empty() ? "" : "/") + (entry ? entry->name : name);
        if (!entry) {
            return NotFound(Reach::Missing);
        }
        reached.exact = reached.exact && entry->name == name;
        if (entry->kind == EntryKind::Link) {
            const std::optional<ResolvedName> resolved = here.Resolve(entry->name);
            if (!resolved) {
                reached.link = reached.name;
                return NotFound(Reach::Broken);
            }
            const std::optional<std::vector<std::string>> below =
                NamesBelow(resolved->realPath, realRoot_);
            if (!below) {
                reached.link = reached.name;
                reached.target = resolved->shownPath;
                return NotFound(Reach::Outside);
            }
            // On from the place the link leads to, reached from the root without links.
            reached.place = *below;
            reached.kind = resolved->kind;
            reached.identity = resolved->identity;
            const size_t folders = resolved->kind == EntryKind::Folder ? below->size()
                                   : below->empty()                   ? 0
                                                                      : below->size() - 1;
            levels = Descend(*below, folders, reached.name);
            if (resolved->kind == EntryKind::Folder
                    ? (levels.empty() ? root_ : levels.back()).Identity() != resolved->identity
                    : below->empty()) {
                throw ToolError("cannot read " + tool::ShownPath(ShownPath(reached.name)) +
                                ": it changed while it was read");
            }
            if (resolved->kind != EntryKind::Folder) {
                const std::optional<TreeEntry> target =
                    (levels.empty() ? root_ : levels.back()).Inspect(below->back());
                reached.size = target ? target->size : 0;
            }
            continue;
        }
        reached.place.push_back(entry->name);
        reached.kind = entry->kind;
        reached.identity = entry->identity;
        reached.size = entry->size;
        if (entry->kind == EntryKind::Folder) {
            TreeFolder next;
            if (here.OpenFolder(entry->name, false, next, &entry->identity) !=
                OpenOutcome::Opened) {
                throw ToolError("cannot read " + tool::ShownPath(ShownPath(reached.name)) +
                                ": it changed while it was read");
            }
            levels.push_back(std::move(next));
        }
    }
    reached.reach = Reach::Found;
    if (!levels.empty()) {
        reached.opened = std::make_shared<const TreeFolder>(std::move(levels.back()));
    }
    return reached;
}

std::unique_ptr<InputFile> ContainedTree::Open(const Reached& file) const {
    const fs::path shown = ShownPath(file.name);
    if (file.reach != Reach::Found || file.place.empty()) {
        throw ToolError("cannot read " + tool::ShownPath(shown) + ": it is not a file");
    }
    std::vector<TreeFolder> levels;
    if (!file.opened) {
        levels = Descend(file.place, file.place.size() - 1, file.name);
    }
    const TreeFolder& folder = file.opened ? *file.opened : levels.empty() ? root_ : levels.back();
    std::unique_ptr<InputFile> opened;
    const OpenOutcome outcome = folder.OpenFile(file.place.back(), file.identity, opened);
    if (outcome == OpenOutcome::WrongKind) {
        throw ToolError("cannot read " + tool::ShownPath(shown) + ": it is not a regular file");
    }
    if (outcome != OpenOutcome::Opened) {
        throw ToolError("cannot read " + tool::ShownPath(shown) + ": it changed while it was read");
    }
    return opened;
}

std::string ContainedTree::ReadAll(const Reached& file, uint64_t limit) const {
    const std::unique_ptr<InputFile> in = Open(file);
    const uint64_t size = in->Size();
    if (size > limit) {
        throw ToolError("cannot read " + tool::ShownPath(ShownPath(file.name)) +
                        ": it is larger than " + std::to_string(limit) + " bytes");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !in->ReadAt(0, bytes.data(), bytes.size())) {
        throw ToolError("cannot read " + tool::ShownPath(ShownPath(file.name)) +
                        ": it changed while it was read");
    }
    return bytes;
}

TreeFolder ContainedTree::OpenFolder(const Reached& folder) const {
    if (!folder.IsFolder()) {
        throw ToolError("cannot open folder " + tool::ShownPath(ShownPath(folder.name)) +
                        ": it is not a folder");
    }
    if (folder.place.empty()) {
        return root_.Duplicate();
    }
    if (folder.opened) {
        return folder.opened->Duplicate();
    }
    std::vector<TreeFolder> levels =
        Descend(folder.place, folder.place.size() - 1, folder.name);
    TreeFolder opened;
    if ((levels.empty() ? root_ : levels.back())
            .OpenFolder(folder.place.back(), false, opened, &folder.identity) !=
        OpenOutcome::Opened) {
        throw ToolError("cannot open folder " + tool::ShownPath(ShownPath(folder.name)) +
                        ": it changed while it was read");
    }
    return opened;
}

ContainedTree ContainedTree::Subtree(const Reached& folder) const {
    return ContainedTree(OpenFolder(folder), ShownPath(folder.name));
}

std::string ContainedTree::Refusal(const Reached& reached) const {
    const std::string root = tool::ShownPath(rootPath_);
    if (reached.reach == Reach::Broken) {
        return "the link " + Shown(reached.link) + " in " + root + " leads nowhere";
    }
    if (reached.link == "..") {
        return "it lies outside " + root;
    }
    return "the link " + Shown(reached.link) + " leads outside " + root +
           (reached.target.empty() ? "" : " (to " + tool::ShownPath(reached.target) + ")");
}

}  // namespace vandrel::tool
