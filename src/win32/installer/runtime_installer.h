#pragma once

#include <windows.h>
#include <urlmon.h>

#include <cstdint>
#include <string>

#include "portable/config/app_config.h"
#include "win32/util/com_object.h"

namespace vandrel {

// The vendor's redirect link to the WebView2 Evergreen bootstrapper.
inline constexpr wchar_t runtimeBootstrapperUrl[] =
    L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";

// Class of the progress window shown while the bootstrapper downloads.
inline constexpr wchar_t kSetupWindowClass[] = L"WebView2Setup";
// Name of the downloaded bootstrapper inside the user-data folder.
inline constexpr wchar_t kBootstrapperFileName[] = L"Webview2Setup.exe";

// Fetches the WebView2 runtime bootstrapper from runtimeBootstrapperUrl into the user-data folder,
// showing a progress window, then runs it and waits for it. Called on the UI thread before the
// main window exists; the caller checks for the runtime again afterwards, which alone decides
// whether the install worked. Returns what became of it, for the player log ("the download
// failed (0x800C0005)", "the bootstrapper ended with exit code 0", ...).
std::string RunRuntimeInstaller(HINSTANCE instance, const std::string& userDataFolder,
                                const AppConfig& config, HICON icon);

// The same flow with the bootstrapper fetched from `url`. RunRuntimeInstaller passes
// runtimeBootstrapperUrl; tests pass the address of a server on the loopback interface.
std::string RunRuntimeInstallerFrom(HINSTANCE instance, const std::string& userDataFolder,
                                    const AppConfig& config, HICON icon, const std::wstring& url);

// Logical pixels at 96 DPI to device pixels.
using ScaleFunction = int32_t (*)(int32_t);

// Where the progress window and its bar go.
struct SetupWindowLayout {
    int x = 0;
    int y = 0;
    int width = 0;   // scale(300)
    int height = 0;  // scale(90)
};

// The progress window centred on a screen of the given size: each half is a signed integer
// division that truncates toward zero.
SetupWindowLayout LayoutSetupWindow(int screenWidth, int screenHeight, ScaleFunction scale);

// The progress bar inside a client rectangle: offset by scale(10) from its top left corner, and
// scale(20) narrower and lower than it. The result holds x, y, width and height in left, top,
// right and bottom.
RECT LayoutProgressBar(const RECT& client, ScaleFunction scale);

// What the download thread is handed. It lives in the installer's stack frame and outlives the
// thread, which the installer joins before returning.
struct DownloadJob {
    std::wstring url;
    std::wstring targetPath;
    HWND window = nullptr;
    HWND progressBar = nullptr;
    // Written by the download thread before it ends: what URLDownloadToFileW returned.
    HRESULT result = E_FAIL;
};

// The download's status callback: it moves the progress bar. Made on the download thread for the
// length of the download.
class DownloadProgress final : public ComObject<IBindStatusCallback, IID_IBindStatusCallback> {
public:
    explicit DownloadProgress(HWND progressBar) : progressBar_(progressBar) {}

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
    // Moves the bar to progress * 100 / progressMax (single precision, truncated); a report
    // without a maximum changes nothing. Never cancels the download.
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                         LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                              STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override;

private:
    HWND progressBar_;
};

// Window procedure of the progress window: its destruction ends the installer's message loop.
LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Entry of the download thread (started with _beginthreadex); `job` is a DownloadJob*.
unsigned __stdcall DownloadThreadProc(void* job);

}  // namespace vandrel
