#pragma once

// `vandrel build APP_FOLDER -o OUT [--bundle] [--zip] [--host EXE] [--loader DLL]`: makes the
// finished app folder (and its zip) from an app's source folder.

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "portable/config/config_check.h"

namespace vandrel::tool {

// The executable's file name for an app: its package.json name with the characters Windows does
// not allow in file names (and backslashes, which nest the app's data folder) replaced by "-",
// then ".exe". "app.exe" when nothing usable is left.
std::string AppExecutableName(const std::string& name);

// The longest file name Windows allows, and the longest text build writes into the version
// resource (its product name, version or company), both in UTF-16 units. Texts within the limit
// always fit the resource's 64 KiB.
inline constexpr size_t kLongestFileName = 255;
inline constexpr size_t kLongestVersionText = 2048;

// What build refuses in a package.json that the host accepts: an executable name longer than
// Windows allows, and texts too long for the version resource. Errors; empty when there are none.
std::vector<Finding> BuildFindings(const nlohmann::json& document, const AppConfig& config);

// The command. Exit codes: 0 built without errors, 1 not built, or built but the check of the
// result found errors, 2 bad command line.
int BuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment);

}  // namespace vandrel::tool
