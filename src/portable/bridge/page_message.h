#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "portable/log/log_entry.h"

namespace vandrel {

// What a message from the page asks the host to do.
enum class PageCommandKind {
    None,  // malformed, not an object, or no listed "type": dropped
    WrapperInit,
    SetFullScreen,
    SetWindowSize,
    SetWindowPosition,
    SetWindowState,
    SetAlwaysOnTop,
    GetWindowState,
    Log,
    ExtensionMessage,
};

// "state" of set-window-state.
enum class WindowShowState { Normal, Minimized, Maximized };

struct PageCommand {
    PageCommandKind kind = PageCommandKind::None;
    bool fullscreen = false;  // "fullscreen": only the literals true and false count
    int32_t width = 0;        // "windowWidth"
    int32_t height = 0;       // "windowHeight"
    int32_t x = 0;            // "windowX"
    int32_t y = 0;            // "windowY"
    WindowShowState state = WindowShowState::Normal;  // "state": "normal", "minimized", "maximized"
    bool onTop = false;                                // "onTop": only true and false count
    LogLevel level = LogLevel::Info;  // "level" of log: "info", "warn" or "error"
    std::string message;              // "message" of log
};

// What get-window-state reports: the client size and the outer position in 96-DPI pixels, and
// the scale factor of the screen.
struct WindowStateReport {
    bool alwaysOnTop = false;
    bool fullscreen = false;
    bool maximized = false;
    bool minimized = false;
    double scale = 1.0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
};

// {"alwaysOnTop":..,"fullscreen":..,"height":..,"maximized":..,"minimized":..,"scale":..,
//  "type":"window-state","width":..,"x":..,"y":..}
std::string WindowStateMessage(const WindowStateReport& report);

// Reads one message text (UTF-8; it ends at its first NUL byte) as strict JSON and decides what
// it asks for. Never throws: anything malformed is PageCommandKind::None, and so is a
// set-window-state without a known "state", a set-always-on-top without a boolean "onTop", and a
// log without a known "level" or a string "message".
PageCommand ParsePageMessage(std::string_view text);

// The thirteen folder tokens, in the order of the handles the page receives.
inline constexpr const char* kFolderTokens[] = {
    "<app>",
    "<web-resource>",
    "<current-app-data>",
    "<local-app-data>",
    "<roaming-app-data>",
    "<desktop>",
    "<documents>",
    "<downloads>",
    "<pictures>",
    "<profile>",
    "<saved-games>",
    "<screenshots>",
    "<videos>",
};
inline constexpr size_t kFolderTokenCount = sizeof(kFolderTokens) / sizeof(kFolderTokens[0]);

// {"type":"directory-handles"}
std::string DirectoryHandlesMessage();

// {"fullscreen":true|false,"type":"fullscreen-changed"}
std::string FullScreenChangedMessage(bool on);

// {"registeredComponentIds":[...],"type":"wrapper-init-response"}. An id that is not valid UTF-8
// is sent with each malformed sequence replaced by U+FFFD, so that the reply always goes out.
std::string WrapperInitReply(const std::vector<std::string>& componentIds);

}  // namespace vandrel
