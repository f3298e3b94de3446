// A stand-in for the WebView2 runtime bootstrapper, served by the installer tests in its place.
//
// When run it writes, beside itself:
// - bootstrapper-run.txt: its command line (GetCommandLineW) on the first line and its current
//   directory on the second, in UTF-8;
// - bootstrapper-finished.txt: written last, just before it exits, after a short pause, so that a
//   caller that returns before this file exists has not waited for it.
// When the environment variable VANDREL_TEST_RUNTIME_FOLDER names a folder, it also writes
// evergreen-runtime.txt there, so that the stand-in WebView2Loader.dll in that folder reports an
// installed runtime from then on. It exits with code 7.
#include <windows.h>

#include <string>

#include "win32/util/text.h"

namespace {

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring folder = OwnFolder();

    wchar_t current[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(ARRAYSIZE(current), current);
    WriteWholeFile(folder + L"bootstrapper-run.txt", vandrel::WideToUtf8(GetCommandLineW()) + "\n" +
                                                         vandrel::WideToUtf8(current) + "\n");

    wchar_t runtimeFolder[MAX_PATH * 4] = {};
    const DWORD length = GetEnvironmentVariableW(L"VANDREL_TEST_RUNTIME_FOLDER", runtimeFolder,
                                                 ARRAYSIZE(runtimeFolder));
    if (length > 0 && length < ARRAYSIZE(runtimeFolder)) {
        std::wstring target(runtimeFolder);
        if (target.back() != L'\\') {
            target += L'\\';
        }
        WriteWholeFile(target + L"evergreen-runtime.txt", "");
    }

    Sleep(300);
    WriteWholeFile(folder + L"bootstrapper-finished.txt", "");
    return 7;
}
