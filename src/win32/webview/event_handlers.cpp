#include "win32/webview/event_handlers.h"

#include <windows.h>
#include <shellapi.h>

#include "win32/bridge/web_message.h"
#include "win32/server/resource_server.h"
#include "win32/util/com_ptr.h"
#include "win32/util/text.h"
#include "win32/webview2/handler.h"
#include "portable/webview/link_policy.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

namespace {

constexpr UINT kF12 = 123;

// Registers a lambda as the handler of one event; the runtime keeps its own reference.
template <typename Handler, typename Target, typename Add, typename F>
void Register(Target* target, Add add, F&& callable) {
    auto handler = ComPtr<Handler>::Adopt(MakeHandler<Handler>(std::forward<F>(callable)));
    EventRegistrationToken token{};
    if (target != nullptr && handler) {
        (target->*add)(handler.Get(), &token);
    }
}

std::string Utf8Text(const CoTaskString& text) {
    return text ? WideToUtf8(text.Get()) : std::string();
}

// Shows the main window and the browser control and gives the page the keyboard focus.
void ShowHostWindow(VandrelWebView& host) {
    ShowWindow(host.window, SW_SHOW);
    UpdateWindow(host.window);
    host.controller->put_IsVisible(TRUE);
    host.controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
}

}  // namespace

void RegisterAcceleratorKeyHandler(VandrelWebView& host) {
    Register<ICoreWebView2AcceleratorKeyPressedEventHandler>(
        host.controller.Get(), &ICoreWebView2Controller::add_AcceleratorKeyPressed,
        [&host](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
            UINT key = 0;
            args->get_VirtualKey(&key);
            if (!host.config->enableDevtools || key != kF12) {
                return S_OK;
            }
            // Once per press: on the first key-down, not on its release or its auto-repeats.
            COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP;
            COREWEBVIEW2_PHYSICAL_KEY_STATUS status{};
            args->get_KeyEventKind(&kind);
            args->get_PhysicalKeyStatus(&status);
            const bool down = kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN ||
                              kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN;
            if (down && !status.WasKeyDown) {
                host.webview->OpenDevToolsWindow();
            }
            return S_OK;
        });
}

void RegisterEventHandlers(VandrelWebView& host) {
    ICoreWebView2* webview = host.webview.Get();

    Register<ICoreWebView2DocumentTitleChangedEventHandler>(
        webview, &ICoreWebView2::add_DocumentTitleChanged,
        [&host](ICoreWebView2* sender, IUnknown*) {
            CoTaskString title;
            sender->get_DocumentTitle(title.Put());
            SetWindowTextW(host.window, title ? title.Get() : L"");
            return S_OK;
        });

    if (host.config->contentMode == ContentMode::Bundle) {
        const std::wstring filter = Utf8ToWide(host.origin + "*");
        webview->AddWebResourceRequestedFilter(filter.c_str(),
                                               COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
        Register<ICoreWebView2WebResourceRequestedEventHandler>(
            webview, &ICoreWebView2::add_WebResourceRequested,
            [&host](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                return OnWebResourceRequested(host, args);
            });
        Register<ICoreWebView2NavigationStartingEventHandler>(
            webview, &ICoreWebView2::add_NavigationStarting,
            [&host](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                CoTaskString uri;
                args->get_Uri(uri.Put());
                if (!IsInsideOrigin(Utf8Text(uri), host.origin)) {
                    args->put_Cancel(TRUE);
                }
                return S_OK;
            });
    }

    // The app's own pages get what they ask for; anything else (an embedded third-party frame)
    // is left to the runtime, which asks the user as a browser would.
    Register<ICoreWebView2PermissionRequestedEventHandler>(
        webview, &ICoreWebView2::add_PermissionRequested,
        [&host](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
            CoTaskString uri;
            args->get_Uri(uri.Put());
            if (IsInsideOrigin(Utf8Text(uri), host.origin)) {
                args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
            }
            return S_OK;
        });

    Register<ICoreWebView2ContainsFullScreenElementChangedEventHandler>(
        webview, &ICoreWebView2::add_ContainsFullScreenElementChanged,
        [&host](ICoreWebView2* sender, IUnknown*) {
            BOOL contains = FALSE;
            sender->get_ContainsFullScreenElement(&contains);
            host.SetFullScreen(contains != FALSE);
            return S_OK;
        });

    Register<ICoreWebView2WindowCloseRequestedEventHandler>(
        webview, &ICoreWebView2::add_WindowCloseRequested, [&host](ICoreWebView2*, IUnknown*) {
            SendMessageW(host.window, WM_CLOSE, 0, 0);
            return S_OK;
        });

    Register<ICoreWebView2NewWindowRequestedEventHandler>(
        webview, &ICoreWebView2::add_NewWindowRequested,
        [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
            CoTaskString uri;
            args->get_Uri(uri.Put());
            if (uri && MayOpenInShell(Utf8Text(uri))) {
                ShellExecuteW(nullptr, L"open", uri.Get(), nullptr, nullptr, SW_SHOWDEFAULT);
            }
            args->put_Handled(TRUE);  // the control never opens a window of its own
            return S_OK;
        });

    Register<ICoreWebView2WebMessageReceivedEventHandler>(
        webview, &ICoreWebView2::add_WebMessageReceived,
        [&host](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
            return OnWebMessageReceived(host, args);
        });

    Register<ICoreWebView2DOMContentLoadedEventHandler>(
        host.webview2.Get(), &ICoreWebView2_2::add_DOMContentLoaded,
        [&host](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
            ShowHostWindow(host);
            return S_OK;
        });

    // A first navigation that fails (offline, an unreachable address, a missing start page) may
    // never load a document: the window then shows the runtime's error page instead of staying
    // hidden for good.
    Register<ICoreWebView2NavigationCompletedEventHandler>(
        webview, &ICoreWebView2::add_NavigationCompleted,
        [&host, shown = false](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*) mutable {
            if (!shown) {
                shown = true;
                ShowHostWindow(host);
            }
            return S_OK;
        });
}

}  // namespace vandrel
