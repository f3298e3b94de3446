#pragma once

// The keys of package.json that the host reads: where each lives, its JSON type, its default and,
// for the modes, the values allowed. LoadAppConfig reads every setting through this table, and
// the checker (config_check.h) walks the same table, so the two cannot disagree.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "portable/config/app_config.h"

namespace vandrel {

enum class KeyType : int32_t { String, Number, Boolean };

struct ConfigKey {
    const char* section;  // "window", "settings" or "messages"; nullptr at the top level
    const char* name;
    KeyType type;
    // The default of a String key (for a mode: its first allowed value); empty otherwise.
    const char* defaultText;
    int32_t defaultNumber;  // Number keys
    bool defaultBool;       // Boolean keys
    // Mode keys: the values the host accepts, compared exactly; the position of a value is the
    // number of its enumerator. Empty for free text.
    std::span<const char* const> allowed;
    // Mode keys: the text the loader throws for any other string; null when any other string
    // takes the default instead.
    const char* invalidError;

    bool IsMode() const { return !allowed.empty(); }
    // "settings.content-mode", or "name" at the top level.
    std::string Path() const;
    // The default as JSON.
    nlohmann::json Default() const;
};

inline constexpr std::array<const char*, 2> kDistributionModeValues = {"evergreen", "fixed"};
inline constexpr std::array<const char*, 2> kHostingModeValues = {"windowed", "window-to-visual"};
inline constexpr std::array<const char*, 2> kContentModeValues = {"bundle", "remote"};
inline constexpr std::array<const char*, 2> kWindowPositionValues = {"default", "center"};
inline constexpr std::array<const char*, 3> kLogModeValues = {"on", "errors", "off"};

namespace keys {

inline constexpr ConfigKey kName{nullptr, "name", KeyType::String, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kMain{nullptr, "main", KeyType::String, kDefaultMain, 0,
                                 false,   {},     nullptr};
inline constexpr ConfigKey kChromiumArgs{nullptr, "chromium-args", KeyType::String, "", 0, false,
                                         {},      nullptr};
inline constexpr ConfigKey kTitle{"window", "title", KeyType::String, kDefaultWindowTitle, 0,
                                  false,    {},      nullptr};
inline constexpr ConfigKey kWidth{"window", "width", KeyType::Number, "", kDefaultWindowWidth,
                                  false,    {},      nullptr};
inline constexpr ConfigKey kHeight{"window", "height", KeyType::Number, "", kDefaultWindowHeight,
                                   false,    {},       nullptr};
inline constexpr ConfigKey kIcon{"window", "icon", KeyType::String, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kResizable{"window", "resizable", KeyType::Boolean, "", 0,
                                      true,     {},          nullptr};
inline constexpr ConfigKey kBackgroundColor{
    "window", "background-color", KeyType::String, kDefaultBackgroundColor, 0, false, {}, nullptr};
inline constexpr ConfigKey kPauseWhenMinimized{
    "window", "pause-when-minimized", KeyType::Boolean, "", 0, true, {}, nullptr};
inline constexpr ConfigKey kFullscreenKeys{
    "window", "fullscreen-keys", KeyType::Boolean, "", 0, true, {}, nullptr};
inline constexpr ConfigKey kFullscreen{
    "window", "fullscreen", KeyType::Boolean, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kMinWidth{"window", "min-width", KeyType::Number, "", 0, false, {},
                                     nullptr};
inline constexpr ConfigKey kMinHeight{"window", "min-height", KeyType::Number, "", 0, false, {},
                                      nullptr};
inline constexpr ConfigKey kMaxWidth{"window", "max-width", KeyType::Number, "", 0, false, {},
                                     nullptr};
inline constexpr ConfigKey kMaxHeight{"window", "max-height", KeyType::Number, "", 0, false, {},
                                      nullptr};
inline constexpr ConfigKey kPosition{"window", "position", KeyType::String,
                                     kWindowPositionValues[0], 0, false, kWindowPositionValues,
                                     nullptr};
inline constexpr ConfigKey kMaximized{
    "window", "maximized", KeyType::Boolean, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kAlwaysOnTop{
    "window", "always-on-top", KeyType::Boolean, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kRemember{"window", "remember", KeyType::Boolean, "", 0, false, {},
                                     nullptr};
inline constexpr ConfigKey kDistributionMode{"settings",
                                             "distribution-mode",
                                             KeyType::String,
                                             kDistributionModeValues[0],
                                             0,
                                             false,
                                             kDistributionModeValues,
                                             "invalid distribution mode"};
inline constexpr ConfigKey kHostingMode{
    "settings", "hosting-mode", KeyType::String,    kHostingModeValues[0],
    0,          false,          kHostingModeValues, "invalid hosting mode"};
inline constexpr ConfigKey kContentMode{
    "settings", "content-mode", KeyType::String,    kContentModeValues[0],
    0,          false,          kContentModeValues, "invalid content mode"};
inline constexpr ConfigKey kEnableDevtools{
    "settings", "enable-devtools", KeyType::Boolean, "", 0, true, {}, nullptr};
inline constexpr ConfigKey kSingleInstance{
    "settings", "single-instance", KeyType::Boolean, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kLog{"settings", "log",          KeyType::String, kLogModeValues[0],
                                0,          false,          kLogModeValues,  nullptr};
inline constexpr ConfigKey kCrossOriginIsolation{
    "settings", "cross-origin-isolation", KeyType::Boolean, "", 0, false, {}, nullptr};
inline constexpr ConfigKey kInstallWebView2Message{
    "messages", "install-webview2", KeyType::String, kDefaultInstallWebView2Message, 0, false, {},
    nullptr};
inline constexpr ConfigKey kDownloadingMessage{
    "messages", "downloading", KeyType::String, kDefaultDownloadingMessage, 0, false, {}, nullptr};
inline constexpr ConfigKey kInstallWebView2FailedMessage{"messages",
                                                         "install-webview2-failed",
                                                         KeyType::String,
                                                         kDefaultInstallWebView2FailedMessage,
                                                         0,
                                                         false,
                                                         {},
                                                         nullptr};

inline constexpr ConfigKey kPageCrashedMessage{
    "messages", "page-crashed", KeyType::String, kDefaultPageCrashedMessage, 0, false, {}, nullptr};
inline constexpr ConfigKey kPageUnresponsiveMessage{"messages",
                                                    "page-unresponsive",
                                                    KeyType::String,
                                                    kDefaultPageUnresponsiveMessage,
                                                    0,
                                                    false,
                                                    {},
                                                    nullptr};

}  // namespace keys

// Every key the host reads, in the order the loader reads them.
inline constexpr std::array<const ConfigKey*, 32> kConfigKeys = {
    &keys::kName,
    &keys::kMain,
    &keys::kTitle,
    &keys::kWidth,
    &keys::kHeight,
    &keys::kIcon,
    &keys::kResizable,
    &keys::kBackgroundColor,
    &keys::kPauseWhenMinimized,
    &keys::kFullscreenKeys,
    &keys::kFullscreen,
    &keys::kMinWidth,
    &keys::kMinHeight,
    &keys::kMaxWidth,
    &keys::kMaxHeight,
    &keys::kPosition,
    &keys::kMaximized,
    &keys::kAlwaysOnTop,
    &keys::kRemember,
    &keys::kChromiumArgs,
    &keys::kDistributionMode,
    &keys::kHostingMode,
    &keys::kContentMode,
    &keys::kEnableDevtools,
    &keys::kCrossOriginIsolation,
    &keys::kSingleInstance,
    &keys::kLog,
    &keys::kInstallWebView2Message,
    &keys::kDownloadingMessage,
    &keys::kInstallWebView2FailedMessage,
    &keys::kPageCrashedMessage,
    &keys::kPageUnresponsiveMessage,
};

// The sections: objects at the top level that hold keys of the table.
inline constexpr std::array<const char*, 3> kConfigSections = {"window", "settings", "messages"};

// Top-level keys that other tools read from package.json (npm's fields, an editor's "$schema").
// The host ignores them; the checker accepts them without a word. "version" is also read by
// `vandrel build` for the executable's version resource.
inline constexpr std::array<const char*, 40> kForeignTopLevelKeys = {
    "$schema",
    "author",
    "bin",
    "browser",
    "bugs",
    "bundleDependencies",
    "bundledDependencies",
    "config",
    "contributors",
    "cpu",
    "dependencies",
    "description",
    "devDependencies",
    "directories",
    "engines",
    "exports",
    "files",
    "funding",
    "homepage",
    "imports",
    "keywords",
    "license",
    "man",
    "module",
    "optionalDependencies",
    "os",
    "overrides",
    "packageManager",
    "peerDependencies",
    "peerDependenciesMeta",
    "private",
    "publishConfig",
    "repository",
    "scripts",
    "sideEffects",
    "type",
    "types",
    "typings",
    "version",
    "workspaces",
};

// The member of `root` that holds `key` (the root itself for top-level keys, else the key's
// section), or null when the section is missing. A section of the wrong type is returned as it
// is: the typed lookups then fall back to their defaults.
const nlohmann::json* KeyContainer(const nlohmann::json& root, const ConfigKey& key);

// Typed reads with the key's default, as the host reads them.
std::string ReadConfigString(const nlohmann::json& root, const ConfigKey& key);
int32_t ReadConfigNumber(const nlohmann::json& root, const ConfigKey& key);
bool ReadConfigBool(const nlohmann::json& root, const ConfigKey& key);
// The position of the value in key.allowed; throws std::runtime_error(key.invalidError) for a
// string that is not allowed (or gives 0 when the key has no such text). A missing value or one
// of another type gives 0, the default.
size_t ReadConfigMode(const nlohmann::json& root, const ConfigKey& key);

}  // namespace vandrel
