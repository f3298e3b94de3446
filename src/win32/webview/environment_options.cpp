#include "win32/webview/environment_options.h"

#include <cstring>
#include <new>

namespace vandrel {

namespace {

// A copy the caller frees with CoTaskMemFree.
HRESULT CopyOut(const std::wstring& text, LPWSTR* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *value = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*value == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(*value, text.c_str(), bytes);
    return S_OK;
}

HRESULT CopyIn(LPCWSTR value, std::wstring& text) {
    text = value != nullptr ? value : L"";
    return S_OK;
}

}  // namespace

EnvironmentOptions* EnvironmentOptions::Create() {
    return new (std::nothrow) EnvironmentOptions();
}

HRESULT EnvironmentOptions::get_AdditionalBrowserArguments(LPWSTR* value) {
    return CopyOut(additionalBrowserArguments_, value);
}
HRESULT EnvironmentOptions::put_AdditionalBrowserArguments(LPCWSTR value) {
    return CopyIn(value, additionalBrowserArguments_);
}
HRESULT EnvironmentOptions::get_Language(LPWSTR* value) {
    return CopyOut(language_, value);
}
HRESULT EnvironmentOptions::put_Language(LPCWSTR value) {
    return CopyIn(value, language_);
}
HRESULT EnvironmentOptions::get_TargetCompatibleBrowserVersion(LPWSTR* value) {
    return CopyOut(targetCompatibleBrowserVersion_, value);
}
HRESULT EnvironmentOptions::put_TargetCompatibleBrowserVersion(LPCWSTR value) {
    return CopyIn(value, targetCompatibleBrowserVersion_);
}
HRESULT EnvironmentOptions::get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) {
    if (allow == nullptr) {
        return E_POINTER;
    }
    *allow = allowSingleSignOn_;
    return S_OK;
}
HRESULT EnvironmentOptions::put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) {
    allowSingleSignOn_ = allow;
    return S_OK;
}

}  // namespace vandrel
