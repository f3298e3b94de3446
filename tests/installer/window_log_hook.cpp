// A window-procedure hook (WH_CALLWNDPROC) that a test sets on one thread of another process; the
// system loads this library into that process and calls WindowLogProc there, in the thread, before
// each sent message reaches its window. It appends one line per event to window-log.txt in the
// process's current directory, so the test can read afterwards, in order, what the thread's
// windows went through, however briefly they were on the screen.
//
// A line is tab-separated: the event (create, show, hide, close or destroy), the window's class,
// its title, and its rectangle on the screen as left,top,right,bottom (UTF-8).
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) {
        return {};
    }
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void Log(const char* event, HWND window) {
    wchar_t className[256] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    wchar_t title[1024] = {};
    InternalGetWindowText(window, title, ARRAYSIZE(title));
    RECT rect{};
    GetWindowRect(window, &rect);
    const std::string line = std::string(event) + "\t" + Utf8(className) + "\t" + Utf8(title) +
                             "\t" + std::to_string(rect.left) + "," + std::to_string(rect.top) +
                             "," + std::to_string(rect.right) + "," + std::to_string(rect.bottom) +
                             "\n";
    HANDLE file =
        CreateFileW(L"window-log.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    WindowLogProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        switch (sent->message) {
            case WM_CREATE:
                Log("create", sent->hwnd);
                break;
            case WM_SHOWWINDOW:
                Log(sent->wParam ? "show" : "hide", sent->hwnd);
                break;
            case WM_CLOSE:
                Log("close", sent->hwnd);
                break;
            case WM_DESTROY:
                Log("destroy", sent->hwnd);
                break;
            default:
                break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
