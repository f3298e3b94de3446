#include "bundle/folder_scan.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

#include "bundle/bundle_names.h"
#include "platform/file_io.h"
#include "platform/name_folding.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

enum class LinkState : uint8_t { Broken, Outside, Inside };

// One name found under the root. Each folder's children follow one another in the node list,
// sorted by name, so a name is found in its folder by binary search.
struct Node {
    std::string name;     // in its folder
    uint32_t parent = 0;  // the root is its own parent
    uint32_t firstChild = 0;
    uint32_t childCount = 0;
    EntryKind kind = EntryKind::Other;
    bool nameValid = true;
    FileIdentity identity;
    uint64_t size = 0;
};

// Where a link leads.
struct LinkEnd {
    LinkState state = LinkState::Broken;
    uint32_t target = kNone;  // Inside: the node it leads to
    fs::path realPath;        // until placed: where it leads
    fs::path shownPath;       // Outside: for the warning
};

const char* WhatChanged(OpenOutcome outcome, bool folder) {
    if (outcome == OpenOutcome::Missing || outcome == OpenOutcome::Link) {
        return outcome == OpenOutcome::Missing ? "it is gone" : "it has become a link";
    }
    if (outcome == OpenOutcome::WrongKind) {
        return folder ? "it is no longer a folder" : "it is no longer a regular file";
    }
    return folder ? "it is no longer the same folder" : "it is no longer the same file";
}

}  // namespace

struct FolderScan::Tree {
    fs::path root;
    std::vector<Node> nodes;           // [0] is the root
    std::vector<LinkEnd> links;        // by link node, through linkIndex
    std::vector<uint32_t> linkIndex;   // node -> index in links, kNone for other nodes
    std::optional<FolderStack> reads;  // the folders of the file read last
    std::vector<uint32_t> readNodes;   // the node of each level of `reads`
    std::vector<uint32_t> readLevel;   // node -> its level in `reads`, kNone when not on it
};

FolderScan::FolderScan() : tree_(std::make_unique<Tree>()) {}
FolderScan::FolderScan(FolderScan&&) noexcept = default;
FolderScan& FolderScan::operator=(FolderScan&&) noexcept = default;
FolderScan::~FolderScan() = default;

namespace {

class Scanner {
public:
    Scanner(FolderScan& scan, FolderScan::Tree& tree, const fs::path& output, uint64_t sizeLimit,
            bool skipInvalidNames)
        : scan_(scan),
          tree_(tree),
          output_(output),
          sizeLimit_(sizeLimit),
          skipInvalidNames_(skipInvalidNames) {}

    void Run(TreeFolder root) {
        Node top;
        top.kind = EntryKind::Folder;
        top.identity = root.Identity();
        tree_.nodes.push_back(top);
        tree_.linkIndex.push_back(kNone);

        // Left out as the files they are: the host's own bundle and the output.
        if (const std::optional<ResolvedName> bundle = root.Resolve("assets.dat")) {
            if (bundle->kind == EntryKind::File) {
                excluded_.insert(bundle->identity);
            }
        }
        if (const std::optional<FileIdentity> output = IdentityOfPath(output_)) {
            excluded_.insert(*output);
        }

        const fs::path realRoot = root.RealPath();
        FolderStack walk(std::move(root));
        Walk(walk);
        ResolveLinks(realRoot);
        Expand();
        walk.Truncate(0);
        tree_.reads.emplace(std::move(walk));
        tree_.readNodes.assign(1, 0);
        tree_.readLevel.assign(tree_.nodes.size(), kNone);
        tree_.readLevel[0] = 0;
    }

private:
    fs::path NodePath(uint32_t node) const {
        std::vector<uint32_t> chain;
        for (; node != 0; node = tree_.nodes[node].parent) {
            chain.push_back(node);
        }
        fs::path path = tree_.root;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            path /= PathFromUtf8(tree_.nodes[*it].name);
        }
        return path;
    }

    [[noreturn]] void Changed(uint32_t node, OpenOutcome outcome, bool folder) const {
        throw ToolError("cannot pack " + ShownPath(NodePath(node)) +
                        ": it changed while the folder was read (" + WhatChanged(outcome, folder) +
                        "); nothing was written");
    }

    // Appends the children of `node`, the folder open in `folder`.
    void List(uint32_t node, const TreeFolder& folder) {
        std::vector<TreeEntry> entries = folder.List();
        if (tree_.nodes.size() + entries.size() >= kNone) {
            throw ToolError("cannot pack " + ShownPath(tree_.root) + ": it holds too many files");
        }
        tree_.nodes[node].firstChild = static_cast<uint32_t>(tree_.nodes.size());
        tree_.nodes[node].childCount = static_cast<uint32_t>(entries.size());
        for (TreeEntry& entry : entries) {
            Node child;
            child.name = std::move(entry.name);
            child.parent = node;
            child.kind = entry.kind;
            child.nameValid = entry.nameValid;
            child.identity = entry.identity;
            child.size = entry.size;
            tree_.nodes.push_back(std::move(child));
            tree_.linkIndex.push_back(kNone);
        }
    }

    // Every folder under the root once, depth first, through open handles; links are recorded
    // with where they lead, not followed.
    void Walk(FolderStack& walk) {
        struct Frame {
            uint32_t node;
            uint32_t next;
        };
        std::vector<Frame> frames{{0, 0}};
        const size_t deepest = MaxOpenFolders() - 1;
        List(0, *walk.Top());
        while (!frames.empty()) {
            const uint32_t folder = frames.back().node;
            if (frames.back().next == tree_.nodes[folder].childCount) {
                frames.pop_back();
                walk.Truncate(frames.empty() ? 0 : frames.size() - 1);
                continue;
            }
            const uint32_t child = tree_.nodes[folder].firstChild + frames.back().next++;
            const Node& node = tree_.nodes[child];
            if (node.kind == EntryKind::Folder) {
                if (frames.size() > deepest) {
                    throw ToolError("cannot open folder " + ShownPath(NodePath(child)) +
                                    ": it lies " + std::to_string(frames.size()) +
                                    " folders deep, more than this system lets one program hold "
                                    "open (" +
                                    std::to_string(deepest) + ")");
                }
                const FileIdentity identity = node.identity;
                const OpenOutcome outcome = walk.Push(node.name, false, &identity);
                if (outcome != OpenOutcome::Opened) {
                    Changed(child, outcome, true);
                }
                List(child, *walk.Top());
                frames.push_back({child, 0});
            } else if (node.kind == EntryKind::Link) {
                tree_.linkIndex[child] = static_cast<uint32_t>(tree_.links.size());
                LinkEnd end;
                if (std::optional<ResolvedName> resolved = walk.Top()->Resolve(node.name)) {
                    end.state = LinkState::Inside;  // placed by ResolveLinks
                    end.realPath = std::move(resolved->realPath);
                    end.shownPath = std::move(resolved->shownPath);
                    resolvedKinds_.push_back(resolved->kind);
                    resolvedIdentities_.push_back(resolved->identity);
                } else {
                    resolvedKinds_.push_back(EntryKind::Other);
                    resolvedIdentities_.push_back({});
                }
                tree_.links.push_back(std::move(end));
            }
        }
    }

    // The child of `folder` named `name`, or kNone.
    uint32_t Child(uint32_t folder, const std::string& name) const {
        const Node& parent = tree_.nodes[folder];
        const auto first = tree_.nodes.begin() + parent.firstChild;
        const auto last = first + parent.childCount;
        const auto found =
            std::lower_bound(first, last, name,
                             [](const Node& node, const std::string& n) { return node.name < n; });
        if (found == last || found->name != name) {
            return kNone;
        }
        return static_cast<uint32_t>(found - tree_.nodes.begin());
    }

    // Places every link's target among the nodes: inside the root it must be a node the walk
    // found, and the same file.
    void ResolveLinks(const fs::path& realRoot) {
        for (uint32_t node = 0; node < tree_.nodes.size(); ++node) {
            const uint32_t index = tree_.linkIndex[node];
            if (index == kNone || tree_.links[index].realPath.empty()) {
                continue;
            }
            LinkEnd& end = tree_.links[index];
            const std::optional<std::vector<std::string>> names =
                NamesBelow(end.realPath, realRoot);
            end.realPath.clear();
            if (!names) {
                end.state = LinkState::Outside;
                continue;
            }
            uint32_t target = 0;
            for (const std::string& name : *names) {
                target =
                    tree_.nodes[target].kind == EntryKind::Folder ? Child(target, name) : kNone;
                if (target == kNone) {
                    Changed(node, OpenOutcome::Changed, false);
                }
            }
            const Node& found = tree_.nodes[target];
            if (found.kind != resolvedKinds_[index] ||
                found.identity != resolvedIdentities_[index]) {
                Changed(node, OpenOutcome::Changed, false);
            }
            end.target = target;
        }
    }

    void Warn(const std::string& name, const std::string& why) {
        scan_.skipped.push_back(FolderScan::Skipped{name, why});
    }

    void Emit(uint32_t node, const std::string& name, bool nameValid) {
        const Node& file = tree_.nodes[node];
        if (excluded_.count(file.identity) != 0) {
            return;
        }
        if (!nameValid) {
            const std::string why = std::string("its name is not valid ") +
                                    (kWindowsNameRules ? "Unicode" : "UTF-8") +
                                    ", so the host could not serve it";
            if (skipInvalidNames_) {
                Warn(name, why);
                return;
            }
            throw ToolError("refusing to pack " + Shown(name) + ": " + why);
        }
        scan_.files.push_back(BundleInput{name, {}, file.size, node});
        scan_.totalBytes += file.size;
        directoryBytes_ += kEntryFixedSize + name.size();
        CheckBundleSize(scan_.totalBytes, scan_.files.size(), sizeLimit_);
        if (directoryBytes_ >= sizeLimit_) {
            throw ToolError("the " + std::to_string(scan_.files.size()) +
                            " files found so far need " + std::to_string(directoryBytes_) +
                            " bytes for their names alone, too much for one bundle");
        }
    }

    // Gives every file its bundle name: a depth-first walk of the nodes in which links stand for
    // what they lead to. One name buffer grows and shrinks with the depth.
    void Expand() {
        struct Frame {
            uint32_t folder;
            uint32_t next;
            size_t prefixLength;  // length of the name buffer with this folder's name and '/'
            bool nameValid;
        };
        std::vector<uint8_t> onPath(tree_.nodes.size(), 0);
        std::vector<Frame> frames{{0, 0, 0, true}};
        onPath[0] = 1;
        std::string name;
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const Node& folder = tree_.nodes[frame.folder];
            if (frame.next == folder.childCount) {
                onPath[frame.folder] = 0;
                frames.pop_back();
                continue;
            }
            const uint32_t child = folder.firstChild + frame.next++;
            const bool nameValid = frame.nameValid && tree_.nodes[child].nameValid;
            name.resize(frame.prefixLength);
            name += tree_.nodes[child].name;

            uint32_t target = child;
            if (tree_.nodes[child].kind == EntryKind::Link) {
                const LinkEnd& end = tree_.links[tree_.linkIndex[child]];
                if (end.state == LinkState::Broken) {
                    Warn(name, "broken symbolic link");
                    continue;
                }
                if (end.state == LinkState::Outside) {
                    Warn(name, "symbolic link to " + ShownPath(end.shownPath) +
                                   " points outside the folder");
                    continue;
                }
                target = end.target;
            }
            switch (tree_.nodes[target].kind) {
                case EntryKind::File:
                    Emit(target, name, nameValid);
                    break;
                case EntryKind::Folder:
                    if (onPath[target] != 0) {
                        Warn(name, "symbolic link to a folder that contains it");
                        break;
                    }
                    onPath[target] = 1;
                    name.push_back('/');
                    frames.push_back({target, 0, name.size(), nameValid});
                    break;
                default:
                    Warn(name, "not a regular file or folder");
                    break;
            }
        }
    }

    FolderScan& scan_;
    FolderScan::Tree& tree_;
    fs::path output_;
    uint64_t sizeLimit_;
    bool skipInvalidNames_;
    uint64_t directoryBytes_ = 0;
    std::unordered_set<FileIdentity, FileIdentityHash> excluded_;
    std::vector<EntryKind> resolvedKinds_;  // by link index
    std::vector<FileIdentity> resolvedIdentities_;
};

}  // namespace

std::unique_ptr<InputFile> FolderScan::Open(const BundleInput& input) {
    Tree& tree = *tree_;
    const Node& file = tree.nodes[input.node];
    // Up from the file's folder to the nearest folder still open, then down again.
    std::vector<uint32_t> down;
    uint32_t node = file.parent;
    while (tree.readLevel[node] == kNone) {
        down.push_back(node);
        node = tree.nodes[node].parent;
    }
    const uint32_t level = tree.readLevel[node];
    while (tree.readNodes.size() > level + 1) {
        tree.readLevel[tree.readNodes.back()] = kNone;
        tree.readNodes.pop_back();
    }
    tree.reads->Truncate(level);
    const auto refuse = [&](const std::string& name, OpenOutcome outcome, bool folder) {
        throw ToolError("refusing to pack " + Shown(input.name) + ": " +
                        ShownPath(tree.reads->ShownPath(name)) +
                        " changed since the folder was read (" + WhatChanged(outcome, folder) +
                        "); nothing was written");
    };
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        const Node& folder = tree.nodes[*it];
        const OpenOutcome outcome = tree.reads->Push(folder.name, false, &folder.identity);
        if (outcome != OpenOutcome::Opened) {
            refuse(folder.name, outcome, true);
        }
        tree.readLevel[*it] = static_cast<uint32_t>(tree.readNodes.size());
        tree.readNodes.push_back(*it);
    }
    std::unique_ptr<InputFile> opened;
    const OpenOutcome outcome = tree.reads->Top()->OpenFile(file.name, file.identity, opened);
    if (outcome != OpenOutcome::Opened) {
        refuse(file.name, outcome, false);
    }
    return opened;
}

std::string FolderScan::Skipped::Warning() const {
    return "skipping " + Shown(name) + ": " + why;
}

FolderScan ScanFolder(const fs::path& root, const fs::path& output, uint64_t sizeLimit) {
    return ScanFolder(TreeFolder::OpenRoot(root), root, output, sizeLimit, false);
}

FolderScan ScanFolder(TreeFolder root, const fs::path& shownRoot, const fs::path& output,
                      uint64_t sizeLimit, bool skipInvalidNames) {
    FolderScan scan;
    scan.tree_->root = shownRoot;
    Scanner(scan, *scan.tree_, output, sizeLimit, skipInvalidNames).Run(std::move(root));
    return scan;
}

bool IsInside(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) {
            continue;  // a trailing separator
        }
        if (p == path.end() || !SameFileName(*p, *r)) {
            return false;
        }
    }
    return true;
}

}  // namespace vandrel::tool
