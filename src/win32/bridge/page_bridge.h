#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "portable/bridge/page_message.h"
#include "portable/config/app_folders.h"
#include "win32/extensions/wrapper_app.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

class ExtensionLibrary;

// The page's side of the host. It hears the page's messages (only from documents of the app's
// origin), acts on them, answers "wrapper-init" with the folder handles and the component ids,
// hands "extension-message" to the extension library, and is the IWrapperApp through which the
// library posts to the page and resolves folder tokens. Everything runs on the UI thread.
class PageBridge final : public IWrapperApp {
public:
    // What the page may ask of the main window.
    struct WindowCommands {
        std::function<void(bool on)> setFullScreen;
        std::function<void(int32_t width, int32_t height)> setWindowSize;
        std::function<void(int32_t x, int32_t y)> setWindowPosition;
        std::function<void(WindowShowState state)> setShowState;
        std::function<void(bool onTop)> setAlwaysOnTop;
        std::function<WindowStateReport()> state;
    };

    PageBridge(AppFolders folders, std::string origin);
    PageBridge(const PageBridge&) = delete;
    PageBridge& operator=(const PageBridge&) = delete;

    void UseExtensions(const ExtensionLibrary* extensions) { extensions_ = extensions; }
    void UseWindow(WindowCommands window) { window_ = std::move(window); }
    // Where the page's own log entries go.
    void UseLog(std::function<void(LogLevel, const std::string&)> log) { log_ = std::move(log); }
    // The browser is there: the page can be posted to from now on; or, both null, it is gone
    // until the next call. Borrowed; both outlive this object's use.
    void AttachBrowser(ICoreWebView2Environment* environment, ICoreWebView2* webview);

    // Tells the page that the host's full screen is now on or off.
    void PostFullScreenChanged(bool on);

    // The web-message event of the browser. Always S_OK.
    HRESULT OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args);

    // IWrapperApp
    void PostJsonToPage(const char* json) override;
    const char* ResolveFolderToken(const char* token) override;

private:
    void HandleMessage(const std::string& text);
    void SendWrapperInitReply();
    void PostDirectoryHandles();
    void PostJson(const std::string& json);

    const AppFolders folders_;
    const std::string origin_;
    const ExtensionLibrary* extensions_ = nullptr;
    WindowCommands window_;
    std::function<void(LogLevel, const std::string&)> log_;
    ICoreWebView2Environment* environment_ = nullptr;
    ICoreWebView2* webview_ = nullptr;
    // The folder of each token, as the page's last "wrapper-init" resolved it.
    std::map<std::string, std::string> folderTokens_;
};

}  // namespace vandrel
