// The POSIX half of safe_tree: openat, mkdirat and fstatat relative to folder descriptors, with
// O_NOFOLLOW so that no step goes through a symbolic link.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <utility>

#include "platform/shown_text.h"
#include "portable/util/utf.h"
#include "platform/file_io.h"
#include "platform/safe_tree.h"
#include "platform/safe_tree_detail.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// A name as the system calls take it: one segment (the callers split names at '/'), ending in
// a zero byte.
std::string Segment(std::string_view name) {
    return std::string(name);
}

FileIdentity IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

EntryKind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return EntryKind::File;
    }
    if (S_ISDIR(info.st_mode)) {
        return EntryKind::Folder;
    }
    if (S_ISLNK(info.st_mode)) {
        return EntryKind::Link;
    }
    return EntryKind::Other;
}

[[noreturn]] void FailOn(const char* what, const fs::path& path) {
    throw ToolError(std::string(what) + " " + ShownPath(path) + ": " + LastErrorText());
}

}  // namespace

int TreeFolder::Fd() const {
    return state_->fd.Get();
}

std::optional<TreeFolder> TreeFolder::OpenRootIfPresent(const fs::path& path, bool writable) {
    detail::UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (fd.Get() < 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        FailOn("cannot open folder", path);
    }
    if (fstat(fd.Get(), &info) != 0) {
        FailOn("cannot open folder", path);
    }
    return TreeFolder(State{std::move(fd), IdentityOf(info), writable, detail::ShownRoot(path)});
}

OpenOutcome TreeFolder::OpenFolder(std::string_view name, bool create, TreeFolder& result,
                                   const FileIdentity* expected) const {
    const std::string segment = Segment(name);
    const int parent = state_->fd.Get();
    if (create && mkdirat(parent, segment.c_str(), 0777) != 0 && errno != EEXIST) {
        FailOn("cannot create folder", detail::ShownPathOf(*state_->shown, name));
    }
    detail::UniqueFd fd(
        openat(parent, segment.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ENOENT) {
            return OpenOutcome::Missing;
        }
        if ((error == ELOOP || error == ENOTDIR) &&
            fstatat(parent, segment.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            return S_ISLNK(info.st_mode) ? OpenOutcome::Link : OpenOutcome::WrongKind;
        }
        errno = error;
        FailOn("cannot open folder", detail::ShownPathOf(*state_->shown, name));
    }
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0) {
        FailOn("cannot open folder", detail::ShownPathOf(*state_->shown, name));
    }
    if (expected != nullptr && IdentityOf(info) != *expected) {
        return OpenOutcome::Changed;
    }
    result = TreeFolder(State{std::move(fd), IdentityOf(info), state_->writable,
                              detail::ShownChild(state_->shown, name)});
    return OpenOutcome::Opened;
}

OpenOutcome TreeFolder::OpenFile(std::string_view name, const FileIdentity& expected,
                                 std::unique_ptr<InputFile>& result) const {
    const std::string segment = Segment(name);
    // Non-blocking, so that a pipe put in the file's place cannot stall the open.
    detail::UniqueFd fd(openat(state_->fd.Get(), segment.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const fs::path shown = detail::ShownPathOf(*state_->shown, name);
    if (fd.Get() < 0) {
        if (errno == ENOENT) {
            return OpenOutcome::Missing;
        }
        if (errno == ELOOP) {
            return OpenOutcome::Link;
        }
        FailOn("cannot read", shown);
    }
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0) {
        FailOn("cannot read", shown);
    }
    if (!S_ISREG(info.st_mode)) {
        return OpenOutcome::WrongKind;
    }
    if (IdentityOf(info) != expected) {
        return OpenOutcome::Changed;
    }
    // O_NONBLOCK changes nothing for a regular file: it stays.
    result = std::make_unique<InputFile>(fd.Release(), shown, static_cast<uint64_t>(info.st_size));
    return OpenOutcome::Opened;
}

std::optional<TreeEntry> TreeFolder::Inspect(std::string_view name) const {
    const std::string segment = Segment(name);
    struct stat info {};
    if (fstatat(state_->fd.Get(), segment.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        FailOn("cannot read", detail::ShownPathOf(*state_->shown, name));
    }
    TreeEntry entry;
    entry.name = segment;
    entry.nameValid = IsValidUtf8(segment);
    entry.kind = KindOf(info);
    entry.identity = IdentityOf(info);
    entry.size = static_cast<uint64_t>(info.st_size);
    return entry;
}

std::vector<TreeEntry> TreeFolder::List() const {
    // The listing reads through a descriptor of its own, which closedir closes.
    const int copy = fcntl(state_->fd.Get(), F_DUPFD_CLOEXEC, 0);
    DIR* opened = copy < 0 ? nullptr : fdopendir(copy);
    if (opened == nullptr) {
        if (copy >= 0) {
            close(copy);
        }
        FailOn("cannot open folder", ShownPath());
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opened, closedir);
    rewinddir(listing.get());
    std::vector<TreeEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* item = readdir(listing.get());
        if (item == nullptr) {
            if (errno != 0) {
                FailOn("cannot open folder", ShownPath());
            }
            break;
        }
        const std::string_view name(item->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        if (fstatat(state_->fd.Get(), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue;  // gone since the listing was read
            }
            FailOn("cannot read", ShownPath() / PathFromUtf8(name));
        }
        TreeEntry entry;
        entry.name.assign(name);
        entry.nameValid = IsValidUtf8(name);
        entry.kind = KindOf(info);
        entry.identity = IdentityOf(info);
        entry.size = static_cast<uint64_t>(info.st_size);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
    return entries;
}

std::optional<ResolvedName> TreeFolder::Resolve(std::string_view name) const {
    const std::string segment = Segment(name);
#ifdef O_PATH
    constexpr int kFlags = O_PATH | O_CLOEXEC;
#else
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif
    detail::UniqueFd fd(openat(state_->fd.Get(), segment.c_str(), kFlags));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0) {
        return std::nullopt;
    }
    ResolvedName resolved;
    resolved.kind = KindOf(info);
    resolved.identity = IdentityOf(info);
    // The kernel's name for the descriptor; elsewhere the path resolved from the shown one.
    std::error_code error;
    resolved.realPath = fs::read_symlink("/proc/self/fd/" + std::to_string(fd.Get()), error);
    if (error || !resolved.realPath.is_absolute()) {
        resolved.realPath = fs::canonical(detail::ShownPathOf(*state_->shown, name), error);
        if (error) {
            return std::nullopt;
        }
    }
    resolved.shownPath = resolved.realPath;
    return resolved;
}

TreeFolder TreeFolder::Duplicate() const {
    detail::UniqueFd fd(fcntl(state_->fd.Get(), F_DUPFD_CLOEXEC, 0));
    if (fd.Get() < 0) {
        FailOn("cannot open folder", ShownPath());
    }
    return TreeFolder(State{std::move(fd), state_->identity, state_->writable, state_->shown});
}

std::optional<uint64_t> TreeFolder::SettledStamp() const {
    struct stat info {};
    if (fstat(state_->fd.Get(), &info) != 0) {
        return std::nullopt;
    }
    // Some file systems keep times in whole seconds: a change within the second of the last one
    // would not show.
    if (time(nullptr) - info.st_mtim.tv_sec < 2) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
           static_cast<uint64_t>(info.st_mtim.tv_nsec);
}

fs::path TreeFolder::RealPath() const {
    std::error_code error;
    fs::path real = fs::read_symlink("/proc/self/fd/" + std::to_string(state_->fd.Get()), error);
    if (error || !real.is_absolute()) {
        real = fs::canonical(ShownPath(), error);
        if (error) {
            throw ToolError("cannot open folder " + tool::ShownPath(ShownPath()) + ": " +
                            ErrorCodeText(error));
        }
    }
    return real;
}

size_t MaxOpenFolders() {
    static const bool raised = [] {
        struct rlimit files {};
        if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
            files.rlim_cur = files.rlim_max;
            setrlimit(RLIMIT_NOFILE, &files);
        }
        return true;
    }();
    (void)raised;
    struct rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) {
        return 1000;
    }
    constexpr rlim_t kMargin = 64;  // for the bundle, the output and the program's own files
    const rlim_t open = files.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : files.rlim_cur;
    return open > kMargin + 1 ? static_cast<size_t>(open - kMargin) : 1;
}

std::optional<FileIdentity> IdentityOfPath(const fs::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return IdentityOf(info);
}

}  // namespace vandrel::tool
