#pragma once

// `vandrel build APP_FOLDER -o OUT [--bundle] [--zip] [--host EXE] [--loader DLL]`: makes the
// finished app folder (and its zip) from an app's source folder.

#include <filesystem>
#include <optional>
#include <ostream>

#include "builder/signing.h"
#include "platform/tool_environment.h"

namespace vandrel::tool {

// A build's output folder carries this file, so that the next build knows the folder is one it
// may replace. It is left out of the zip and the installer.
inline constexpr char kBuildMark[] = ".vandrel-build";

struct BuildOptions {
    std::filesystem::path app;
    std::filesystem::path out;
    bool bundle = false;  // pack www/ into www/assets.dat
    bool zip = false;     // also write OUT.zip
    std::optional<std::filesystem::path> host;
    std::optional<std::filesystem::path> loader;
    bool installer = false;  // also write OUT-setup.exe
    SigningOptions signing;
};

// The command. Exit codes: 0 built without errors, 1 not built, or built but the check of the
// result found errors, 2 bad command line.
int BuildCommand(const BuildOptions& options, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment);

}  // namespace vandrel::tool
