#pragma once

// The vandrel command line: check, build and serve apps; pack, list, verify and extract
// assets.dat bundles.

#include <ostream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/shown_text.h"
#include "platform/tool_environment.h"

namespace vandrel::tool {

// Runs one command. `args` are the arguments after the program name, as UTF-8. Results go to
// `out`; warnings, progress and errors ("vandrel: ...", one line each) go to `err`. Returns the
// process exit code.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment = {});

}  // namespace vandrel::tool
