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

// A text option: get_ hands out a copy the caller frees with CoTaskMemFree; put_ keeps a copy
// (a null pointer as empty text).
#define VANDREL_TEXT_OPTION(name, member)                          \
    HRESULT STDMETHODCALLTYPE get_##name(LPWSTR* value) override { \
        return CopyOut(member, value);                             \
    }                                                              \
    HRESULT STDMETHODCALLTYPE put_##name(LPCWSTR value) override { \
        member = value != nullptr ? value : L"";                   \
        return S_OK;                                               \
    }
    VANDREL_TEXT_OPTION(AdditionalBrowserArguments, additionalBrowserArguments_)
    VANDREL_TEXT_OPTION(Language, language_)
    VANDREL_TEXT_OPTION(TargetCompatibleBrowserVersion, targetCompatibleBrowserVersion_)
#undef VANDREL_TEXT_OPTION
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override;
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override;

private:
    EnvironmentOptions() = default;
    static HRESULT CopyOut(const std::wstring& text, LPWSTR* value);

    std::wstring additionalBrowserArguments_;
    std::wstring language_;
    std::wstring targetCompatibleBrowserVersion_ = kTargetCompatibleBrowserVersion;
    BOOL allowSingleSignOn_ = FALSE;
};

}  // namespace vandrel
