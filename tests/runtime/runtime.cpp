// A stand-in for WebView2Loader.dll. It answers the runtime check from files that the test lays
// out, and records every call it receives, one JSON object a line, in webview2-calls.log beside
// itself. See README.md in this folder.
#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>

#include "webview/webview2.h"

namespace {

using nlohmann::json;

std::string Utf8(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    }
    return out;
}

json OptionalText(const wchar_t* text) {
    return text == nullptr ? json(nullptr) : json(Utf8(text));
}

// Folder of this DLL, with a trailing backslash.
std::wstring OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&OwnFolder), &self);
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(self, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

void Log(const json& entry) {
    const std::string line = entry.dump() + "\n";
    HANDLE file = CreateFileW((OwnFolder() + L"webview2-calls.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

LPWSTR CoTaskCopy(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (out != nullptr) {
        memcpy(out, text.c_str(), bytes);
    }
    return out;
}

// The installed runtime is present when evergreen-runtime.txt lies beside this DLL; a runtime
// folder is usable when it holds msedgewebview2.exe (a relative folder is taken from the current
// directory, as the loader does).
bool RuntimePresent(PCWSTR browserFolder) {
    if (browserFolder == nullptr) {
        return Exists(OwnFolder() + L"evergreen-runtime.txt");
    }
    std::wstring folder(browserFolder);
    if (!folder.empty() && folder.back() != L'\\') {
        folder += L'\\';
    }
    return Exists(folder + L"msedgewebview2.exe");
}

std::string ReadOption(
    ICoreWebView2EnvironmentOptions* options,
    HRESULT (STDMETHODCALLTYPE ICoreWebView2EnvironmentOptions::*getter)(LPWSTR*)) {
    LPWSTR value = nullptr;
    if (options == nullptr || FAILED((options->*getter)(&value))) {
        return {};
    }
    std::string text = Utf8(value);
    CoTaskMemFree(value);
    return text;
}

std::string EnvironmentVariable(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return n > 0 && n < ARRAYSIZE(value) ? Utf8(value) : std::string();
}

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserFolder,
                                                                    LPWSTR* versionInfo) {
    const bool present = RuntimePresent(browserFolder);
    Log({{"call", "GetAvailableCoreWebView2BrowserVersionString"},
         {"browserFolder", OptionalText(browserFolder)},
         {"found", present}});
    if (versionInfo == nullptr) {
        return E_POINTER;
    }
    *versionInfo = present ? CoTaskCopy(L"134.0.3124.44") : nullptr;
    return present ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    using Options = ICoreWebView2EnvironmentOptions;
    Log({{"call", "CreateCoreWebView2EnvironmentWithOptions"},
         {"browserFolder", OptionalText(browserFolder)},
         {"userDataFolder", OptionalText(userDataFolder)},
         {"hasOptions", options != nullptr},
         {"additionalBrowserArguments",
          ReadOption(options, &Options::get_AdditionalBrowserArguments)},
         {"language", ReadOption(options, &Options::get_Language)},
         {"targetCompatibleBrowserVersion",
          ReadOption(options, &Options::get_TargetCompatibleBrowserVersion)},
         {"hasHandler", handler != nullptr},
         {"forcedHostingMode", EnvironmentVariable(L"COREWEBVIEW2_FORCED_HOSTING_MODE")}});
    return S_OK;
}

HRESULT STDAPICALLTYPE CreateCoreWebView2Environment(
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* /*handler*/) {
    Log({{"call", "CreateCoreWebView2Environment"}});
    return E_NOTIMPL;
}

HRESULT STDAPICALLTYPE CompareBrowserVersions(PCWSTR /*version1*/, PCWSTR /*version2*/,
                                              int* result) {
    Log({{"call", "CompareBrowserVersions"}});
    if (result != nullptr) {
        *result = 0;
    }
    return E_NOTIMPL;
}

HRESULT STDAPICALLTYPE GetAvailableCoreWebView2BrowserVersionStringWithOptions(
    PCWSTR /*browserFolder*/, ICoreWebView2EnvironmentOptions* /*options*/, LPWSTR* versionInfo) {
    Log({{"call", "GetAvailableCoreWebView2BrowserVersionStringWithOptions"}});
    if (versionInfo != nullptr) {
        *versionInfo = nullptr;
    }
    return E_NOTIMPL;
}

}  // extern "C"
