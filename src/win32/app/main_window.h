#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "portable/bridge/page_message.h"
#include "portable/config/app_config.h"
#include "portable/window/window_geometry.h"
#include "win32/util/com_ptr.h"
#include "win32/util/handles.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// The host's one top-level window: its class, its procedure and its geometry as the page and the
// browser control ask for it. The browser control, once attached, follows the client area.
// Everything runs on the UI thread.
class MainWindow {
public:
    static constexpr wchar_t kClassName[] = L"WindowsWebview2Wrapper";

    enum class Failure { None, RegisterClass, CreateWindow };

    MainWindow() = default;
    // Destroys the window if it still exists (a start-up that failed after making it).
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Registers the window class (icon at both sizes, the configured background colour or the
    // system's window colour) and creates the window, hidden, with a client area of the
    // configured size in 96-DPI pixels scaled to the screen (within the configured limits),
    // resizable or not, topmost or not, where Windows puts it or centred; or, when `remembered`
    // is given, as the last run left it. A window that starts in full screen is switched now,
    // while it is hidden.
    Failure Create(HINSTANCE instance, const AppConfig& config, HICON icon,
                   const std::optional<SavedWindow>& remembered = std::nullopt);

    // How the window was left: its restored rectangle, maximised, full screen. Read while the
    // window goes (WM_DESTROY), for the next run.
    const std::optional<SavedWindow>& LastPlacement() const { return lastPlacement_; }

    HWND Handle() const { return window_; }

    // The browser control that follows the client area (put_Bounds on every WM_SIZE) and the
    // window's moves from now on, or null while there is none (a browser being made again).
    // Borrowed: it outlives the window's messages.
    void AttachController(ICoreWebView2Controller* controller);

    // A document of the page has loaded: the window and the control are shown (the control
    // stays hidden while the window is minimised, unless the app keeps it running), and the page
    // gets the keyboard focus.
    void ShowPage();

    // Runs `step` from the message loop, once the message in progress is done. Steps still
    // waiting when the window goes are dropped.
    void RunSoon(std::function<void()> step);

    // Called after every change of the full-screen state, whoever asked for it.
    void OnFullScreenChanged(std::function<void(bool on)> listener) {
        fullScreenListener_ = std::move(listener);
    }
    bool FullScreen() const { return fullScreen_; }
    // Borderless full screen on the window's monitor (taskbar area included), or back to the exact
    // style and rectangle the window had; the page keeps the keyboard focus. Asking for the state
    // it is in does nothing.
    void SetFullScreen(bool on);
    // The client area in 96-DPI pixels, scaled; ignored in full screen or when either is <= 0.
    void SetWindowSize(int32_t width, int32_t height);
    // The outer top-left corner in 96-DPI screen pixels, scaled; ignored in full screen.
    void SetWindowPosition(int32_t x, int32_t y);
    // Minimised, maximised (only a resizable window) or restored; ignored in full screen.
    void SetShowState(WindowShowState state);
    void SetAlwaysOnTop(bool onTop);
    // What the page is told of the window.
    WindowStateReport State() const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MarkFullScreenOnTaskbar(bool on);
    // The bounds of WM_GETMINMAXINFO, from the limits in client pixels.
    void ApplyLimits(MINMAXINFO& info) const;
    SavedWindow Placement() const;
    // The page gets the keyboard focus, unless it was given since the window last lost it.
    void FocusPage();
    // The control is visible unless the window is minimised and the app lets it rest then.
    void ShowControl();

    HWND window_ = nullptr;
    UniqueBrush background_;  // the configured colour, when there is one
    ICoreWebView2Controller* controller_ = nullptr;
    bool pauseWhenMinimized_ = true;
    SizeLimits limits_;
    bool startMaximized_ = false;
    std::optional<SavedWindow> lastPlacement_;
    bool minimized_ = false;
    // MoveFocus was called since the window last lost the activation or the focus: the runtime's
    // own focus changes do not call it again.
    bool pageFocused_ = false;
    std::function<void(bool)> fullScreenListener_;
    std::deque<std::function<void()>> steps_;
    bool fullScreen_ = false;
    LONG savedStyle_ = 0;
    LONG savedExStyle_ = 0;
    RECT savedRect_{};
    ComPtr<ITaskbarList2> taskbar_;
};

}  // namespace vandrel
