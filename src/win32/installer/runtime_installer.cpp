#include "win32/installer/runtime_installer.h"

#include <cstdio>

#include <commctrl.h>
#include <process.h>

#include <string>
#include <vector>

#include "win32/util/dpi_win.h"
#include "win32/util/com_ptr.h"
#include "win32/util/handles.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"
#include "win32/util/window_class.h"

// A progress window on the UI thread while a thread of its own downloads the bootstrapper into
// the user-data folder; then the bootstrapper is run and waited for.
// - Whatever lies at the target path is deleted before the download, and the bootstrapper runs
//   only when the download reported success: a stale or half-written file is never run.
// - Every missing level of the user-data folder is made; "Failed to create user data directory"
//   is shown only when the folder still does not exist afterwards.
// - The window class is registered once per process (a second run in one process finds it).

namespace vandrel {

namespace {

constexpr wchar_t kCommonControlsFailedText[] = L"Failed to initialize common controls";
constexpr wchar_t kCreateFolderFailedText[] = L"Failed to create user data directory";
constexpr wchar_t kRegisterClassFailedText[] = L"Failed to register window class";
constexpr wchar_t kCreateWindowFailedText[] = L"Failed to create window";

constexpr DWORD kSetupWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kProgressBarStyle = WS_CHILD | WS_VISIBLE;

struct WindowTraits {
    using Handle = HWND;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) {
        if (IsWindow(h)) {
            DestroyWindow(h);
        }
    }
};
// A top-level window of this thread, destroyed at the end of its scope unless it is gone by then.
using UniqueWindow = UniqueHandle<WindowTraits>;

void ShowError(const wchar_t* text, const std::wstring& caption) {
    MessageBoxW(nullptr, text, caption.c_str(), MB_OK | MB_ICONERROR);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates `path` and every missing folder above it. True when it exists as a folder afterwards.
bool CreateFolderTree(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    // Each prefix that ends before a separator is a folder on the way; levels that exist already
    // (or cannot be created, such as a drive or a server name) are passed over, and the final
    // check decides.
    for (size_t i = 1; i < path.size(); ++i) {
        const bool separator = path[i] == L'\\' || path[i] == L'/';
        const bool afterSeparator = path[i - 1] == L'\\' || path[i - 1] == L'/';
        if (separator && !afterSeparator) {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
    CreateDirectoryW(path.c_str(), nullptr);
    return IsFolder(path);
}

// Registers the progress window's class once per process. A second run in the same process (only
// tests do that) finds it registered already with the same procedure, which counts as success.
bool RegisterSetupWindowClass(HINSTANCE instance, HICON icon) {
    return RegisterHostWindowClass(instance, kSetupWindowClass, SetupWindowProc, icon,
                                   COLOR_MENU) ||
           GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Runs the downloaded bootstrapper with no arguments in the user-data folder and waits for it.
// Its exit code is not read, and a failed start is not reported: the caller's runtime check
// decides.
std::string RunBootstrapper(const std::wstring& targetPath, const std::wstring& folder) {
    std::vector<wchar_t> commandLine(1, L'\0');  // empty and writable
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(targetPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return "the downloaded bootstrapper could not be started (error " +
               std::to_string(GetLastError()) + ")";
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    return "the bootstrapper ended with exit code " + std::to_string(exitCode) + " (" +
           CodeText(exitCode) + ")";
}

}  // namespace

SetupWindowLayout LayoutSetupWindow(int screenWidth, int screenHeight, ScaleFunction scale) {
    SetupWindowLayout layout;
    layout.width = scale(300);
    layout.height = scale(90);
    layout.x = screenWidth / 2 - layout.width / 2;
    layout.y = screenHeight / 2 - layout.height / 2;
    return layout;
}

RECT LayoutProgressBar(const RECT& client, ScaleFunction scale) {
    RECT bar{};
    bar.left = client.left + scale(10);
    bar.top = client.top + scale(10);
    bar.right = (client.right - client.left) - scale(20);
    bar.bottom = (client.bottom - client.top) - scale(20);
    return bar;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnStartBinding(DWORD, IBinding*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::GetPriority(LONG*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnLowResource(DWORD) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                                       LPCWSTR) {
    if (progressMax != 0) {
        // Stored in a float so that the quotient is rounded to single precision.
        const float position =
            static_cast<float>(progress) * 100.0f / static_cast<float>(progressMax);
        SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(static_cast<int64_t>(position)),
                     0);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnStopBinding(HRESULT, LPCWSTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::GetBindInfo(DWORD*, BINDINFO*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnObjectAvailable(REFIID, IUnknown*) {
    return E_NOTIMPL;
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

unsigned __stdcall DownloadThreadProc(void* parameter) {
    auto* job = static_cast<DownloadJob*>(parameter);
    const auto progress = ComPtr<DownloadProgress>::Adopt(new DownloadProgress(job->progressBar));
    job->result =
        URLDownloadToFileW(nullptr, job->url.c_str(), job->targetPath.c_str(), 0, progress.Get());
    // Closed through the UI thread, which destroys the window; that ends the installer's loop.
    SendMessageW(job->window, WM_CLOSE, 0, 0);
    // Returning ends the thread through _endthreadex(0), after the locals are gone.
    return 0;
}

std::string RunRuntimeInstaller(HINSTANCE instance, const std::string& userDataFolder,
                                const AppConfig& config, HICON icon) {
    return RunRuntimeInstallerFrom(instance, userDataFolder, config, icon, runtimeBootstrapperUrl);
}

std::string RunRuntimeInstallerFrom(HINSTANCE instance, const std::string& userDataFolder,
                                    const AppConfig& config, HICON icon, const std::wstring& url) {
    const std::wstring caption = Utf8ToWide(config.title);

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    if (!InitCommonControlsEx(&controls)) {
        ShowError(kCommonControlsFailedText, caption);
        return "the common controls could not be started";
    }

    const std::wstring folder = Utf8ToWide(userDataFolder);
    if (!CreateFolderTree(folder)) {
        ShowError(kCreateFolderFailedText, caption);
        return "the data folder could not be made";
    }

    if (!RegisterSetupWindowClass(instance, icon)) {
        ShowError(kRegisterClassFailedText, caption);
        return "the progress window's class could not be registered";
    }

    const SetupWindowLayout layout = LayoutSetupWindow(GetSystemMetrics(SM_CXSCREEN),
                                                       GetSystemMetrics(SM_CYSCREEN), ScaleForDpi);
    const std::wstring title = Utf8ToWide(config.downloadingMessage);
    UniqueWindow window(CreateWindowExW(0, kSetupWindowClass, title.c_str(), kSetupWindowStyle,
                                        layout.x, layout.y, layout.width, layout.height, nullptr,
                                        nullptr, instance, nullptr));
    if (!window) {
        ShowError(kCreateWindowFailedText, caption);
        return "the progress window could not be made";
    }

    RECT client{};
    GetClientRect(window.Get(), &client);
    const RECT barRect = LayoutProgressBar(client, ScaleForDpi);
    // A child of the window, destroyed with it.
    HWND progressBar =
        CreateWindowExW(0, PROGRESS_CLASSW, nullptr, kProgressBarStyle, barRect.left, barRect.top,
                        barRect.right, barRect.bottom, window.Get(), nullptr, instance, nullptr);
    SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar, PBM_SETSTEP, 1, 0);

    DownloadJob job;
    job.url = url;
    job.targetPath = folder + L"\\" + kBootstrapperFileName;
    job.window = window.Get();
    job.progressBar = progressBar;

    // Whatever lies at the target path from an earlier attempt must not be run in place of a new
    // download.
    DeleteFileW(job.targetPath.c_str());

    UniqueKernelHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThreadProc, &job, 0, nullptr)));

    // Ends when the window is destroyed (its WM_DESTROY posts the quit message): closed by the
    // download thread, or by the user, in which case the download goes on without a window.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    window.Reset();  // gone already, unless the loop was ended by a quit message from elsewhere

    if (thread) {
        WaitForSingleObject(thread.Get(), INFINITE);
        thread.Reset();
    }

    // Without a thread there was no download, and job.result still says so.
    if (job.result != S_OK) {
        return "the bootstrapper's download failed (" +
               CodeText(static_cast<unsigned long>(job.result)) + ")";
    }
    // The downloaded file stays in the user-data folder; the window class stays registered.
    return RunBootstrapper(job.targetPath, folder);
}

}  // namespace vandrel
