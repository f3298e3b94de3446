#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>

#include "portable/config/app_config.h"
#include "win32/util/com_ptr.h"
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

    // Registers the window class (icon at both sizes) and creates the window, hidden, with a
    // client area of the configured size in 96-DPI pixels scaled to the screen, resizable or not.
    Failure Create(HINSTANCE instance, const AppConfig& config, HICON icon);

    HWND Handle() const { return window_; }

    // The browser control that follows the client area (put_Bounds on every WM_SIZE) and the
    // window's moves from now on. Borrowed: it outlives the window's messages.
    void AttachController(ICoreWebView2Controller* controller);

    // Borderless full screen on the window's monitor (taskbar area included), or back to the exact
    // style and rectangle the window had. Asking for the state it is in does nothing.
    void SetFullScreen(bool on);
    // The client area in 96-DPI pixels, scaled; ignored in full screen or when either is <= 0.
    void SetWindowSize(int32_t width, int32_t height);
    // The outer top-left corner in 96-DPI screen pixels, scaled; ignored in full screen.
    void SetWindowPosition(int32_t x, int32_t y);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MarkFullScreenOnTaskbar(bool on);

    HWND window_ = nullptr;
    ICoreWebView2Controller* controller_ = nullptr;
    bool fullScreen_ = false;
    LONG savedStyle_ = 0;
    LONG savedExStyle_ = 0;
    RECT savedRect_{};
    ComPtr<ITaskbarList2> taskbar_;
};

}  // namespace vandrel
