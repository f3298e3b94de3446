#pragma once

// Pieces shared by the POSIX and Windows halves of safe_tree.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "safe_tree.h"

namespace vandrel::tool::detail {

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

}  // namespace vandrel::tool::detail
