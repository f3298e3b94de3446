#pragma once

// vandrel serve: previews an app in a browser, answering every request the way the host does.

#include <ostream>
#include <cstdint>
#include <filesystem>

#include "platform/tool_environment.h"

namespace vandrel::tool {

// With --watch, pages listen for reloads here, and load the script that does from kLiveScript:
// paths that no app file can have, since Windows allows no colon in file names.
inline constexpr char kLiveEvents[] = "/:vandrel/live";
inline constexpr char kLiveScript[] = "/:vandrel/live.js";

struct ServeOptions {
    std::filesystem::path folder = ".";
    uint16_t port = 0;        // 0: a free port
    bool bundleOnly = false;  // the bundle alone, to find files missing from it
    bool quiet = false;       // no line per request
    bool watch = false;       // reload open pages when the app's files change
};

// Serves the app in `options.folder` on 127.0.0.1 until Ctrl+C (SIGINT or SIGTERM), then returns
// 0. With `watch`, HTML documents get a script that listens at kLiveEvents and reloads the page
// when package.json or www changes, once per burst of changes. The start page's address and one line per request go to `out`; warnings and errors to `err`.
// Returns 2 for an app in remote content mode, which has nothing to serve. Other failures throw
// ToolError.
int Serve(const ServeOptions& options, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment);

}  // namespace vandrel::tool
