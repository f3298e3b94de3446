#pragma once

// The vandrel command line: pack, list, verify and extract assets.dat bundles.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bundle_writer.h"

namespace vandrel::tool {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // an error, or a bundle the host rejects
inline constexpr int kExitUsage = 2;

struct ToolEnvironment {
    // Progress lines are shown only on a terminal.
    bool errIsTerminal = false;
    // Bundles must be smaller than this (tests lower it).
    uint64_t sizeLimit = kBundleSizeLimit;
};

// Runs one command. `args` are the arguments after the program name, as UTF-8. Results go to
// `out`; warnings, progress and errors ("vandrel: ...", one line each) go to `err`. Returns the
// process exit code.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment = {});

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif

// Why a bundle name cannot be written under an extraction folder, or nullopt when it can: empty
// names and segments, absolute paths, "." and "..", a zero byte; on Windows also backslashes,
// drive letters and colons, reserved device names, characters Windows forbids in file names,
// segments ending in a dot or space, and bytes that are not UTF-8.
std::optional<std::string> UnsafeNameReason(const std::string& name,
                                            bool windowsRules = kWindowsNameRules);

}  // namespace vandrel::tool
