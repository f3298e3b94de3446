#include "webview/vandrel_webview.h"

#include <utility>

#include "util/text.h"
#include "webview/environment_options.h"
#include "webview/handler.h"

namespace vandrel {

VandrelWebView::VandrelWebView(const AppConfig* config, HWND window, std::string appFolder,
                               std::string webSubfolder, const wchar_t* browserFolder,
                               std::string userDataFolder)
    : config(config),
      window(window),
      appFolder(std::move(appFolder)),
      webSubfolder(std::move(webSubfolder)),
      userDataFolder(std::move(userDataFolder)),
      origin(config->contentMode == ContentMode::Remote ? config->main : kAppOrigin),
      browserFolder(browserFolder) {}

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
    CreateCoreWebView2EnvironmentWithOptions(browserFolder, dataFolder.c_str(), options.Get(),
                                             handler.Get());
}

HRESULT VandrelWebView::OnEnvironmentCreated(HRESULT /*result*/,
                                             ICoreWebView2Environment* created) {
    environment = ComPtr<ICoreWebView2Environment>::Share(created);
    return S_OK;
}

}  // namespace vandrel
