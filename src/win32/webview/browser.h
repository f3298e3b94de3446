#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "portable/config/app_config.h"
#include "portable/webview/recovery.h"
#include "win32/util/com_ptr.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// The browser control of the main window: the WebView2 environment, its controller on the window
// and its browser, their settings, and the reactions to the control's events. Creation is
// asynchronous: Start asks for the environment, whose completion asks for the controller, whose
// completion applies the settings, registers the event handlers and opens the start page, all
// inside the UI thread's message loop. The window stays hidden until the first page has loaded
// its DOM, or its first navigation has ended without one.
class Browser {
public:
    // What the browser hands to the rest of the host.
    struct Hooks {
        // The controller and the browser exist (the window follows the controller, the bridge
        // posts through the browser from now on); or, all null, they are gone because the
        // browser process ended, until the next call.
        std::function<void(ICoreWebView2Environment*, ICoreWebView2Controller*, ICoreWebView2*)>
            ready;
        // A document has loaded, or the first navigation ended without one: the window shows
        // the page.
        std::function<void()> showPage;
        // Runs a step from the window's message loop, outside the runtime's event in progress.
        std::function<void(std::function<void()>)> later;
        // A request on the app's origin (bundle mode only).
        std::function<HRESULT(ICoreWebView2Environment*,
                              ICoreWebView2WebResourceRequestedEventArgs*)>
            resourceRequested;
        // A message from the page.
        std::function<HRESULT(ICoreWebView2WebMessageReceivedEventArgs*)> messageReceived;
        // The page entered or left full screen.
        std::function<void(bool on)> fullScreenChanged;
        // The player pressed F11 or Alt+Enter.
        std::function<void()> toggleFullScreen;
        // An entry for the player log: what went wrong with the runtime, and the page's errors
        // (source Page) as the DevTools protocol reports them.
        std::function<void(LogLevel, LogSource, const std::string&)> log;
    };

    // `config` must outlive this object. `browserFolder` is null for the installed runtime, or a
    // fixed runtime's folder; `origin` is the app's (ContentOrigin).
    Browser(const AppConfig& config, std::string origin, const wchar_t* browserFolder,
            std::string userDataFolder, Hooks hooks);
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // Starts creating the environment and returns at once. The runtime starts up while the host
    // makes its window; the control is made on the window once both are there.
    void Start();
    // The main window, which the control fills: made after Start, before the message loop.
    void AttachWindow(HWND window);

    // The message loop has ended and the parts the handlers reach are going away: from now on the
    // event handlers do nothing (a library's "Release" that pumps messages must not reach them).
    void Detach() { detached_ = true; }

    // True when the browser control could not be started, or its processes kept failing. That
    // has been reported to the player, the window is gone, and the process ends with exit code 1.
    bool Failed() const { return failed_; }

private:
    HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* created);
    // Asks for the control, once the environment and the window are both there.
    void CreateController();
    HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* created);
    void ApplySettings();
    void RegisterEventHandlers();
    // Subscribes to the page's uncaught exceptions and console errors, for the log.
    void WatchPageErrors();
    void Log(LogLevel level, LogSource source, const std::string& text) const;
    void OnAcceleratorKey(ICoreWebView2AcceleratorKeyPressedEventArgs* args, bool devToolsKey);
    void OnProcessFailed(ICoreWebView2ProcessFailedEventArgs* args);
    // The browser process is gone: the control is made again on the same window.
    void Recreate();
    // Asks the player whether to reload a page that has stopped responding.
    void AskAboutHang();
    // Tells the player the app has stopped working and ends the run with exit code 1.
    void GiveUp();
    void ShowPage();
    void ReportStartFailure(HRESULT code);
    // Registers `callable` as the handler of one event, guarded by Detach; the runtime keeps its
    // own reference, and the handler is never removed.
    template <typename Target, typename Add, typename F>
    void On(Target* target, Add add, const char* call, F callable);
    // Whether the address an event names (its get_Uri, `call`) belongs to the app.
    template <typename Args>
    bool IsFromApp(Args* args, const char* call) const;

    const AppConfig& config_;
    HWND window_ = nullptr;  // until AttachWindow
    const std::string origin_;
    const wchar_t* const browserFolder_;
    const std::string userDataFolder_;
    const Hooks hooks_;
    bool failed_ = false;
    bool shown_ = false;
    bool detached_ = false;
    RecoveryBudget reloads_{kPageReloads, kPageReloadWindowMs};
    RecoveryBudget restarts_{kBrowserRestarts, std::nullopt};
    HangWatch hang_;
    bool asking_ = false;           // the hang question is on screen
    bool crashedWhileAsking_ = false;
    ComPtr<ICoreWebView2Environment> environment_;
    ComPtr<ICoreWebView2Controller> controller_;
    ComPtr<ICoreWebView2> webview_;
    ComPtr<ICoreWebView2_2> webview2_;
};

}  // namespace vandrel
