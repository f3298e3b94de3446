#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "portable/log/log_entry.h"

namespace vandrel {

// Which WebView2 runtime the host uses: the machine-wide one (downloaded when missing) or a
// fixed-version runtime shipped in the "webview2" sub-folder.
enum class DistributionMode : int32_t { Evergreen, Fixed };

// How the WebView is hosted; WindowToVisual forces the runtime's window-to-visual hosting.
enum class HostingMode : int32_t { Windowed, WindowToVisual };

// Where the window first opens: where Windows puts it, or centred on the monitor of the cursor.
enum class WindowPosition : int32_t { Default, Center };

// Where the page comes from: served by the host from the bundle or the www folder, or a remote URL.
enum class ContentMode : int32_t { Bundle, Remote };

// Defaults of package.json. The title doubles as the caption of start-up message boxes shown
// before (or without) a configured title.
inline constexpr char kDefaultMain[] = "index.html";
inline constexpr char kDefaultWindowTitle[] = "Windows WebView2 wrapper";
inline constexpr int32_t kDefaultWindowWidth = 1024;
inline constexpr int32_t kDefaultWindowHeight = 768;
inline constexpr char kDefaultInstallWebView2Message[] =
    "This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and installed "
    "for you now.";
inline constexpr char kDefaultDownloadingMessage[] = "Downloading...";
inline constexpr char kDefaultInstallWebView2FailedMessage[] =
    "Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to "
    "install it, and that your Internet connection is working. Run the app again to try again.";

inline constexpr char kDefaultBackgroundColor[] = "#FFFFFF";
inline constexpr char kDefaultPageCrashedMessage[] =
    "This app stopped working and has to close. Start it again to go on; if this keeps "
    "happening, tell the app's maker.";
inline constexpr char kDefaultPageUnresponsiveMessage[] =
    "This app is not responding. Reload it? Choose Yes to reload it (what was not saved is "
    "lost), or No to keep waiting.";

// The settings read from package.json. Strings are UTF-8. Sizes are logical pixels at 96 DPI and
// are not range-checked. The loader fills every field; the numbers and switches start at the
// loader's defaults.
struct AppConfig {
    std::string name;  // user-data sub-folder under Local AppData; never empty once loaded
    std::string main;  // start page: a path under the app origin, or a full URL in Remote mode
    std::string title;
    int32_t width = kDefaultWindowWidth;
    int32_t height = kDefaultWindowHeight;
    std::string icon;  // image file relative to the executable's folder; empty for the stock icon
    bool resizable = true;
    // 0xRRGGBB from window.background-color, when that is a colour; none: the system's window
    // colour under the page, and the control's own white.
    std::optional<uint32_t> backgroundColor;
    bool pauseWhenMinimized = true;  // the control is hidden while the window is minimised
    bool fullscreenKeys = true;      // F11 and Alt+Enter switch full screen
    bool fullscreen = false;         // open in the host's full screen
    // Client-area bounds in 96-DPI pixels, 0 for none. A minimum above its maximum is dropped
    // with it; a negative value is none.
    int32_t minWidth = 0;
    int32_t minHeight = 0;
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;
    WindowPosition position = WindowPosition::Default;
    bool maximized = false;    // open maximised (ignored for a window that is not resizable)
    bool alwaysOnTop = false;  // a topmost window
    bool remember = false;     // open as the last run was left
    std::string chromiumArgs;  // extra browser arguments for the WebView2 environment
    ContentMode contentMode = ContentMode::Bundle;
    DistributionMode distributionMode = DistributionMode::Evergreen;
    HostingMode hostingMode = HostingMode::Windowed;
    bool enableDevtools = true;
    // Every answer on the app's origin carries the headers that make the page cross-origin
    // isolated (SharedArrayBuffer, threaded WebAssembly).
    bool crossOriginIsolation = false;
    bool singleInstance = false;  // a second start brings the first window forward
    LogMode logMode = LogMode::On;  // settings.log: what the player log keeps
    std::string installWebView2Message;
    std::string downloadingMessage;
    std::string installWebView2FailedMessage;
    std::string pageCrashedMessage;
    std::string pageUnresponsiveMessage;
};

// "#RRGGBB" (hex digits of either case) as 0xRRGGBB; nullopt for anything else.
std::optional<uint32_t> ParseColor(std::string_view text);

// Parses `text` (the whole package.json) and fills every field of `config`, taking the default
// for every key that is missing or has the wrong JSON type.
//
// The text is read up to its first zero byte; a leading UTF-8 byte-order mark is accepted;
// comments and trailing content are syntax errors; a duplicated key keeps its last value.
//
// Throws:
// - nlohmann::json::exception (parse_error, or out_of_range for a number too large for a double)
//   when the text is not valid JSON;
// - std::runtime_error with exactly "invalid name", "invalid distribution mode",
//   "invalid hosting mode" or "invalid content mode", checked in that order.
// After a throw `config` may be partly filled and should be discarded.
void LoadAppConfig(const std::string& text, AppConfig& config);

}  // namespace vandrel
