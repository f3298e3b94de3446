#pragma once

// `vandrel run [APP_FOLDER]`: the app in the real host, from a staging folder beside the app
// folder, with the developer tools on and the host's log lines in the terminal. Windows only.

#include <filesystem>
#include <optional>
#include <ostream>

#include "platform/tool_environment.h"

namespace vandrel::tool {

struct RunOptions {
    std::filesystem::path app = ".";
    std::optional<std::filesystem::path> host;    // else vandrel-host.exe beside the tool
    std::optional<std::filesystem::path> loader;  // else the app's own, else the host's neighbour
};

// Where `run` stages the app in `appFolder`: "<folder name>.vandrel-run" beside it.
std::filesystem::path RunStagingFolder(const std::filesystem::path& appFolder);

// Stages the app, starts the host there and waits for it, printing the player log's new lines.
// Ctrl+C closes the app's window (ended after 5 s if it stays) and throws Interrupted. Returns
// the host's exit code; 2 on a system that does not run Windows programs (saying to use
// `serve --watch`). Throws ToolError.
int RunCommand(const RunOptions& options, std::ostream& out, std::ostream& err,
               const ToolEnvironment& environment);

}  // namespace vandrel::tool
