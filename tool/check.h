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

// What an app folder holds, by the names the host uses.
inline constexpr char kPackageFile[] = "package.json";
inline constexpr char kWwwFolder[] = "www";
inline constexpr char kBundleFile[] = "www/assets.dat";
inline constexpr char kLoaderFile[] = "WebView2Loader.dll";
inline constexpr char kExtensionFile[] = "WV2ExtManager.dll";
inline constexpr char kRuntimeFolder[] = "webview2";
inline constexpr char kFixedRuntime[] = "webview2/msedgewebview2.exe";
// The most of package.json, or of an icon, that is read.
inline constexpr uint64_t kLargestSettingsFile = uint64_t{64} << 20;

// A window.icon value that is not a path relative to the executable's folder (absolute, or with
// a drive letter): the host could not find it on a player's machine.
bool IconPathIsForeign(const std::string& icon);

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
