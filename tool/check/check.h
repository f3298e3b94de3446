#pragma once

// `vandrel check [APP_FOLDER] [--json]`: reads an app folder as the host would and reports each
// problem as one line: severity, where, what is wrong and what to do.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tool_environment.h"
#include "portable/config/config_check.h"

namespace vandrel::tool {

// Every finding about the app in `folder`, errors first. `folder` is either an app's source
// folder (package.json and www/) or a finished one with the host beside them. Throws ToolError
// when the folder itself cannot be read.
std::vector<Finding> CheckAppFolder(const std::filesystem::path& folder,
                                    const ToolEnvironment& environment);

// Prints findings as lines ("error: package.json: settings.content-mode: ...; ..."), or as one
// JSON array.
void PrintFindings(const std::vector<Finding>& findings, std::ostream& out, bool json);

// "1 error, 2 warnings"; "no problems found" when there are none.
std::string FindingSummary(const std::vector<Finding>& findings);

bool HasErrors(const std::vector<Finding>& findings);

// The command. Exit codes: 0 no errors (warnings allowed), 1 errors, 2 the check could not run.
int CheckCommand(const std::filesystem::path& folder, bool json, std::ostream& out,
                 std::ostream& err, const ToolEnvironment& environment);

}  // namespace vandrel::tool
