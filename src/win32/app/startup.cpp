#include "win32/app/startup.h"

// gdiplus.h wants min and max from windows.h, which the build turns off.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <knownfolders.h>
#include <objidl.h>

#include <exception>
#include <memory>
#include <string>

#include "win32/app/main_window.h"
#include "portable/bundle/asset_bundle.h"
#include "portable/config/app_config.h"
#include "win32/extensions/extension_manager.h"
#include "win32/installer/runtime_installer.h"
#include "win32/util/com_ptr.h"
#include "win32/util/dpi_win.h"
#include "win32/util/files.h"
#include "win32/util/handles.h"
#include "win32/util/icon.h"
#include "win32/util/window_class.h"
#include "win32/util/text.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

VandrelWebView* currentHost = nullptr;

namespace {

constexpr wchar_t kFixedCaption[] = L"Windows WebView2 wrapper";
constexpr wchar_t kLoadFailedText[] =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
constexpr wchar_t kParseFailedText[] =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";
constexpr wchar_t kFixedRuntimeMissingText[] =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to "
    L"initialize. Check there is a valid fixed distribution of Microsoft Edge WebView2 runtime in "
    L"the \"webview2\" subfolder.";
constexpr wchar_t kBundleFailedText[] = L"Error reading asset bundle";
constexpr wchar_t kRegisterClassFailedText[] = L"Failed to register window class";
constexpr wchar_t kCreateWindowFailedText[] = L"Failed to create window";
constexpr wchar_t kFixedRuntimeFolder[] = L"webview2";
constexpr char kWebSubfolder[] = "www\\";

constexpr DWORD kResizableStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kFixedSizeStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void ShowMessage(const wchar_t* text, const wchar_t* caption, UINT icon) {
    MessageBoxW(nullptr, text, caption, MB_OK | icon);
}

// True when the loader finds a usable runtime; only the returned version text decides.
bool RuntimeAvailable(const wchar_t* browserFolder) {
    CoTaskString version;
    GetAvailableCoreWebView2BrowserVersionString(browserFolder, version.Put());
    return static_cast<bool>(version);
}

// GDI+ for the whole run; shut down explicitly at its place in the shutdown order.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;  // version 1, no debug hook, own background thread
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession() { Shutdown(); }
    void Shutdown() {
        if (token_ != 0) {
            Gdiplus::GdiplusShutdown(token_);
            token_ = 0;
        }
    }

private:
    ULONG_PTR token_ = 0;
};

// The bundle file, its mapping and its view, held for the whole run.
struct MappedBundle {
    UniqueFile file;
    UniqueKernelHandle mapping;
    UniqueView view;

    void Release() {
        view.Reset();
        mapping.Reset();
        file.Reset();
    }
};

// Maps www\assets.dat and reads its directory. Returns false when the file exists but cannot be
// opened, mapped or parsed; what was acquired stays held, and the entries read before a failure
// stay findable.
bool OpenBundle(const std::string& path, MappedBundle& mapped, AssetBundle& bundle) {
    mapped.file.Reset(CreateFileW(ToApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mapped.file) {
        return false;
    }
    mapped.mapping.Reset(
        CreateFileMappingW(mapped.file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped.mapping) {
        return false;  // an empty file cannot be mapped
    }
    mapped.view.Reset(MapViewOfFile(mapped.mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped.view) {
        return false;
    }
    // The length is that of the file as mapped. A bundle of 2 GiB or more is attached as an
    // empty image, which the reader rejects.
    LARGE_INTEGER size{};
    const uint64_t length =
        GetFileSizeEx(mapped.file.Get(), &size) && size.QuadPart <= 0x7FFFFFFF ? size.QuadPart : 0;
    try {
        bundle.AttachMemory(static_cast<const uint8_t*>(mapped.view.Get()), length);
        bundle.Parse();
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace

int RunHost(HINSTANCE instance) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const std::string exePath = GetExePath();
    const size_t lastSlash = exePath.rfind('\\');
    const std::string exeFolder =
        lastSlash == std::string::npos ? exePath : exePath.substr(0, lastSlash + 1);

    const std::string packageText = ReadWholeFile(exeFolder + "package.json");
    if (packageText.empty()) {
        ShowMessage(kLoadFailedText, kFixedCaption, MB_ICONERROR);
        return 1;
    }

    AppConfig config;
    try {
        LoadAppConfig(packageText, config);
    } catch (...) {
        ShowMessage(kParseFailedText, kFixedCaption, MB_ICONERROR);
        return 1;
    }

    const std::string userDataFolder = GetKnownFolder(FOLDERID_LocalAppData) + "\\" + config.name;

    // Destroyed last of all, after GDI+ has been shut down.
    std::unique_ptr<VandrelWebView> host;
    GdiplusSession gdiplus;

    HICON icon = nullptr;
    if (!config.icon.empty()) {
        icon = LoadIconFromImage(exeFolder + config.icon);
    }
    if (icon == nullptr) {
        icon = LoadIconW(nullptr, IDI_APPLICATION);
    }
    config.iconHandle = icon;

    const std::wstring title = Utf8ToWide(config.title);
    const wchar_t* browserFolder = nullptr;

    if (config.distributionMode == DistributionMode::Evergreen) {
        if (!RuntimeAvailable(nullptr)) {
            const std::wstring installText = Utf8ToWide(config.installWebView2Message);
            const std::wstring failedText = Utf8ToWide(config.installWebView2FailedMessage);
            ShowMessage(installText.c_str(), title.c_str(), MB_ICONINFORMATION);
            RunRuntimeInstaller(instance, userDataFolder, config);
            if (!RuntimeAvailable(nullptr)) {
                ShowMessage(failedText.c_str(), title.c_str(), MB_ICONERROR);
                return 1;
            }
        }
    } else {
        browserFolder = kFixedRuntimeFolder;
        if (!RuntimeAvailable(browserFolder)) {
            ShowMessage(kFixedRuntimeMissingText, title.c_str(), MB_ICONERROR);
            return 1;
        }
    }

    AssetBundle bundle;
    MappedBundle mappedBundle;
    const std::string bundlePath = exeFolder + kWebSubfolder + "assets.dat";
    if (FileExists(bundlePath) && !OpenBundle(bundlePath, mappedBundle, bundle)) {
        ShowMessage(kBundleFailedText, kFixedCaption, MB_ICONERROR);
    }

    // The optional extension library; "Init" runs before any window exists.
    auto extensions = std::make_unique<ExtensionManager>(exeFolder, kWebSubfolder, userDataFolder);
    currentExtensionManager = extensions.get();
    extensions->LoadExtension();

    if (!RegisterHostWindowClass(instance, kMainWindowClass, MainWindowProc, icon, COLOR_WINDOW)) {
        ShowMessage(kRegisterClassFailedText, kFixedCaption, MB_ICONERROR);
        return 1;
    }

    const DWORD style = config.resizable ? kResizableStyle : kFixedSizeStyle;
    RECT frame{0, 0, ScaleForDpi(config.width), ScaleForDpi(config.height)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExW(0, kMainWindowClass, title.c_str(), style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        ShowMessage(kCreateWindowFailedText, kFixedCaption, MB_ICONERROR);
        return 1;
    }

    if (extensions->onMainWindowCreatedProc != nullptr) {
        extensions->onMainWindowCreatedProc(window);
    }

    host = std::make_unique<VandrelWebView>(&config, &bundle, window, exeFolder, kWebSubfolder,
                                            browserFolder, userDataFolder);
    currentHost = host.get();
    host->Init();

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    host->UnmapAllFiles();
    currentHost = nullptr;
    if (extensions->releaseProc != nullptr) {
        extensions->releaseProc();
    }
    if (extensions->module != nullptr) {
        FreeLibrary(extensions->module);
        extensions->module = nullptr;
    }
    extensions.reset();
    currentExtensionManager = nullptr;
    bundle.Clear();
    mappedBundle.Release();
    gdiplus.Shutdown();
    // A browser view that could not be started has been reported; the run counts as failed.
    const int exitCode = host->startFailed ? 1 : static_cast<int>(message.wParam);
    host.reset();
    return exitCode;
}

}  // namespace vandrel
