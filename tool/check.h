#pragma once

// `vandrel check [APP_FOLDER] [--json]`: reads an app folder as the host would and reports each
// problem as one line: severity, where, what is wrong and what to do.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "portable/config/config_check.h"

namespace vandrel::tool {

// A file or folder found under a root, by its name as written or with another case.
struct Located {
    std::filesystem::path path;
    std::string name;  // as it is on disk, relative to the root, "/" between folder names
    bool exact = true;
    bool directory = false;
    uint64_t size = 0;
};

// Looks `relative` ("/" or "\" between names) up under `root` segment by segment: the exact name
// first, then one that differs only in the case of ASCII letters (as Windows would find it).
// Segments that are empty, "." or ".." find nothing.
std::optional<Located> Locate(const std::filesystem::path& root, std::string_view relative);

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
int CheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment);

}  // namespace vandrel::tool
