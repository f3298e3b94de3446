#include "platform/safe_tree.h"

#include <algorithm>
#include <utility>

#include "platform/file_io.h"
#include "platform/name_folding.h"
#include "platform/safe_tree_detail.h"
#include "platform/shown_text.h"


namespace vandrel::tool {

namespace fs = std::filesystem;

namespace detail {

std::shared_ptr<const ShownChain> ShownRoot(const fs::path& path) {
    auto chain = std::make_shared<ShownChain>();
    chain->root = path;
    return chain;
}

std::shared_ptr<const ShownChain> ShownChild(std::shared_ptr<const ShownChain> parent,
                                             std::string_view name) {
    auto chain = std::make_shared<ShownChain>();
    chain->parent = std::move(parent);
    chain->name.assign(name);
    return chain;
}

fs::path ShownPathOf(const ShownChain& chain, std::string_view name) {
    std::vector<const ShownChain*> levels;
    for (const ShownChain* level = &chain; level != nullptr; level = level->parent.get()) {
        levels.push_back(level);
    }
    fs::path path = levels.back()->root;
    for (auto level = levels.rbegin() + 1; level != levels.rend(); ++level) {
        path /= PathFromUtf8((*level)->name);
    }
    if (!name.empty()) {
        path /= PathFromUtf8(name);
    }
    return path;
}

}  // namespace detail

// ---- TreeFolder: what both platforms share

TreeFolder::TreeFolder() = default;
TreeFolder::TreeFolder(State&& state) : state_(std::make_unique<State>(std::move(state))) {}
TreeFolder::TreeFolder(TreeFolder&&) noexcept = default;
TreeFolder& TreeFolder::operator=(TreeFolder&&) noexcept = default;
TreeFolder::~TreeFolder() = default;

bool TreeFolder::Valid() const {
    return state_ != nullptr;
}

const FileIdentity& TreeFolder::Identity() const {
    return state_->identity;
}

fs::path TreeFolder::ShownPath() const {
    return detail::ShownPathOf(*state_->shown);
}

TreeFolder TreeFolder::OpenRoot(const fs::path& path, bool writable) {
    std::optional<TreeFolder> folder = OpenRootIfPresent(path, writable);
    if (!folder) {
        throw ToolError("cannot open folder " + tool::ShownPath(path) + ": " +
                        ErrorCodeText(std::make_error_code(std::errc::no_such_file_or_directory)));
    }
    return std::move(*folder);
}

// ---- FolderStack

FolderStack::FolderStack(TreeFolder root) {
    levels_.push_back(Level{std::string(), std::move(root)});
}

FolderStack::~FolderStack() {
    Truncate(0);
}

void FolderStack::Truncate(size_t depth) {
    while (levels_.size() > depth + 1) {
        levels_.pop_back();
    }
    if (missingFrom_ > depth) {
        missingFrom_ = 0;
    }
}

OpenOutcome FolderStack::Push(std::string_view name, bool create, const FileIdentity* expected) {
    TreeFolder folder;
    const OpenOutcome outcome = levels_.back().folder.OpenFolder(name, create, folder, expected);
    if (outcome == OpenOutcome::Opened) {
        levels_.push_back(Level{std::string(name), std::move(folder)});
    }
    return outcome;
}

void FolderStack::PushMissing(std::string_view name) {
    if (missingFrom_ == 0) {
        missingFrom_ = levels_.size();
    }
    levels_.push_back(Level{std::string(name), TreeFolder()});
}

const TreeFolder* FolderStack::Top() const {
    return missingFrom_ == 0 ? &levels_.back().folder : nullptr;
}

fs::path FolderStack::ShownPath(std::string_view name) const {
    const size_t present = missingFrom_ == 0 ? levels_.size() : missingFrom_;
    fs::path path = levels_[present - 1].folder.ShownPath();
    for (size_t level = present; level < levels_.size(); ++level) {
        path /= PathFromUtf8(levels_[level].name);
    }
    if (!name.empty()) {
        path /= PathFromUtf8(name);
    }
    return path;
}

// ---- Paths

std::optional<std::vector<std::string>> NamesBelow(const fs::path& path, const fs::path& root) {
    // The long-path prefix is a spelling, not a folder: both sides drop it alike.
    const fs::path whole = WithoutLongPathPrefix(path);
    const fs::path base = WithoutLongPathPrefix(root);
    auto p = whole.begin();
    for (auto r = base.begin(); r != base.end(); ++r) {
        if (r->empty()) {
            continue;  // a trailing separator
        }
        if (p == whole.end() || !SameFileName(*p, *r)) {
            return std::nullopt;
        }
        ++p;
    }
    std::vector<std::string> names;
    for (; p != whole.end(); ++p) {
        if (!p->empty()) {
            names.push_back(PathToUtf8(*p));
        }
    }
    return names;
}

}  // namespace vandrel::tool
