#include "win32/app/main_window.h"

#include "win32/app/startup.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

namespace {

// The controller, once the host and its browser control exist.
ICoreWebView2Controller* CurrentController() {
    return currentHost != nullptr ? currentHost->controller.Get() : nullptr;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_MOVE:
        case WM_MOVING:
            if (ICoreWebView2Controller* controller = CurrentController()) {
                controller->NotifyParentWindowPositionChanged();
            }
            return 0;
        case WM_SIZE:
            if (ICoreWebView2Controller* controller = CurrentController()) {
                RECT bounds{};
                GetClientRect(currentHost->window, &bounds);
                controller->put_Bounds(bounds);
            }
            return 0;
        case WM_SYSCOMMAND:
            // Alt or F10 alone (lParam 0) and Alt with a character would open the window menu
            // from the keyboard; the page gets those keys instead.
            if ((wParam & 0xFFF0) == SC_KEYMENU && static_cast<int32_t>(lParam) < 0x10000) {
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace vandrel
