#pragma once

#include <windows.h>

#include <string>

#include "config/app_config.h"
#include "util/com_ptr.h"
#include "webview/webview2.h"

namespace vandrel {

// The origin on which the host serves the app in bundle mode. The host name is reserved for
// loopback use and answered only by the WebView's request filter; it never changes, because the
// data the page stores in the user-data folder is kept per origin.
inline constexpr char kAppOrigin[] = "https://vandrel.localhost/";

// The one object that owns the browser control of the main window.
class VandrelWebView {
public:
    VandrelWebView(const AppConfig* config, HWND window, std::string appFolder,
                   std::string webSubfolder, const wchar_t* browserFolder,
                   std::string userDataFolder);
    VandrelWebView(const VandrelWebView&) = delete;
    VandrelWebView& operator=(const VandrelWebView&) = delete;

    // Starts the asynchronous creation of the WebView2 environment and returns at once.
    void Init();

    HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* created);

    const AppConfig* config;
    HWND window;
    std::string appFolder;
    std::string webSubfolder;
    std::string userDataFolder;
    std::string origin;
    const wchar_t* browserFolder;
    ComPtr<ICoreWebView2Environment> environment;
};

}  // namespace vandrel
