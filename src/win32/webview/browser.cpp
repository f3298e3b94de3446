#include "win32/webview/browser.h"

#include <shellapi.h>

#include <cstdio>
#include <utility>

#include "portable/log/log_entry.h"
#include "portable/webview/link_policy.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"
#include "win32/webview/environment_options.h"
#include "win32/webview2/handler.h"

namespace vandrel {

namespace {

constexpr wchar_t kStartFailedText[] =
    L"The app's browser view could not be started (Microsoft Edge WebView2 error 0x%08lX). "
    L"Restart the app to try again; if this keeps happening, reinstall the Microsoft Edge "
    L"WebView2 runtime.";

constexpr UINT kF11 = VK_F11;
constexpr UINT kF12 = VK_F12;

std::string Utf8Text(const CoTaskString& text) {
    return text ? WideToUtf8(text.Get()) : std::string();
}

}  // namespace

// An event's add_ method on `Interface` and that method's name, for On.
#define VANDREL_EVENT(Interface, name) &Interface::add_##name, #Interface "::add_" #name

// The handler type an add_ method takes.
template <typename Add>
struct AddedHandler;
template <typename Target, typename Handler>
struct AddedHandler<HRESULT (STDMETHODCALLTYPE Target::*)(Handler*, EventRegistrationToken*)> {
    using Type = Handler;
};

template <typename Target, typename Add, typename F>
void Browser::On(Target* target, Add add, const char* call, F callable) {
    using Handler = typename AddedHandler<Add>::Type;
    auto guarded = [this, callable = std::move(callable)](auto... args) mutable -> HRESULT {
        return detached_ ? S_OK : callable(args...);
    };
    auto handler = ComPtr<Handler>::Adopt(MakeHandler<Handler>(std::move(guarded)));
    EventRegistrationToken token{};
    if (target != nullptr && handler) {
        Traced((target->*add)(handler.Get(), &token), call);
    }
}

template <typename Args>
bool Browser::IsFromApp(Args* args, const char* call) const {
    CoTaskString uri;
    Traced(args->get_Uri(uri.Put()), call);
    return IsInsideOrigin(Utf8Text(uri), origin_);
}

Browser::Browser(const AppConfig& config, std::string origin, const wchar_t* browserFolder,
                 std::string userDataFolder, Hooks hooks)
    : config_(config),
      origin_(std::move(origin)),
      browserFolder_(browserFolder),
      userDataFolder_(std::move(userDataFolder)),
      hooks_(std::move(hooks)) {}

void Browser::Start() {
    const std::wstring arguments = Utf8ToWide(config_.chromiumArgs);
    const std::wstring dataFolder = Utf8ToWide(userDataFolder_);
    if (config_.hostingMode == HostingMode::WindowToVisual) {
        SetEnvironmentVariableW(L"COREWEBVIEW2_FORCED_HOSTING_MODE",
                                L"COREWEBVIEW2_HOSTING_MODE_WINDOW_TO_VISUAL");
    }
    auto options = ComPtr<EnvironmentOptions>::Adopt(EnvironmentOptions::Create());
    if (options) {
        options->put_AdditionalBrowserArguments(arguments.c_str());
    }
    auto handler = ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Adopt(
        MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            [this](HRESULT result, ICoreWebView2Environment* created) {
                return OnEnvironmentCreated(result, created);
            }));
    const HRESULT started = CreateCoreWebView2EnvironmentWithOptions(
        browserFolder_, dataFolder.c_str(), options.Get(), handler.Get());
    if (FAILED(started)) {
        ReportStartFailure(started);  // the completion will never come
    }
}

HRESULT Browser::OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* created) {
    if (FAILED(result) || created == nullptr) {
        ReportStartFailure(FAILED(result) ? result : E_POINTER);
        return S_OK;
    }
    environment_ = ComPtr<ICoreWebView2Environment>::Share(created);
    if (window_ != nullptr) {
        CreateController();
    }
    return S_OK;
}

void Browser::AttachWindow(HWND window) {
    window_ = window;
    if (failed_) {
        DestroyWindow(window_);  // reported already: the run ends
    } else if (environment_) {
        CreateController();
    }
}

void Browser::CreateController() {
    auto handler = ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Adopt(
        MakeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
            [this](HRESULT done, ICoreWebView2Controller* controller) {
                return OnControllerCreated(done, controller);
            }));
    const HRESULT started = environment_->CreateCoreWebView2Controller(window_, handler.Get());
    if (FAILED(started)) {
        ReportStartFailure(started);
    }
}

HRESULT Browser::OnControllerCreated(HRESULT result, ICoreWebView2Controller* created) {
    if (FAILED(result) || created == nullptr) {
        ReportStartFailure(FAILED(result) ? result : E_POINTER);
        return S_OK;
    }
    controller_ = ComPtr<ICoreWebView2Controller>::Share(created);
    const HRESULT got = controller_->get_CoreWebView2(webview_.Put());
    if (FAILED(got) || !webview_) {
        ReportStartFailure(FAILED(got) ? got : E_POINTER);
        return S_OK;
    }
    webview2_ = webview_.Query<ICoreWebView2_2>(IID_ICoreWebView2_2);
    if (!webview2_) {
        // Without it the page's first load could never show the window.
        ReportStartFailure(E_NOINTERFACE);
        return S_OK;
    }

    ApplySettings();
    if (config_.backgroundColor) {
        // Painted under the page until its first frame, so that a dark game does not flash white.
        if (const auto controller2 =
                controller_.Query<ICoreWebView2Controller2>(IID_ICoreWebView2Controller2)) {
            const uint32_t rgb = *config_.backgroundColor;
            const COREWEBVIEW2_COLOR color{255, static_cast<BYTE>(rgb >> 16),
                                           static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb)};
            Traced(controller2->put_DefaultBackgroundColor(color),
                   "ICoreWebView2Controller2::put_DefaultBackgroundColor");
        }
    }
    RECT bounds{};
    GetClientRect(window_, &bounds);
    Traced(controller_->put_Bounds(bounds), "ICoreWebView2Controller::put_Bounds");
    if (hooks_.ready) {
        hooks_.ready(environment_.Get(), controller_.Get(), webview_.Get());
    }
    RegisterEventHandlers();
    WatchPageErrors();
    Traced(webview_->Navigate(Utf8ToWide(StartUrl(config_)).c_str()), "ICoreWebView2::Navigate");
    return S_OK;
}

void Browser::Log(LogLevel level, LogSource source, const std::string& text) const {
    if (hooks_.log) {
        hooks_.log(level, source, text);
    }
}

void Browser::WatchPageErrors() {
    if (config_.logMode == LogMode::Off || !hooks_.log) {
        return;
    }
    for (const wchar_t* name : {L"Runtime.exceptionThrown", L"Runtime.consoleAPICalled"}) {
        ComPtr<ICoreWebView2DevToolsProtocolEventReceiver> receiver;
        Traced(webview_->GetDevToolsProtocolEventReceiver(name, receiver.Put()),
               "ICoreWebView2::GetDevToolsProtocolEventReceiver");
        On(receiver.Get(),
           VANDREL_EVENT(ICoreWebView2DevToolsProtocolEventReceiver, DevToolsProtocolEventReceived),
           [this, event = WideToUtf8(name)](ICoreWebView2*,
                                            ICoreWebView2DevToolsProtocolEventReceivedEventArgs* args) {
               CoTaskString parameters;
               Traced(args->get_ParameterObjectAsJson(parameters.Put()),
                      "ICoreWebView2DevToolsProtocolEventReceivedEventArgs::get_ParameterObjectAsJson");
               if (const auto entry = PageEntryFromDevTools(event, Utf8Text(parameters))) {
                   Log(entry->level, LogSource::Page, entry->text);
               }
               return S_OK;
           });
    }
    // The events come once the protocol's Runtime domain is on.
    auto done = ComPtr<ICoreWebView2CallDevToolsProtocolMethodCompletedHandler>::Adopt(
        MakeHandler<ICoreWebView2CallDevToolsProtocolMethodCompletedHandler>(
            [](HRESULT, LPCWSTR) { return S_OK; }));
    Traced(webview_->CallDevToolsProtocolMethod(L"Runtime.enable", L"{}", done.Get()),
           "ICoreWebView2::CallDevToolsProtocolMethod");
}

void Browser::ApplySettings() {
    ComPtr<ICoreWebView2Settings> settings;
    Traced(webview_->get_Settings(settings.Put()), "ICoreWebView2::get_Settings");
    if (!settings) {
        return;
    }
// A switch of ICoreWebView2Settings: its put_ method and that method's name.
#define VANDREL_SETTING(name) \
    &ICoreWebView2Settings::put_##name, "ICoreWebView2Settings::put_" #name
    const struct {
        HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*put)(BOOL);
        const char* name;
        BOOL value;
    } switches[] = {
        {VANDREL_SETTING(IsScriptEnabled), TRUE},
        {VANDREL_SETTING(AreHostObjectsAllowed), FALSE},
        {VANDREL_SETTING(AreDefaultScriptDialogsEnabled), TRUE},
        {VANDREL_SETTING(IsWebMessageEnabled), TRUE},
        {VANDREL_SETTING(IsZoomControlEnabled), FALSE},
        {VANDREL_SETTING(AreDefaultContextMenusEnabled), TRUE},
        {VANDREL_SETTING(AreDevToolsEnabled), config_.enableDevtools ? TRUE : FALSE},
    };
#undef VANDREL_SETTING
    for (const auto& setting : switches) {
        Traced((settings.Get()->*setting.put)(setting.value), setting.name);
    }
    // The host's own F12 replaces the browser's accelerator keys, when they can be turned off;
    // F11 and Alt+Enter switch the host's full screen.
    const auto settings3 = settings.Query<ICoreWebView2Settings3>(IID_ICoreWebView2Settings3);
    if (settings3) {
        Traced(settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE),
               "ICoreWebView2Settings3::put_AreBrowserAcceleratorKeysEnabled");
    }
    if (!settings3 && !config_.fullscreenKeys) {
        return;
    }
    const bool devToolsKey = settings3 && config_.enableDevtools;
    On(controller_.Get(), VANDREL_EVENT(ICoreWebView2Controller, AcceleratorKeyPressed),
       [this, devToolsKey](ICoreWebView2Controller*,
                           ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
           OnAcceleratorKey(args, devToolsKey);
           return S_OK;
       });
}

void Browser::OnAcceleratorKey(ICoreWebView2AcceleratorKeyPressedEventArgs* args,
                               bool devToolsKey) {
    UINT key = 0;
    COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP;
    COREWEBVIEW2_PHYSICAL_KEY_STATUS status{};
    Traced(args->get_VirtualKey(&key),
           "ICoreWebView2AcceleratorKeyPressedEventArgs::get_VirtualKey");
    Traced(args->get_KeyEventKind(&kind),
           "ICoreWebView2AcceleratorKeyPressedEventArgs::get_KeyEventKind");
    Traced(args->get_PhysicalKeyStatus(&status),
           "ICoreWebView2AcceleratorKeyPressedEventArgs::get_PhysicalKeyStatus");
    const bool down = kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN ||
                      kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN;
    // Once per press: on the first key-down, not on its release or its auto-repeats.
    const bool pressed = down && !status.WasKeyDown;
    if (key == kF12 && devToolsKey) {
        if (pressed) {
            Traced(webview_->OpenDevToolsWindow(), "ICoreWebView2::OpenDevToolsWindow");
        }
        return;
    }
    // F11 alone (with Alt it is a system key), and Enter with Alt held.
    const bool fullScreenKey =
        (key == kF11 && (kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN ||
                         kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP)) ||
        (key == VK_RETURN && (kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN ||
                              kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP));
    if (!config_.fullscreenKeys || !fullScreenKey) {
        return;  // Alt+F4 and the rest go on to the browser and the window
    }
    // The whole press is the host's: its repeats and its release too.
    Traced(args->put_Handled(TRUE), "ICoreWebView2AcceleratorKeyPressedEventArgs::put_Handled");
    if (pressed && hooks_.toggleFullScreen) {
        hooks_.toggleFullScreen();
    }
}

void Browser::RegisterEventHandlers() {
    ICoreWebView2* webview = webview_.Get();

    On(webview, VANDREL_EVENT(ICoreWebView2, DocumentTitleChanged),
       [this](ICoreWebView2* sender, IUnknown*) {
           CoTaskString title;
           Traced(sender->get_DocumentTitle(title.Put()), "ICoreWebView2::get_DocumentTitle");
           SetWindowTextW(window_, title ? title.Get() : L"");
           return S_OK;
       });

    if (config_.contentMode == ContentMode::Bundle) {
        const std::wstring filter = Utf8ToWide(origin_ + "*");
        Traced(webview->AddWebResourceRequestedFilter(filter.c_str(),
                                                      COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL),
               "ICoreWebView2::AddWebResourceRequestedFilter");
        On(webview, VANDREL_EVENT(ICoreWebView2, WebResourceRequested),
           [this](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
               return hooks_.resourceRequested ? hooks_.resourceRequested(environment_.Get(), args)
                                               : S_OK;
           });
        On(webview, VANDREL_EVENT(ICoreWebView2, NavigationStarting),
           [this](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
               if (!IsFromApp(args, "ICoreWebView2NavigationStartingEventArgs::get_Uri")) {
                   Traced(args->put_Cancel(TRUE),
                          "ICoreWebView2NavigationStartingEventArgs::put_Cancel");
               }
               return S_OK;
           });
    }

    // The app's own pages get what they ask for; anything else (an embedded third-party frame)
    // is left to the runtime, which asks the user as a browser would.
    On(webview, VANDREL_EVENT(ICoreWebView2, PermissionRequested),
       [this](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
           if (IsFromApp(args, "ICoreWebView2PermissionRequestedEventArgs::get_Uri")) {
               Traced(args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW),
                      "ICoreWebView2PermissionRequestedEventArgs::put_State");
           }
           return S_OK;
       });

    On(webview, VANDREL_EVENT(ICoreWebView2, ContainsFullScreenElementChanged),
       [this](ICoreWebView2* sender, IUnknown*) {
           BOOL contains = FALSE;
           Traced(sender->get_ContainsFullScreenElement(&contains),
                  "ICoreWebView2::get_ContainsFullScreenElement");
           if (hooks_.fullScreenChanged) {
               hooks_.fullScreenChanged(contains != FALSE);
           }
           return S_OK;
       });

    On(webview, VANDREL_EVENT(ICoreWebView2, WindowCloseRequested),
       [this](ICoreWebView2*, IUnknown*) {
           SendMessageW(window_, WM_CLOSE, 0, 0);
           return S_OK;
       });

    On(webview, VANDREL_EVENT(ICoreWebView2, NewWindowRequested),
       [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
           CoTaskString uri;
           Traced(args->get_Uri(uri.Put()), "ICoreWebView2NewWindowRequestedEventArgs::get_Uri");
           if (uri && MayOpenInShell(Utf8Text(uri))) {
               const auto opened = reinterpret_cast<INT_PTR>(
                   ShellExecuteW(nullptr, L"open", uri.Get(), nullptr, nullptr, SW_SHOWDEFAULT));
               if (opened <= 32) {
                   TraceFailure("ShellExecuteW");
               }
           }
           // The control never opens a window of its own.
           Traced(args->put_Handled(TRUE), "ICoreWebView2NewWindowRequestedEventArgs::put_Handled");
           return S_OK;
       });

    On(webview, VANDREL_EVENT(ICoreWebView2, WebMessageReceived),
       [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
           return hooks_.messageReceived ? hooks_.messageReceived(args) : S_OK;
       });

    On(webview2_.Get(), VANDREL_EVENT(ICoreWebView2_2, DOMContentLoaded),
       [this](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
           hang_.Reset();
           ShowPage();
           return S_OK;
       });

    // A first navigation that fails (offline, an unreachable address, a missing start page) may
    // never load a document: the window then shows the runtime's error page instead of staying
    // hidden for good.
    On(webview, VANDREL_EVENT(ICoreWebView2, NavigationCompleted),
       [this](ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) {
           BOOL success = TRUE;
           Traced(args->get_IsSuccess(&success),
                  "ICoreWebView2NavigationCompletedEventArgs::get_IsSuccess");
           if (!success) {
               COREWEBVIEW2_WEB_ERROR_STATUS status{};
               Traced(args->get_WebErrorStatus(&status),
                      "ICoreWebView2NavigationCompletedEventArgs::get_WebErrorStatus");
               CoTaskString uri;
               Traced(sender->get_Source(uri.Put()), "ICoreWebView2::get_Source");
               Log(LogLevel::Error, LogSource::Runtime,
                   "navigation to " + Utf8Text(uri) + " failed: " +
                       WebErrorStatusName(static_cast<int>(status)));
           }
           if (!shown_) {
               ShowPage();
           }
           return S_OK;
       });

    On(webview, VANDREL_EVENT(ICoreWebView2, ProcessFailed),
       [this](ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
           OnProcessFailed(args);
           return S_OK;
       });
}

void Browser::OnProcessFailed(ICoreWebView2ProcessFailedEventArgs* args) {
    COREWEBVIEW2_PROCESS_FAILED_KIND kind = COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED;
    if (args == nullptr ||
        FAILED(Traced(args->get_ProcessFailedKind(&kind),
                      "ICoreWebView2ProcessFailedEventArgs::get_ProcessFailedKind"))) {
        return;
    }
    int exitCode = 0;
    COREWEBVIEW2_PROCESS_FAILED_REASON reason = COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED;
    std::string details;
    if (const auto args2 = QueryAs<ICoreWebView2ProcessFailedEventArgs2>(
            args, IID_ICoreWebView2ProcessFailedEventArgs2)) {
        Traced(args2->get_ExitCode(&exitCode), "ICoreWebView2ProcessFailedEventArgs2::get_ExitCode");
        Traced(args2->get_Reason(&reason), "ICoreWebView2ProcessFailedEventArgs2::get_Reason");
        details = " (exit code " + std::to_string(exitCode) + ", reason " +
                  ProcessFailedReasonName(static_cast<int>(reason)) + ")";
    }
    const auto report = [&](LogLevel level, const char* action) {
        Log(level, LogSource::Runtime,
            ProcessFailedKindName(static_cast<int>(kind)) + details + ": " + action);
    };
    const uint64_t now = GetTickCount64();
    switch (kind) {
        case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED:
            // The page is gone and the runtime shows its error page: load the app again.
            hang_.Reset();
            if (asking_) {
                crashedWhileAsking_ = true;  // the answer to the question decides nothing now
                report(LogLevel::Error, "reloading once the player has answered");
            } else if (reloads_.Take(now)) {
                report(LogLevel::Error, "page reloaded");
                Traced(webview_->Reload(), "ICoreWebView2::Reload");
            } else {
                report(LogLevel::Error, "the third crash within a minute: the app closes");
                hooks_.later([this] { GiveUp(); });
            }
            break;
        case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE:
            // Repeated every few seconds while a script runs long or the machine is busy: a game
            // loading a level must not lose the player's progress to an early reload.
            if (hang_.Report(now)) {
                report(LogLevel::Warn, "not responding for 30 seconds: the player is asked");
                hooks_.later([this] { AskAboutHang(); });
            } else {
                report(LogLevel::Warn, "waiting");
            }
            break;
        case COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED:
            // The control is closed for good: nothing more goes to it, and a new one is made on
            // the same window.
            hang_.Reset();
            if (hooks_.ready) {
                hooks_.ready(nullptr, nullptr, nullptr);
            }
            if (restarts_.Take(now)) {
                report(LogLevel::Error, "the browser control is made again");
                hooks_.later([this] { Recreate(); });
            } else {
                report(LogLevel::Error, "lost a third time: the app closes");
                hooks_.later([this] { GiveUp(); });
            }
            break;
        default:
            // Frames, the GPU and helper processes: the runtime starts them again itself.
            report(LogLevel::Warn, "left to the runtime");
            break;
    }
}

void Browser::Recreate() {
    if (detached_ || failed_) {
        return;
    }
    if (controller_) {
        Traced(controller_->Close(), "ICoreWebView2Controller::Close");
    }
    webview2_.Reset();
    webview_.Reset();
    controller_.Reset();
    environment_.Reset();
    Start();
}

void Browser::AskAboutHang() {
    if (detached_ || failed_ || asking_ || !webview_) {
        return;
    }
    asking_ = true;
    const std::wstring text = Utf8ToWide(config_.pageUnresponsiveMessage);
    const std::wstring caption = Utf8ToWide(config_.title);
    const int answer = MessageBoxW(window_, text.c_str(), caption.c_str(),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    asking_ = false;
    if (detached_ || failed_ || !webview_) {
        return;
    }
    if (crashedWhileAsking_) {
        crashedWhileAsking_ = false;
        if (!reloads_.Take(GetTickCount64())) {
            GiveUp();
            return;
        }
    } else if (answer != IDYES) {
        Log(LogLevel::Info, LogSource::Host, "the player chose to wait for the page");
        return;
    }
    Log(LogLevel::Info, LogSource::Host, "the player chose to reload the page");
    hang_.Reset();
    Traced(webview_->Reload(), "ICoreWebView2::Reload");
}

void Browser::GiveUp() {
    if (detached_ || failed_) {
        return;
    }
    failed_ = true;
    Log(LogLevel::Error, LogSource::Host, "told the player: " + config_.pageCrashedMessage);
    const std::wstring text = Utf8ToWide(config_.pageCrashedMessage);
    const std::wstring caption = Utf8ToWide(config_.title);
    MessageBoxW(window_, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    DestroyWindow(window_);
}

void Browser::ShowPage() {
    shown_ = true;
    if (hooks_.showPage) {
        hooks_.showPage();
    }
}

void Browser::ReportStartFailure(HRESULT code) {
    if (failed_) {
        return;
    }
    failed_ = true;
    wchar_t text[512];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), kStartFailedText,
                  static_cast<unsigned long>(code));
    Log(LogLevel::Error, LogSource::Host, "told the player: " + WideToUtf8(text));
    const std::wstring caption = Utf8ToWide(config_.title);
    MessageBoxW(nullptr, text, caption.c_str(), MB_OK | MB_ICONERROR);
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

}  // namespace vandrel
