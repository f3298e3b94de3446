#pragma once

// An app's folder as the tool reads it: the names the host uses, and what the app's settings make
// of the finished program (its file name, product name and publisher).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

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

// The name shown for the app: window.title when package.json sets it, else the name.
std::string ProductName(const nlohmann::json& document, const AppConfig& config);

// The publisher from npm's "author": "Name <mail> (site)" or {"name": "Name"}; nullopt when none.
std::optional<std::string> Author(const nlohmann::json& document);

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

}  // namespace vandrel::tool
