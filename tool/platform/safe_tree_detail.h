#pragma once

// Pieces shared by the POSIX and Windows halves of safe_tree.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/safe_tree.h"

#ifdef _WIN32
#include "win32/util/handles.h"
#else
#include <unistd.h>

#include <utility>
#endif

namespace vandrel::tool {
namespace detail {

// How a folder was reached, for messages: the root's path, then one name per level. Levels share
// their parents' links, so each costs only its own name.
struct ShownChain {
    std::shared_ptr<const ShownChain> parent;
    std::filesystem::path root;  // the root level only
    std::string name;            // the levels below it
};

std::shared_ptr<const ShownChain> ShownRoot(const std::filesystem::path& path);
std::shared_ptr<const ShownChain> ShownChild(std::shared_ptr<const ShownChain> parent,
                                             std::string_view name);
// The path of `chain`, with `name` appended when it is not empty.
std::filesystem::path ShownPathOf(const ShownChain& chain, std::string_view name = {});

#ifndef _WIN32
// One owner for a file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    ~UniqueFd() { Reset(); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};
#endif

#ifdef _WIN32
// The new file `name` (one segment) inside the folder `folder`, opened to read, write and delete,
// or nullptr with the Win32 error in `error` (ERROR_FILE_EXISTS when the name is taken, also by a
// link).
void* CreateNewFileIn(void* folder, std::string_view name, unsigned long& error);
// Renames the open `file` to `name` inside `folder`, replacing a file of that name.
bool RenameFileIn(void* file, void* folder, std::string_view name, unsigned long& error);
// Volume serial number and file index of an open handle.
std::optional<FileIdentity> IdentityOfHandle(void* handle);
#endif

}  // namespace detail

// What an open folder holds: its handle, which file it is, whether files may be created in it,
// and how it was reached.
struct TreeFolder::State {
#ifdef _WIN32
    UniqueKernelHandle handle;
#else
    detail::UniqueFd fd;
#endif
    FileIdentity identity;  // on Windows its device is the volume of everything in the folder
    bool writable = false;
    std::shared_ptr<const detail::ShownChain> shown;
};

}  // namespace vandrel::tool
