#pragma once

// The vandrel command line: pack, list, verify and extract assets.dat bundles.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bundle/asset_bundle.h"
#include "bundle_writer.h"
#include "file_io.h"

namespace vandrel::tool {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // an error, or a bundle the host rejects
inline constexpr int kExitUsage = 2;

struct ToolEnvironment {
    // Progress lines are shown only on a terminal.
    bool errIsTerminal = false;
    // Bundles must be smaller than this (tests lower it).
    uint64_t sizeLimit = kBundleSizeLimit;
    // The tool's own file: `build` looks for the host beside it.
    std::filesystem::path programPath;
};

// Runs one command. `args` are the arguments after the program name, as UTF-8. Results go to
// `out`; warnings, progress and errors ("vandrel: ...", one line each) go to `err`. Returns the
// process exit code.
// A mistake in the command line: reported with a pointer to the help, exit code kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Name bytes for display, in quotes unless `quoted` is false: control characters become \xNN.
std::string Shown(const std::string& name, bool quoted = true);
std::string ShownPath(const std::filesystem::path& path);
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
    std::optional<std::string> rejection;  // the reader's message when Parse threw
};

// Opens and parses a bundle file. A bundle the reader rejects comes back with its rejection;
// ToolError when the file cannot be read.
std::unique_ptr<OpenedBundle> OpenBundle(const std::filesystem::path& path);

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment = {});

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif

// Why a bundle name cannot be written under an extraction folder, or nullopt when it can: empty
// names and segments, absolute paths, "." and "..", a zero byte; on Windows also backslashes,
// drive letters and colons, reserved device names, characters Windows forbids in file names,
// segments ending in a dot or space, and bytes that are not UTF-8.
std::optional<std::string> UnsafeNameReason(const std::string& name,
                                            bool windowsRules = kWindowsNameRules);

}  // namespace vandrel::tool
