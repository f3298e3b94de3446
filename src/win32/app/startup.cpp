#include "win32/app/startup.h"

#include <knownfolders.h>

#include <cstdio>
#include <optional>
#include <string>

#include "portable/config/app_config.h"
#include "portable/config/app_folders.h"
#include "portable/config/config_keys.h"
#include "portable/webview/link_policy.h"
#include "win32/app/main_window.h"
#include "win32/app/player_log.h"
#include "win32/app/single_instance.h"
#include "win32/app/window_memory.h"
#include "win32/bridge/page_bridge.h"
#include "win32/extensions/extension_library.h"
#include "win32/installer/runtime_installer.h"
#include "win32/server/bundle_image.h"
#include "win32/server/content_server.h"
#include "win32/util/com_ptr.h"
#include "win32/util/files.h"
#include "win32/util/icon.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"
#include "win32/webview/browser.h"

namespace vandrel {

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

void ShowMessage(const std::wstring& text, const std::wstring& caption, UINT icon) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | icon);
}

// A message the player sees, kept in the log with the same words.
void Tell(PlayerLog& log, const std::wstring& text, const std::wstring& caption, UINT icon) {
    log.Write(icon == MB_ICONERROR ? LogLevel::Error : LogLevel::Info, LogSource::Host,
              "told the player: " + WideToUtf8(text));
    ShowMessage(text, caption, icon);
}

// The runtime's version when the loader finds a usable one; only the returned text decides.
std::string RuntimeVersion(const wchar_t* browserFolder) {
    CoTaskString version;
    GetAvailableCoreWebView2BrowserVersionString(browserFolder, version.Put());
    return version ? WideToUtf8(version.Get()) : std::string();
}

bool RuntimeAvailable(const wchar_t* browserFolder) {
    return !RuntimeVersion(browserFolder).empty();
}

// "10.0.19045" from the system itself (GetVersionEx answers what the manifest allows).
std::string WindowsVersion() {
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    const auto get = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (get == nullptr || get(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

// Makes sure a WebView2 runtime is there: the installed one (downloaded and installed when it is
// missing) or the fixed one in the "webview2" folder. Returns false, after telling the player,
// when there is none; `browserFolder` receives the fixed runtime's folder, or null.
bool EnsureRuntime(HINSTANCE instance, const AppConfig& config, const AppFolders& folders,
                   HICON icon, PlayerLog& log, const wchar_t*& browserFolder) {
    const std::wstring title = Utf8ToWide(config.title);
    if (config.distributionMode == DistributionMode::Fixed) {
        browserFolder = kFixedRuntimeFolder;
        const std::string version = RuntimeVersion(browserFolder);
        if (version.empty()) {
            log.Write(LogLevel::Error, LogSource::Runtime,
                      "no usable fixed runtime in the webview2 folder");
            Tell(log, kFixedRuntimeMissingText, title, MB_ICONERROR);
            return false;
        }
        log.Write(LogLevel::Info, LogSource::Runtime,
                  "runtime " + version + ", the fixed one in the webview2 folder");
        return true;
    }
    browserFolder = nullptr;
    if (const std::string version = RuntimeVersion(nullptr); !version.empty()) {
        log.Write(LogLevel::Info, LogSource::Runtime, "runtime " + version + ", installed");
        return true;
    }
    log.Write(LogLevel::Warn, LogSource::Runtime, "no runtime installed: running its installer");
    Tell(log, Utf8ToWide(config.installWebView2Message), title, MB_ICONINFORMATION);
    log.Write(LogLevel::Info, LogSource::Runtime,
              "runtime installer: " +
                  RunRuntimeInstaller(instance, folders.userDataFolder, config, icon));
    const std::string version = RuntimeVersion(nullptr);
    if (version.empty()) {
        log.Write(LogLevel::Error, LogSource::Runtime,
                  "the runtime is still missing after its installer ran");
        Tell(log, Utf8ToWide(config.installWebView2FailedMessage), title, MB_ICONERROR);
        return false;
    }
    log.Write(LogLevel::Info, LogSource::Runtime,
              "runtime " + version + ", installed by its installer just now");
    return true;
}

int RunApp(HINSTANCE instance, AppFolders folders, const AppConfig& config, PlayerLog& log);

}  // namespace

// Reads package.json (what fails there ends the run with exit code 1 after a message), then runs
// the app with its player log.
int RunHost(HINSTANCE instance) {
    Traced(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");

    const std::string exePath = GetExePath();
    const size_t lastSlash = exePath.rfind('\\');
    AppFolders folders;
    folders.exeFolder = lastSlash == std::string::npos ? exePath : exePath.substr(0, lastSlash + 1);

    const std::string packageText = ReadWholeFile(folders.exeFolder + "package.json");
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
    folders.userDataFolder = GetKnownFolder(FOLDERID_LocalAppData) + "\\" + config.name;

    // From here on the run leaves a record a player can send (and failed calls of the runtime
    // are in it).
    PlayerLog log(folders.userDataFolder, config.logMode);
    SetTraceListener([&log](const char* call, unsigned long code) {
        log.Write(LogLevel::Warn, LogSource::Runtime,
                  std::string(call) + " failed (" + CodeText(code) + ")");
    });
    log.Write(LogLevel::Info, LogSource::Host,
              std::string("run of Vandrel ") + VANDREL_VERSION + " on Windows " + WindowsVersion() +
                  " from " + folders.exeFolder + ": content mode " +
                  kContentModeValues[static_cast<size_t>(config.contentMode)] +
                  ", distribution mode " +
                  kDistributionModeValues[static_cast<size_t>(config.distributionMode)]);
    const int code = RunApp(instance, std::move(folders), config, log);
    log.Write(code == 0 ? LogLevel::Info : LogLevel::Error, LogSource::Host,
              "run ended with exit code " + std::to_string(code));
    SetTraceListener(nullptr);
    return code;
}

namespace {

// The composition root, once package.json is read. The owners are declared in the order that
// makes their destruction the shutdown order: the folder views, the extension library
// ("Release", then FreeLibrary), the bundle, GDI+, and last the browser control's references.
// Every step before the message loop that fails tells the player and ends the run with exit
// code 1.
int RunApp(HINSTANCE instance, AppFolders folders, const AppConfig& config, PlayerLog& log) {
    // A second start of a single-instance app shows the first one's window and ends.
    std::optional<SingleInstance> singleInstance;
    if (config.singleInstance) {
        singleInstance = SingleInstance::Claim(config.name);
        if (!singleInstance) {
            log.Write(LogLevel::Info, LogSource::Host,
                      "another run of the app is open: brought its window forward");
            SingleInstance::BringForward(config.name);
            return 0;
        }
    }

    std::optional<Browser> browser;  // released last of all
    const GdiplusSession gdiplus = StartGdiplus();
    const AppIcon icon(config.icon.empty() ? std::string() : folders.exeFolder + config.icon);

    const wchar_t* browserFolder = nullptr;
    if (!EnsureRuntime(instance, config, folders, icon.Get(), log, browserFolder)) {
        return 1;
    }

    // Read once the runtime is starting up; released after the extension library.
    std::optional<BundleImage> bundle;

    // The extension library talks to the page through the bridge, from "Init" (before any window)
    // to "Release" (after the message loop).
    const std::string origin = ContentOrigin(config);
    PageBridge bridge(folders, origin);
    const ExtensionLibrary extensions(folders, bridge);
    bridge.UseExtensions(&extensions);
    bridge.UseLog([&log](LogLevel level, const std::string& text) { log.WritePage(level, text); });
    if (extensions.Loaded()) {
        std::string ids;
        for (const std::string& id : extensions.ComponentIds()) {
            ids += (ids.empty() ? "" : ", ") + id;
        }
        log.Write(LogLevel::Info, LogSource::Host,
                  "extension library WV2ExtManager.dll loaded; components: " +
                      (ids.empty() ? std::string("none") : ids));
    } else if (extensions.LoadError() != 0) {
        log.Write(LogLevel::Error, LogSource::Host,
                  "extension library WV2ExtManager.dll could not be loaded (error " +
                      std::to_string(extensions.LoadError()) + ")");
    }

    // The environment is asked for as soon as the extension's "Init" has run (it may set the
    // runtime's environment variables there): the runtime starts up while the bundle is read and
    // the window is made. The control is made on the window once both are there, after the parts
    // its handlers reach exist.
    MainWindow window;
    ContentServer* content = nullptr;
    Browser::Hooks hooks;
    hooks.ready = [&window, &bridge](ICoreWebView2Environment* environment,
                                     ICoreWebView2Controller* controller, ICoreWebView2* webview) {
        window.AttachController(controller);
        bridge.AttachBrowser(environment, webview);
    };
    hooks.showPage = [&window] { window.ShowPage(); };
    hooks.later = [&window](std::function<void()> step) { window.RunSoon(std::move(step)); };
    hooks.toggleFullScreen = [&window] { window.SetFullScreen(!window.FullScreen()); };
    hooks.resourceRequested = [&content](ICoreWebView2Environment* environment,
                                         ICoreWebView2WebResourceRequestedEventArgs* args) {
        return content->OnWebResourceRequested(environment, args);
    };
    hooks.messageReceived = [&bridge](ICoreWebView2WebMessageReceivedEventArgs* args) {
        return bridge.OnWebMessageReceived(args);
    };
    hooks.fullScreenChanged = [&window](bool on) { window.SetFullScreen(on); };
    hooks.log = [&log](LogLevel level, LogSource source, const std::string& text) {
        if (source == LogSource::Page) {
            log.WritePage(level, text);
        } else {
            log.Write(level, source, text);
        }
    };
    browser.emplace(config, origin, browserFolder, folders.userDataFolder, std::move(hooks));
    browser->Start();

    bundle.emplace(folders.WebFolder() + "assets.dat");
    if (bundle->GetState() == BundleImage::State::Unreadable) {
        Tell(log, kBundleFailedText, kFixedCaption, MB_ICONERROR);
    }

    const WindowMemory memory(folders.userDataFolder);
    switch (window.Create(instance, config, icon.Get(),
                          config.remember ? memory.Load() : std::nullopt)) {
        case MainWindow::Failure::RegisterClass:
            Tell(log, kRegisterClassFailedText, kFixedCaption, MB_ICONERROR);
            browser->Detach();
            return 1;
        case MainWindow::Failure::CreateWindow:
            Tell(log, kCreateWindowFailedText, kFixedCaption, MB_ICONERROR);
            browser->Detach();
            return 1;
        case MainWindow::Failure::None:
            break;
    }
    if (singleInstance) {
        singleInstance->MarkWindow(window.Handle());
    }
    window.OnFullScreenChanged([&bridge](bool on) { bridge.PostFullScreenChanged(on); });
    extensions.OnMainWindowCreated(window.Handle());
    bridge.UseWindow({[&window](bool on) { window.SetFullScreen(on); },
                      [&window](int32_t w, int32_t h) { window.SetWindowSize(w, h); },
                      [&window](int32_t x, int32_t y) { window.SetWindowPosition(x, y); },
                      [&window](WindowShowState state) { window.SetShowState(state); },
                      [&window](bool onTop) { window.SetAlwaysOnTop(onTop); },
                      [&window] { return window.State(); }});

    ContentServer contentServer(*bundle, folders, origin.size(), config.crossOriginIsolation);
    content = &contentServer;
    browser->AttachWindow(window.Handle());

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    browser->Detach();
    if (config.remember && window.LastPlacement()) {
        memory.Save(*window.LastPlacement());
    }
    // A browser view that could not be started, or whose processes kept failing, has been
    // reported; the run counts as failed.
    return browser->Failed() ? 1 : static_cast<int>(message.wParam);
}

}  // namespace

}  // namespace vandrel
