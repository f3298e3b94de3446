#include "win32/app/main_window.h"

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

}  // namespace

MainWindow::~MainWindow() {
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
}

MainWindow::Failure MainWindow::Create(HINSTANCE instance, const AppConfig& config, HICON icon) {
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
    RECT frame{0, 0, ScaleForDpi(config.width), ScaleForDpi(config.height)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const std::wstring title = Utf8ToWide(config.title);
    window_ = CreateWindowExW(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              instance, this);
    return window_ != nullptr ? Failure::None : Failure::CreateWindow;
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
    ShowWindow(window_, SW_SHOW);  // activates the window, which focuses the page
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
            PostQuitMessage(0);
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
        SetWindowLongW(window_, GWL_STYLE, savedStyle_ & kFullScreenStyleMask);
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
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE));
    RECT frame{0, 0, ScaleForDpi(width), ScaleForDpi(height)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SetWindowPosition(int32_t x, int32_t y) {
    if (fullScreen_) {
        return;
    }
    SetWindowPos(window_, nullptr, ScaleForDpi(x), ScaleForDpi(y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vandrel
