// A stand-in for WebView2Loader.dll: the five published exports. It answers the runtime check
// from files that the test lays out, creates the environment asynchronously, and records every
// call in webview2-calls.log beside itself. See README.md in this folder.
#include <windows.h>

#include "browser.h"

using namespace vandrel::testruntime;

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

json OptionalText(const wchar_t* text) {
    return text == nullptr ? json(nullptr) : json(Utf8(text));
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
    std::string text = Utf8(value != nullptr ? value : L"");
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
    if (!present) {
        *versionInfo = nullptr;
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    return CoTaskCopy(kBrowserVersion, versionInfo);
}

// Completes later, from the calling thread's message loop: with the environment, or with the
// failure that the runtime options or a missing runtime call for.
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
    if (handler == nullptr) {
        return E_POINTER;
    }
    RuntimeOptions given = RuntimeOptions::Read();
    HRESULT result = given.environmentResult;
    bool deliver = given.environmentObject;
    if (SUCCEEDED(result) && !RuntimePresent(browserFolder)) {
        result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const std::shared_ptr<Runtime> runtime = Runtime::Create(std::move(given));
    if (!runtime) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    auto completed =
        Ref<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Share(handler);
    runtime->Post([runtime, completed, result, deliver] {
        Ref<ICoreWebView2Environment> environment;
        if (SUCCEEDED(result) && deliver) {
            environment = Ref<ICoreWebView2Environment>::Adopt(new Environment(runtime));
        }
        Log({{"event", "environment-created"},
             {"result", HresultText(result)},
             {"delivered", static_cast<bool>(environment)}});
        completed->Invoke(result, environment.Get());
    });
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
