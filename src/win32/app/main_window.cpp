#include "win32/app/main_window.h"

#include <algorithm>
#include <cmath>

#include "win32/util/dpi_win.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"
#include "win32/util/window_class.h"

namespace vandrel {

namespace {

// The window property through which the procedure finds its MainWindow.
constexpr wchar_t kOwnerProperty[] = L"Vandrel.MainWindow";

constexpr DWORD kResizableStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kFixedSizeStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Caption and sizing frame go; every other style bit stays.
constexpr LONG kFullScreenStyleMask = ~static_cast<LONG>(WS_CAPTION | WS_THICKFRAME);
constexpr LONG kFullScreenExStyleMask = ~static_cast<LONG>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                           WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
constexpr UINT kSwitchFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

// Posted once for each step of RunSoon.
constexpr UINT kRunStep = WM_APP + 1;

Rect WorkArea(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    const RECT& r = info.rcWork;
    return {r.left, r.top, r.right, r.bottom};
}

// The outer size of a client area of `width` by `height` with the window's frame.
SIZE FrameFor(HWND window, int32_t width, int32_t height) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// Device pixels back to 96-DPI pixels, rounded to the nearest.
int32_t Unscaled(int32_t value, float factor) {
    return factor > 0 ? static_cast<int32_t>(std::lround(value / factor)) : value;
}

}  // namespace

MainWindow::~MainWindow() {
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
}

MainWindow::Failure MainWindow::Create(HINSTANCE instance, const AppConfig& config, HICON icon,
                                       const std::optional<SavedWindow>& remembered) {
    pauseWhenMinimized_ = config.pauseWhenMinimized;
    bool registered = false;
    if (config.backgroundColor) {
        const uint32_t rgb = *config.backgroundColor;
        background_.Reset(CreateSolidBrush(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF)));
    }
    if (background_) {
        registered =
            RegisterHostWindowClass(instance, kClassName, Procedure, icon, background_.Get());
    } else {
        registered = RegisterHostWindowClass(instance, kClassName, Procedure, icon, COLOR_WINDOW);
    }
    if (!registered) {
        return Failure::RegisterClass;
    }
    const DWORD style = config.resizable ? kResizableStyle : kFixedSizeStyle;
    const DWORD exStyle = config.alwaysOnTop ? WS_EX_TOPMOST : 0;
    limits_ = ScaleLimits(config.minWidth, config.minHeight, config.maxWidth, config.maxHeight,
                          DpiScale());
    RECT frame{0, 0, limits_.ClampWidth(ScaleForDpi(config.width)),
               limits_.ClampHeight(ScaleForDpi(config.height))};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    bool startFullScreen = config.fullscreen;
    startMaximized_ = config.maximized && config.resizable;
    if (remembered) {
        // Back where the player left it, unless that is no longer on any monitor.
        const RECT saved{remembered->normal.left, remembered->normal.top, remembered->normal.right,
                         remembered->normal.bottom};
        const Rect placed = FitInside(remembered->normal,
                                      WorkArea(MonitorFromRect(&saved, MONITOR_DEFAULTTONEAREST)));
        x = placed.left;
        y = placed.top;
        width = placed.Width();
        height = placed.Height();
        startFullScreen = remembered->fullscreen;
        startMaximized_ = remembered->maximized && config.resizable;
    } else if (config.position == WindowPosition::Center) {
        POINT cursor{};
        GetCursorPos(&cursor);
        const Rect centred =
            CenteredIn(width, height, WorkArea(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST)));
        x = centred.left;
        y = centred.top;
    }
    const std::wstring title = Utf8ToWide(config.title);
    window_ = CreateWindowExW(exStyle, kClassName, title.c_str(), style, x, y, width, height,
                              nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return Failure::CreateWindow;
    }
    if (startFullScreen) {
        SetFullScreen(true);  // leaving it gives the window the rectangle it was made with
    }
    return Failure::None;
}

void MainWindow::AttachController(ICoreWebView2Controller* controller) {
    controller_ = controller;
    pageFocused_ = false;
}

void MainWindow::RunSoon(std::function<void()> step) {
    steps_.push_back(std::move(step));
    PostMessageW(window_, kRunStep, 0, 0);
}

void MainWindow::ShowPage() {
    const bool wasVisible = IsWindowVisible(window_) != FALSE;
    // Activates the window, which focuses the page.
    ShowWindow(window_, !wasVisible && startMaximized_ && !fullScreen_ ? SW_SHOWMAXIMIZED : SW_SHOW);
    UpdateWindow(window_);
    ShowControl();
    if (wasVisible) {
        pageFocused_ = false;  // a new document
    }
    FocusPage();
}

void MainWindow::ShowControl() {
    if (controller_ != nullptr) {
        const bool rest = pauseWhenMinimized_ && IsIconic(window_);
        Traced(controller_->put_IsVisible(rest ? FALSE : TRUE),
               "ICoreWebView2Controller::put_IsVisible");
    }
}

void MainWindow::FocusPage() {
    if (controller_ != nullptr && !pageFocused_) {
        pageFocused_ = true;
        Traced(controller_->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC),
               "ICoreWebView2Controller::MoveFocus");
    }
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The first message that knows its owner; CreateWindowExW has not returned yet.
        auto* created = static_cast<MainWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetPropW(window, kOwnerProperty, created);
    }
    auto* owner = static_cast<MainWindow*>(GetPropW(window, kOwnerProperty));
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kOwnerProperty);
    }
    if (owner == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return owner->OnMessage(message, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            lastPlacement_ = Placement();
            PostQuitMessage(0);
            return 0;
        case WM_GETMINMAXINFO:
            DefWindowProcW(window_, message, wParam, lParam);
            ApplyLimits(*reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case kRunStep:
            if (!steps_.empty()) {
                const std::function<void()> step = std::move(steps_.front());
                steps_.pop_front();
                step();
            }
            return 0;
        case WM_MOVE:
        case WM_MOVING:
            if (controller_ != nullptr) {
                Traced(controller_->NotifyParentWindowPositionChanged(),
                       "ICoreWebView2Controller::NotifyParentWindowPositionChanged");
            }
            return 0;
        case WM_SIZE:
            if (controller_ != nullptr) {
                RECT bounds{};
                GetClientRect(window_, &bounds);
                Traced(controller_->put_Bounds(bounds), "ICoreWebView2Controller::put_Bounds");
            }
            if (wParam == SIZE_MINIMIZED && !minimized_) {
                // Behind the taskbar the page rests: hidden, it stops drawing frames.
                minimized_ = true;
                pageFocused_ = false;
                if (pauseWhenMinimized_) {
                    ShowControl();
                }
            } else if (wParam != SIZE_MINIMIZED && minimized_) {
                minimized_ = false;
                if (pauseWhenMinimized_) {
                    ShowControl();
                }
                if (GetActiveWindow() == window_) {
                    FocusPage();
                }
            }
            return 0;
        case WM_ACTIVATE:
            // The page, not the window, takes the keys when the player comes back (Alt+Tab, the
            // taskbar); the default would focus the window itself.
            if (LOWORD(wParam) == WA_INACTIVE) {
                pageFocused_ = false;
            } else if (controller_ != nullptr && HIWORD(wParam) == 0) {
                FocusPage();
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_SETFOCUS:
            // The window itself got the focus (a dialog closed, a click on the frame).
            if (controller_ != nullptr) {
                pageFocused_ = false;
                FocusPage();
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_SYSCOMMAND:
            // Alt or F10 alone (lParam 0) and Alt with a character would open the window menu
            // from the keyboard; the page gets those keys instead.
            if ((wParam & 0xFFF0) == SC_KEYMENU && static_cast<int32_t>(lParam) < 0x10000) {
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void MainWindow::SetFullScreen(bool on) {
    if (on == fullScreen_) {
        return;
    }
    fullScreen_ = on;
    if (on) {
        savedStyle_ = GetWindowLongW(window_, GWL_STYLE);
        savedExStyle_ = GetWindowLongW(window_, GWL_EXSTYLE);
        GetWindowRect(window_, &savedRect_);
        // A maximised window keeps its state for afterwards, but not in full screen, where the
        // system would hold it to the work area.
        SetWindowLongW(window_, GWL_STYLE, savedStyle_ & kFullScreenStyleMask & ~WS_MAXIMIZE);
        SetWindowLongW(window_, GWL_EXSTYLE, savedExStyle_ & kFullScreenExStyleMask);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcMonitor;  // the whole monitor, taskbar included
        SetWindowPos(window_, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, kSwitchFlags);
    } else {
        SetWindowLongW(window_, GWL_STYLE, savedStyle_);
        SetWindowLongW(window_, GWL_EXSTYLE, savedExStyle_);
        const RECT& r = savedRect_;
        SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     kSwitchFlags);
    }
    MarkFullScreenOnTaskbar(on);
    pageFocused_ = false;
    FocusPage();
    if (fullScreenListener_) {
        fullScreenListener_(on);
    }
}

// The taskbar object is made on the first switch and kept; when it cannot be made, it is tried
// again at the next switch.
void MainWindow::MarkFullScreenOnTaskbar(bool on) {
    if (!taskbar_) {
        ComPtr<ITaskbarList2> created;
        if (SUCCEEDED(
                Traced(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_ITaskbarList2, reinterpret_cast<void**>(created.Put())),
                       "CoCreateInstance(TaskbarList)")) &&
            created && SUCCEEDED(Traced(created->HrInit(), "ITaskbarList::HrInit"))) {
            taskbar_ = created;
        }
    }
    if (taskbar_) {
        Traced(taskbar_->MarkFullscreenWindow(window_, on ? TRUE : FALSE),
               "ITaskbarList2::MarkFullscreenWindow");
    }
}

void MainWindow::SetWindowSize(int32_t width, int32_t height) {
    if (fullScreen_ || width <= 0 || height <= 0) {
        return;
    }
    const SIZE frame = FrameFor(window_, limits_.ClampWidth(ScaleForDpi(width)),
                                limits_.ClampHeight(ScaleForDpi(height)));
    SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::ApplyLimits(MINMAXINFO& info) const {
    // A minimum larger than the monitor stops at its work area: the window stays usable.
    const Rect work = WorkArea(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST));
    if (limits_.minWidth > 0) {
        info.ptMinTrackSize.x = std::min<LONG>(FrameFor(window_, limits_.minWidth, 0).cx,
                                               work.Width());
    }
    if (limits_.minHeight > 0) {
        info.ptMinTrackSize.y = std::min<LONG>(FrameFor(window_, 0, limits_.minHeight).cy,
                                               work.Height());
    }
    if (fullScreen_) {
        return;  // the monitor's size, whatever the maximum
    }
    if (limits_.maxWidth > 0) {
        info.ptMaxTrackSize.x = info.ptMaxSize.x = FrameFor(window_, limits_.maxWidth, 0).cx;
    }
    if (limits_.maxHeight > 0) {
        info.ptMaxTrackSize.y = info.ptMaxSize.y = FrameFor(window_, 0, limits_.maxHeight).cy;
    }
}

void MainWindow::SetShowState(WindowShowState state) {
    if (fullScreen_) {
        return;
    }
    switch (state) {
        case WindowShowState::Minimized:
            ShowWindow(window_, SW_MINIMIZE);
            break;
        case WindowShowState::Maximized:
            if ((GetWindowLongW(window_, GWL_STYLE) & WS_MAXIMIZEBOX) != 0) {
                ShowWindow(window_, SW_MAXIMIZE);
            }
            break;
        case WindowShowState::Normal:
            // From minimised, Windows goes back to maximised when the window was: normal is
            // neither.
            ShowWindow(window_, SW_RESTORE);
            if (IsZoomed(window_)) {
                ShowWindow(window_, SW_RESTORE);
            }
            break;
    }
}

void MainWindow::SetAlwaysOnTop(bool onTop) {
    SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

WindowStateReport MainWindow::State() const {
    const float scale = DpiScale();
    RECT client{};
    GetClientRect(window_, &client);
    RECT outer{};
    GetWindowRect(window_, &outer);
    WindowStateReport report;
    report.alwaysOnTop = (GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    report.fullscreen = fullScreen_;
    report.maximized = IsZoomed(window_) != FALSE;
    report.minimized = IsIconic(window_) != FALSE;
    report.scale = scale > 0 ? scale : 1.0;
    report.width = Unscaled(client.right, scale);
    report.height = Unscaled(client.bottom, scale);
    report.x = Unscaled(outer.left, scale);
    report.y = Unscaled(outer.top, scale);
    return report;
}

// The restored rectangle in screen pixels: the one before full screen, or the placement's
// (which Windows gives relative to the primary monitor's work area).
SavedWindow MainWindow::Placement() const {
    SavedWindow saved;
    saved.fullscreen = fullScreen_;
    if (fullScreen_) {
        saved.normal = {savedRect_.left, savedRect_.top, savedRect_.right, savedRect_.bottom};
        saved.maximized = (savedStyle_ & WS_MAXIMIZE) != 0;
        return saved;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    GetWindowPlacement(window_, &placement);
    const RECT& r = placement.rcNormalPosition;
    MONITORINFO primary{};
    primary.cbSize = sizeof(primary);
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    const LONG dx = primary.rcWork.left - primary.rcMonitor.left;
    const LONG dy = primary.rcWork.top - primary.rcMonitor.top;
    saved.normal = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    saved.maximized = IsZoomed(window_) != FALSE ||
                      (IsIconic(window_) && (placement.flags & WPF_RESTORETOMAXIMIZED) != 0);
    return saved;
}

void MainWindow::SetWindowPosition(int32_t x, int32_t y) {
    if (fullScreen_) {
        return;
    }
    SetWindowPos(window_, nullptr, ScaleForDpi(x), ScaleForDpi(y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vandrel
