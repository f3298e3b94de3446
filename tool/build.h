#pragma once

// `vandrel build APP_FOLDER -o OUT [--bundle] [--zip] [--host EXE] [--loader DLL]`: makes the
// finished app folder (and its zip) from an app's source folder.

#include <ostream>
#include <string>
#include <vector>

#include "commands.h"

namespace vandrel::tool {

// The executable's file name for an app: its package.json name with the characters Windows does
// not allow in file names (and backslashes, which nest the app's data folder) replaced by "-",
// then ".exe". "app.exe" when nothing usable is left.
std::string AppExecutableName(const std::string& name);

// The command. Exit codes: 0 built without errors, 1 not built, or built but the check of the
// result found errors, 2 bad command line.
int BuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment);

}  // namespace vandrel::tool
