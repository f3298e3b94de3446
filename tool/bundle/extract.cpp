#include "bundle/extract.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bundle/bundle_names.h"
#include "platform/file_io.h"
#include "platform/safe_tree.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// The folder names of `name` (all segments but the last) and its last segment.
void Split(std::string_view name, std::vector<std::string_view>& folders, std::string_view& leaf) {
    folders.clear();
    size_t start = 0;
    for (size_t slash = name.find('/'); slash != std::string_view::npos;
         slash = name.find('/', start)) {
        folders.push_back(name.substr(start, slash - start));
        start = slash + 1;
    }
    leaf = name.substr(start);
}

class Extraction {
public:
    Extraction(const AssetBundle& reader, const fs::path& bundlePath, const fs::path& folder,
               const ToolEnvironment& environment)
        : reader_(reader), bundlePath_(bundlePath), folder_(folder), environment_(environment) {}

    ExtractResult Run() {
        CheckNames();
        CheckExisting();
        AtTestPoint(environment_, "extract-checked", PathToUtf8(folder_));
        return Write();
    }

private:
    [[noreturn]] void Refuse(std::string_view name, const std::string& why,
                             bool nothingWritten) const {
        throw ToolError("refusing to extract " + Shown(name) + ": " + why +
                        (nothingWritten ? "; nothing was written" : ""));
    }

    // Every name on its own and against the others.
    void CheckNames() const {
        std::vector<std::string_view> names;
        names.reserve(reader_.directory.size());
        const size_t deepest = MaxOpenFolders() - 1;
        for (const auto& [name, entry] : reader_.directory) {
            if (const auto reason = UnsafeNameReason(name)) {
                Refuse(name, *reason, true);
            }
            const size_t depth = static_cast<size_t>(std::count(name.begin(), name.end(), '/'));
            if (depth > deepest) {
                Refuse(name,
                       "it lies " + std::to_string(depth) +
                           " folders deep, more than this system lets one program hold open (" +
                           std::to_string(deepest) + ")",
                       true);
            }
            names.push_back(name);
        }
        if (const std::optional<NameClash> clash = FindNameClash(names)) {
            if (clash->folder) {
                Refuse(clash->other,
                       Shown(clash->file) + " is a file in the bundle, not a folder", true);
            }
            Refuse(clash->other,
                   "on Windows it names the same file as " + Shown(clash->file), true);
        }
    }

    // Opens the folders of an entry in `stack`, keeping the levels it shares with the entry
    // before. In a dry run, levels that do not exist yet are kept as missing.
    void Enter(FolderStack& stack, std::string_view name,
               const std::vector<std::string_view>& folders, bool dryRun) const {
        size_t common = 0;
        while (common < stack.Depth() && common < folders.size() &&
               stack.NameAt(common + 1) == folders[common]) {
            ++common;
        }
        stack.Truncate(common);
        for (size_t i = common; i < folders.size(); ++i) {
            if (stack.Top() == nullptr) {
                stack.PushMissing(folders[i]);
                continue;
            }
            const OpenOutcome outcome = stack.Push(folders[i], !dryRun);
            if (outcome == OpenOutcome::Opened) {
                continue;
            }
            if (outcome == OpenOutcome::Missing && dryRun) {
                stack.PushMissing(folders[i]);
                continue;
            }
            const std::string shown = ShownPath(stack.ShownPath(folders[i]));
            switch (outcome) {
                case OpenOutcome::Link:
                    Refuse(name, shown + kLinkWords + " and could lead outside " +
                                     ShownPath(folder_),
                           dryRun);
                case OpenOutcome::WrongKind:
                    Refuse(name, shown + " is not a folder", dryRun);
                default:
                    Refuse(name, shown + " changed while it was being written to", dryRun);
            }
        }
    }

    // What the file's name holds in its folder now must be replaceable by a file.
    void CheckTarget(const TreeFolder& folder, FolderStack& stack, std::string_view name,
                     std::string_view leaf, bool dryRun) const {
        const std::optional<TreeEntry> existing = folder.Inspect(leaf);
        if (!existing) {
            return;
        }
        const std::string shown = ShownPath(stack.ShownPath(leaf));
        if (existing->kind == EntryKind::Folder) {
            Refuse(name, shown + " is a folder", dryRun);
        }
        if (existing->kind == EntryKind::Link) {
            Refuse(name, shown + kLinkWords, dryRun);
        }
        const auto earlier = written_.find(existing->identity);
        if (earlier != written_.end()) {
            Refuse(name,
                   "on this system it names the same file as " + Shown(earlier->second) +
                       ", extracted just before",
                   false);
        }
    }

    // What already lies in the folder, walked as the extraction will go but without creating
    // anything.
    void CheckExisting() const {
        std::optional<TreeFolder> root = TreeFolder::OpenRootIfPresent(folder_);
        if (!root) {
            return;
        }
        FolderStack stack(std::move(*root));
        std::vector<std::string_view> folders;
        std::string_view leaf;
        for (const auto& [name, entry] : reader_.directory) {
            Split(name, folders, leaf);
            Enter(stack, name, folders, true);
            if (const TreeFolder* folder = stack.Top()) {
                CheckTarget(*folder, stack, name, leaf, true);
            }
        }
    }

    ExtractResult Write() {
        std::error_code error;
        fs::create_directories(folder_, error);
        if (error) {
            throw ToolError("cannot create folder " + ShownPath(folder_) + ": " +
                            ErrorCodeText(error));
        }
        FolderStack stack(TreeFolder::OpenRoot(folder_, true));
        InputFile source(bundlePath_);
        constexpr size_t kStep = size_t{1} << 20;
        const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kStep]);
        std::vector<std::string_view> folders;
        std::string_view leaf;
        ExtractResult result;
        for (const auto& [name, entry] : reader_.directory) {
            Split(name, folders, leaf);
            Enter(stack, name, folders, false);
            const TreeFolder& folder = *stack.Top();
            TempOutputFile file(folder, std::string(leaf));
            uint64_t done = 0;
            while (done < entry.size) {
                const size_t step =
                    static_cast<size_t>(std::min<uint64_t>(kStep, entry.size - done));
                if (!source.ReadAt(reader_.blobPosition + entry.offset + done, buffer.get(),
                                   step)) {
                    throw ToolError("cannot read " + ShownPath(bundlePath_) +
                                    ": the file ends early");
                }
                file.WriteAt(done, buffer.get(), step);
                done += step;
            }
            AtTestPoint(environment_, "extract-writing", name);
            CheckTarget(folder, stack, name, leaf, false);
            const FileIdentity identity = file.Identity();
            file.Commit();
            written_.emplace(identity, name);
            ++result.files;
            result.bytes += entry.size;
        }
        return result;
    }

    const AssetBundle& reader_;
    const fs::path& bundlePath_;
    const fs::path& folder_;
    const ToolEnvironment& environment_;
    // The files written so far, by identity: a later name that reaches one of them is the same
    // file on this file system.
    std::unordered_map<FileIdentity, std::string_view, FileIdentityHash> written_;
};

}  // namespace

ExtractResult ExtractBundle(const AssetBundle& reader, const fs::path& bundlePath,
                            const fs::path& folder, const ToolEnvironment& environment) {
    return Extraction(reader, bundlePath, folder, environment).Run();
}

}  // namespace vandrel::tool
