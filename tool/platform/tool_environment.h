#pragma once

// What every command of the tool gets: its exit codes and its environment.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "portable/bundle/bundle_format.h"

namespace vandrel::tool {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // an error, or a bundle the host rejects
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutOfMemory = 3;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report Ctrl+C

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
    // takes the entry's name), "build-staging" (the staging folder, once the executable is in
    // it), "build-replacing" (a finished output, before it takes the name of its target, the
    // path given), "serve-listening" (the port, once serve listens), "serve-reloaded" (the number
    // of pages told to reload after a change, with --watch). Unset outside tests.
    std::function<void(std::string_view point, const std::string& name)> testHook;
    // The tool's own file: `build` looks for the host beside it.
    std::filesystem::path programPath;
    // `serve` closes a connection idle this long, and holds at most this many at once.
    std::chrono::milliseconds serveIdleTime{60000};
    size_t serveConnections = 256;
};

// Calls the environment's test hook when there is one.
inline void AtTestPoint(const ToolEnvironment& environment, std::string_view point,
                        const std::string& name) {
    if (environment.testHook) {
        environment.testHook(point, name);
    }
}

}  // namespace vandrel::tool
