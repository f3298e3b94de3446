#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <map>
#include <string>

#include "portable/bundle/asset_bundle.h"
#include "portable/config/app_config.h"
#include "win32/extensions/extension_manager.h"
#include "win32/util/com_ptr.h"
#include "win32/util/handles.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// The origin on which the host serves the app in bundle mode. The host name is reserved for
// loopback use and answered only by the WebView's request filter; it never changes, because the
// data the page stores in the user-data folder is kept per origin.
inline constexpr char kAppOrigin[] = "https://vandrel.localhost/";

// A folder file mapped for range requests, kept for the whole run.
struct MappedFile {
    UniqueFile file;
    UniqueKernelHandle mapping;
    UniqueView view;
    uint64_t size = 0;  // bytes the view covers
};

// The one object that owns the browser control of the main window, and the state that the
// window operations, the content server and the page bridge share.
class VandrelWebView {
public:
    VandrelWebView(const AppConfig* config, const AssetBundle* bundle, HWND window,
                   std::string appFolder, std::string webSubfolder, const wchar_t* browserFolder,
                   std::string userDataFolder);
    ~VandrelWebView();
    VandrelWebView(const VandrelWebView&) = delete;
    VandrelWebView& operator=(const VandrelWebView&) = delete;

    // Starts the asynchronous creation of the WebView2 environment and returns at once.
    void Init();

    HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* created);
    HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* created);

    // Window geometry, driven by the page and the control. Sizes and positions are logical
    // pixels at 96 DPI.
    void SetFullScreen(bool on);
    void SetWindowSize(int32_t width, int32_t height);
    void SetWindowPosition(int32_t x, int32_t y);

    // The answer to the page's "wrapper-init": the folder handles, then the component ids.
    void SendWrapperInitReply();
    void PostDirectoryHandles();

    // A read-only view of a whole folder file, mapped once per key and kept for the run; null
    // when it cannot be opened or mapped. `size` receives the number of bytes the view covers.
    // A view that no longer covers `needed` bytes (the file has grown) is mapped again.
    const uint8_t* MapFile(const std::string& key, const std::string& path, uint64_t needed,
                           uint64_t* size);
    void UnmapAllFiles();

    // True when the browser view could not be started; the process then ends with exit code 1.
    bool startFailed = false;

    const AppConfig* config;
    const AssetBundle* bundle;
    ExtensionManager* extensions;
    HWND window;
    std::string appFolder;
    std::string webSubfolder;
    std::string userDataFolder;
    std::string origin;
    const wchar_t* browserFolder;
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    ComPtr<ICoreWebView2_2> webview2;
    ComPtr<ITaskbarList2> taskbarList;
    std::map<std::string, MappedFile> mappedFiles;
    bool isFullScreen = false;
    LONG savedStyle = 0;
    LONG savedExStyle = 0;
    RECT savedWindowRect{};
    std::map<std::string, std::string> folderTokenMap;

private:
    void ReportStartFailure(HRESULT code);
};

}  // namespace vandrel
