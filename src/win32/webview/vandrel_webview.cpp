#include "win32/webview/vandrel_webview.h"

#include <cstdio>
#include <utility>

#include "win32/util/files.h"
#include "win32/util/text.h"
#include "win32/webview/environment_options.h"
#include "win32/webview/event_handlers.h"
#include "win32/webview2/handler.h"

namespace vandrel {

namespace {

constexpr wchar_t kStartFailedText[] =
    L"The app's browser view could not be started (Microsoft Edge WebView2 error 0x%08lX). "
    L"Restart the app to try again; if this keeps happening, reinstall the Microsoft Edge "
    L"WebView2 runtime.";

}  // namespace

VandrelWebView::VandrelWebView(const AppConfig* config, const AssetBundle* bundle, HWND window,
                               std::string appFolder, std::string webSubfolder,
                               const wchar_t* browserFolder, std::string userDataFolder)
    : config(config),
      bundle(bundle),
      extensions(currentExtensionManager),
      window(window),
      appFolder(std::move(appFolder)),
      webSubfolder(std::move(webSubfolder)),
      userDataFolder(std::move(userDataFolder)),
      origin(config->contentMode == ContentMode::Remote ? config->main : kAppOrigin),
      browserFolder(browserFolder) {
    if (extensions != nullptr) {
        extensions->host = this;
    }
}

// Members go in the reverse order of their declaration: the folder-token map, the mapped-file
// table, the taskbar object, then the WebView2 references (browser, controller, environment),
// then the strings.
VandrelWebView::~VandrelWebView() = default;

void VandrelWebView::Init() {
    const std::wstring arguments = Utf8ToWide(config->chromiumArgs);
    const std::wstring dataFolder = Utf8ToWide(userDataFolder);
    if (config->hostingMode == HostingMode::WindowToVisual) {
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
        browserFolder, dataFolder.c_str(), options.Get(), handler.Get());
    if (FAILED(started)) {
        ReportStartFailure(started);  // the completion will never come
    }
}

HRESULT VandrelWebView::OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* created) {
    if (FAILED(result) || created == nullptr) {
        ReportStartFailure(FAILED(result) ? result : E_POINTER);
        return S_OK;
    }
    environment = ComPtr<ICoreWebView2Environment>::Share(created);
    auto handler = ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Adopt(
        MakeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
            [this](HRESULT done, ICoreWebView2Controller* controllerCreated) {
                return OnControllerCreated(done, controllerCreated);
            }));
    const HRESULT started = environment->CreateCoreWebView2Controller(window, handler.Get());
    if (FAILED(started)) {
        ReportStartFailure(started);
    }
    return S_OK;
}

HRESULT VandrelWebView::OnControllerCreated(HRESULT result, ICoreWebView2Controller* created) {
    if (FAILED(result) || created == nullptr) {
        ReportStartFailure(FAILED(result) ? result : E_POINTER);
        return S_OK;
    }
    controller = ComPtr<ICoreWebView2Controller>::Share(created);
    controller->get_CoreWebView2(webview.Put());
    webview2 = webview.Query<ICoreWebView2_2>(IID_ICoreWebView2_2);
    if (!webview2) {
        // Without it the page's first load could never show the window.
        ReportStartFailure(E_NOINTERFACE);
        return S_OK;
    }

    ComPtr<ICoreWebView2Settings> settings;
    webview->get_Settings(settings.Put());
    if (settings) {
        settings->put_IsScriptEnabled(TRUE);
        settings->put_AreHostObjectsAllowed(FALSE);
        settings->put_AreDefaultScriptDialogsEnabled(TRUE);
        settings->put_IsWebMessageEnabled(TRUE);
        settings->put_IsZoomControlEnabled(FALSE);
        settings->put_AreDefaultContextMenusEnabled(TRUE);
        settings->put_AreDevToolsEnabled(config->enableDevtools ? TRUE : FALSE);
    }
    auto settings3 = settings.Query<ICoreWebView2Settings3>(IID_ICoreWebView2Settings3);
    if (settings3) {
        settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE);
        RegisterAcceleratorKeyHandler(*this);
    }

    RECT bounds{};
    GetClientRect(window, &bounds);
    controller->put_Bounds(bounds);

    RegisterEventHandlers(*this);

    const std::string startUrl =
        config->contentMode == ContentMode::Bundle ? origin + config->main : config->main;
    webview->Navigate(Utf8ToWide(startUrl).c_str());
    return S_OK;
}

void VandrelWebView::ReportStartFailure(HRESULT code) {
    if (startFailed) {
        return;
    }
    startFailed = true;
    wchar_t text[512];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), kStartFailedText,
                  static_cast<unsigned long>(code));
    const std::wstring caption = Utf8ToWide(config->title);
    MessageBoxW(nullptr, text, caption.c_str(), MB_OK | MB_ICONERROR);
    DestroyWindow(window);
}

const uint8_t* VandrelWebView::MapFile(const std::string& key, const std::string& path,
                                       uint64_t needed, uint64_t* size) {
    auto found = mappedFiles.find(key);
    if (found != mappedFiles.end() && found->second.size >= needed) {
        *size = found->second.size;
        return static_cast<const uint8_t*>(found->second.view.Get());
    }
    MappedFile mapped;
    mapped.file.Reset(CreateFileW(ToApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize{};
    if (!mapped.file || !GetFileSizeEx(mapped.file.Get(), &fileSize)) {
        return nullptr;
    }
    mapped.mapping.Reset(
        CreateFileMappingW(mapped.file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped.mapping) {
        return nullptr;
    }
    mapped.view.Reset(MapViewOfFile(mapped.mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped.view) {
        return nullptr;
    }
    mapped.size = static_cast<uint64_t>(fileSize.QuadPart);
    *size = mapped.size;
    const auto* view = static_cast<const uint8_t*>(mapped.view.Get());
    // A stale, smaller view of the same file is replaced.
    mappedFiles.insert_or_assign(key, std::move(mapped));
    return view;
}

void VandrelWebView::UnmapAllFiles() {
    mappedFiles.clear();
}

}  // namespace vandrel
