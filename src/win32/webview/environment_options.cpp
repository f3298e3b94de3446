#include "win32/webview/environment_options.h"

#include <cstring>
#include <new>

namespace vandrel {

EnvironmentOptions* EnvironmentOptions::Create() {
    return new (std::nothrow) EnvironmentOptions();
}

HRESULT EnvironmentOptions::CopyOut(const std::wstring& text, LPWSTR* value) {
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
