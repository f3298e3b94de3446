#pragma once

// The vandrel command line: check, build and serve apps; pack, list, verify and extract
// assets.dat bundles.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bundle_names.h"
#include "portable/bundle/asset_bundle.h"
#include "bundle_writer.h"
#include "file_io.h"

namespace vandrel::tool {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // an error, or a bundle the host rejects
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutOfMemory = 3;

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
    // takes the entry's name). Unset outside tests.
    std::function<void(std::string_view point, const std::string& name)> testHook;
    // The tool's own file: `build` looks for the host beside it.
    std::filesystem::path programPath;
};

// Calls the environment's test hook when there is one.
inline void AtTestPoint(const ToolEnvironment& environment, std::string_view point,
                        const std::string& name) {
    if (environment.testHook) {
        environment.testHook(point, name);
    }
}

// A mistake in the command line: reported with a pointer to the help, exit code kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "1 file", "2 files".
std::string Plural(uint64_t n, const char* singular, const char* plural);
// The size limit in words: "2 GiB (2147483648 bytes)" for the host's.
std::string LimitText(uint64_t limit);

// A bundle file attached to the host's reader.
struct OpenedBundle {
    std::filesystem::path path;
    uint64_t length = 0;
    StdioFile stream;
    AssetBundle reader;
    std::optional<std::string> rejection;  // why the host would not read it
    bool tooLarge = false;                 // rejected for its size alone, without being read
};

// Opens and reads a bundle file as the host would. A bundle the reader rejects, or one of the
// size limit or more (not read), comes back with its rejection; ToolError when the file cannot
// be read.
std::unique_ptr<OpenedBundle> OpenBundle(const std::filesystem::path& path,
                                         const ToolEnvironment& environment = {});

// Runs one command. `args` are the arguments after the program name, as UTF-8. Results go to
// `out`; warnings, progress and errors ("vandrel: ...", one line each) go to `err`. Returns the
// process exit code.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment = {});

}  // namespace vandrel::tool
