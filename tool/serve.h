#pragma once

// vandrel serve: previews an app in a browser, answering every request the way the host does.

#include <ostream>
#include <string>
#include <vector>

#include "tool_environment.h"

namespace vandrel::tool {

// Runs `vandrel serve [APP_FOLDER] [--port N] [--bundle-only] [--quiet]`; `args` start with
// "serve". Serves on 127.0.0.1 until Ctrl+C (SIGINT or SIGTERM), then returns 0. The start page's
// address and one line per request go to `out`; warnings and errors to `err`. Returns 2 for a
// bad command line and for an app in remote content mode, which has nothing to serve. Other
// failures throw ToolError.
int Serve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment);

}  // namespace vandrel::tool
