#pragma once

// What every command of the tool gets: its exit codes and its environment.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "bundle_writer.h"

namespace vandrel::tool {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // an error, or a bundle the host rejects
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutOfMemory = 3;

struct ToolEnvironment {
    // Progress lines are shown only on a terminal.
    bool errIsTerminal = false;
    // Bundles must be smaller than this (tests lower it).
    uint64_t sizeLimit = kBundleSizeLimit;
    // For tests: called at fixed points of a command with the point and the name or path it
    // concerns, so a test can change the files in between. Points: "bundle-opened" (a bundle is
    // attached, before its directory is read), "pack-scanned" (the folder is scanned, before any
    // file is read), "extract-checked" (the extraction folder is checked, before anything is
    // written), "extract-writing" (an entry's bytes are written to its temporary file, before it
    // takes the entry's name). Unset outside tests.
    std::function<void(std::string_view point, const std::string& name)> testHook;
    // The tool's own file: `build` looks for the host beside it.
    std::filesystem::path programPath;
};

// Calls the environment's test hook when there is one.
inline void AtTestPoint(const ToolEnvironment& environment, std::string_view point,
                        const std::string& name) {
    if (environment.testHook) {
        environment.testHook(point, name);
    }
}

}  // namespace vandrel::tool
