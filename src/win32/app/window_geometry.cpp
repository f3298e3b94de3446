// Full screen, client size and position of the main window, as the page and the control ask.
#include <windows.h>
#include <shobjidl.h>

#include "win32/util/dpi_win.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

namespace {

// Caption and sizing frame go; every other style bit stays.
constexpr LONG kFullScreenStyleMask = ~static_cast<LONG>(WS_CAPTION | WS_THICKFRAME);
constexpr LONG kFullScreenExStyleMask = ~static_cast<LONG>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                           WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
constexpr UINT kSwitchFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

}  // namespace

void VandrelWebView::SetFullScreen(bool on) {
    if (on == isFullScreen) {
        return;
    }
    isFullScreen = on;
    if (on) {
        savedStyle = GetWindowLongW(window, GWL_STYLE);
        savedExStyle = GetWindowLongW(window, GWL_EXSTYLE);
        GetWindowRect(window, &savedWindowRect);
        SetWindowLongW(window, GWL_STYLE, savedStyle & kFullScreenStyleMask);
        SetWindowLongW(window, GWL_EXSTYLE, savedExStyle & kFullScreenExStyleMask);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcMonitor;  // the whole monitor, taskbar included
        SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, kSwitchFlags);
    } else {
        SetWindowLongW(window, GWL_STYLE, savedStyle);
        SetWindowLongW(window, GWL_EXSTYLE, savedExStyle);
        const RECT& r = savedWindowRect;
        SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     kSwitchFlags);
    }
    if (!taskbarList) {
        ComPtr<ITaskbarList2> created;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList2,
                                       reinterpret_cast<void**>(created.Put()))) &&
            created && SUCCEEDED(created->HrInit())) {
            taskbarList = created;
        }
    }
    if (taskbarList) {
        taskbarList->MarkFullscreenWindow(window, on ? TRUE : FALSE);
    }
}

void VandrelWebView::SetWindowSize(int32_t width, int32_t height) {
    if (isFullScreen || width <= 0 || height <= 0) {
        return;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    RECT frame{0, 0, ScaleForDpi(width), ScaleForDpi(height)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void VandrelWebView::SetWindowPosition(int32_t x, int32_t y) {
    if (isFullScreen) {
        return;
    }
    SetWindowPos(window, nullptr, ScaleForDpi(x), ScaleForDpi(y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vandrel
