#pragma once

#include <string>

#include "win32/util/com_object.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// The browser version the host is built against; the runtime must be at least this new.
inline constexpr wchar_t kTargetCompatibleBrowserVersion[] = L"134.0.3124.44";

// The environment options object handed to CreateCoreWebView2EnvironmentWithOptions. Every option
// starts at the published default. Create() returns an object with one reference for the caller.
class EnvironmentOptions final
    : public ComObject<ICoreWebView2EnvironmentOptions, IID_ICoreWebView2EnvironmentOptions> {
public:
    static EnvironmentOptions* Create();

    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override;
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override;
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override;
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override;

private:
    EnvironmentOptions() = default;
    std::wstring additionalBrowserArguments_;
    std::wstring language_;
    std::wstring targetCompatibleBrowserVersion_ = kTargetCompatibleBrowserVersion;
    BOOL allowSingleSignOn_ = FALSE;
};

}  // namespace vandrel
