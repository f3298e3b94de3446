#include <windows.h>

#include "event_args.h"

namespace vandrel::testruntime {

namespace {

class NavigationStartingArgs : public ComObject<ICoreWebView2NavigationStartingEventArgs,
                                                IID_ICoreWebView2NavigationStartingEventArgs> {
public:
    NavigationStartingArgs(std::wstring uri, bool redirected, UINT64 id)
        : uri_(std::move(uri)), redirected_(redirected), id_(id) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CoTaskCopy(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        return GiveValue<BOOL>(FALSE, isUserInitiated);
    }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* isRedirected) override {
        return GiveValue<BOOL>(redirected_, isRedirected);
    }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) override {
        return E_NOTIMPL;
    }
    VANDREL_KEPT_PROPERTY(Cancel, BOOL, cancel_)
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override {
        return GiveValue(id_, navigationId);
    }

private:
    std::wstring uri_;
    bool redirected_;
    UINT64 id_;
    BOOL cancel_ = FALSE;
};

class PermissionRequestedArgs : public ComObject<ICoreWebView2PermissionRequestedEventArgs,
                                                 IID_ICoreWebView2PermissionRequestedEventArgs> {
public:
    PermissionRequestedArgs(std::wstring uri, COREWEBVIEW2_PERMISSION_KIND kind)
        : uri_(std::move(uri)), kind_(kind) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CoTaskCopy(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* kind) override {
        return GiveValue(kind_, kind);
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        return GiveValue<BOOL>(FALSE, isUserInitiated);
    }
    VANDREL_KEPT_PROPERTY(State, COREWEBVIEW2_PERMISSION_STATE, state_)
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }

private:
    std::wstring uri_;
    COREWEBVIEW2_PERMISSION_KIND kind_;
    COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

class NewWindowRequestedArgs : public ComObject<ICoreWebView2NewWindowRequestedEventArgs,
                                                IID_ICoreWebView2NewWindowRequestedEventArgs> {
public:
    explicit NewWindowRequestedArgs(std::wstring uri) : uri_(std::move(uri)) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CoTaskCopy(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) override {
        newWindow_ = Ref<ICoreWebView2>::Share(newWindow);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) override {
        return GiveOut(newWindow_.Get(), newWindow);
    }
    VANDREL_KEPT_PROPERTY(Handled, BOOL, handled_)
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        return GiveValue<BOOL>(FALSE, isUserInitiated);
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override {
        return E_NOTIMPL;
    }

private:
    std::wstring uri_;
    Ref<ICoreWebView2> newWindow_;
    BOOL handled_ = FALSE;
};

class WebMessageReceivedArgs : public ComObject<ICoreWebView2WebMessageReceivedEventArgs,
                                                IID_ICoreWebView2WebMessageReceivedEventArgs> {
public:
    WebMessageReceivedArgs(std::wstring source, std::wstring json,
                           std::optional<std::wstring> string)
        : source_(std::move(source)), json_(std::move(json)), string_(std::move(string)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override {
        return CoTaskCopy(source_, value);
    }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) override {
        return CoTaskCopy(json_, value);
    }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (!string_) {
            *value = nullptr;
            return E_INVALIDARG;
        }
        return CoTaskCopy(*string_, value);
    }

private:
    std::wstring source_;
    std::wstring json_;
    std::optional<std::wstring> string_;
};

class AcceleratorKeyPressedArgs
    : public ComObject<ICoreWebView2AcceleratorKeyPressedEventArgs,
                       IID_ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    AcceleratorKeyPressedArgs(UINT key, COREWEBVIEW2_KEY_EVENT_KIND kind, bool repeat)
        : key_(key), kind_(kind) {
        const bool up = kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP ||
                        kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP;
        status_.RepeatCount = 1;
        status_.ScanCode = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
        status_.IsExtendedKey = FALSE;
        status_.IsMenuKeyDown = kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN ||
                                kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP;
        status_.WasKeyDown = up || repeat;
        status_.IsKeyReleased = up;
    }
    // From a key message and its lParam.
    AcceleratorKeyPressedArgs(UINT key, COREWEBVIEW2_KEY_EVENT_KIND kind, UINT32 lParam)
        : key_(key), kind_(kind) {
        status_.RepeatCount = lParam & 0xFFFF;
        status_.ScanCode = (lParam >> 16) & 0xFF;
        status_.IsExtendedKey = (lParam >> 24) & 1;
        status_.IsMenuKeyDown = (lParam >> 29) & 1;
        status_.WasKeyDown = (lParam >> 30) & 1;
        status_.IsKeyReleased = (lParam >> 31) & 1;
    }

    HRESULT STDMETHODCALLTYPE get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* kind) override {
        return GiveValue(kind_, kind);
    }
    HRESULT STDMETHODCALLTYPE get_VirtualKey(UINT* virtualKey) override {
        return GiveValue(key_, virtualKey);
    }
    // The lParam of the matching WM_KEYDOWN/WM_KEYUP message.
    HRESULT STDMETHODCALLTYPE get_KeyEventLParam(INT* lParam) override {
        const UINT32 value = status_.RepeatCount | ((status_.ScanCode & 0xFF) << 16) |
                             (status_.IsMenuKeyDown ? 1u << 29 : 0) |
                             (status_.WasKeyDown ? 1u << 30 : 0) |
                             (status_.IsKeyReleased ? 1u << 31 : 0);
        return GiveValue(static_cast<INT>(value), lParam);
    }
    HRESULT STDMETHODCALLTYPE
    get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* physicalKeyStatus) override {
        return GiveValue(status_, physicalKeyStatus);
    }
    VANDREL_KEPT_PROPERTY(Handled, BOOL, handled_)

private:
    UINT key_;
    COREWEBVIEW2_KEY_EVENT_KIND kind_;
    COREWEBVIEW2_PHYSICAL_KEY_STATUS status_{};
    BOOL handled_ = FALSE;
};

class NavigationCompletedArgs : public ComObject<ICoreWebView2NavigationCompletedEventArgs,
                                                 IID_ICoreWebView2NavigationCompletedEventArgs> {
public:
    NavigationCompletedArgs(bool success, COREWEBVIEW2_WEB_ERROR_STATUS status, UINT64 id)
        : success_(success ? TRUE : FALSE), status_(status), id_(id) {}

    HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* value) override {
        return GiveValue(success_, value);
    }
    HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* value) override {
        return GiveValue(status_, value);
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override {
        return GiveValue(id_, value);
    }

private:
    BOOL success_;
    COREWEBVIEW2_WEB_ERROR_STATUS status_;
    UINT64 id_;
};

class DOMContentLoadedArgs : public ComObject<ICoreWebView2DOMContentLoadedEventArgs,
                                              IID_ICoreWebView2DOMContentLoadedEventArgs> {
public:
    explicit DOMContentLoadedArgs(UINT64 id) : id_(id) {}

    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override {
        return GiveValue(id_, value);
    }

private:
    UINT64 id_;
};

class DevToolsEventArgs
    : public ComObject<ICoreWebView2DevToolsProtocolEventReceivedEventArgs,
                       IID_ICoreWebView2DevToolsProtocolEventReceivedEventArgs> {
public:
    explicit DevToolsEventArgs(std::wstring parameters) : parameters_(std::move(parameters)) {}
    HRESULT STDMETHODCALLTYPE get_ParameterObjectAsJson(LPWSTR* value) override {
        return CoTaskCopy(parameters_, value);
    }

private:
    std::wstring parameters_;
};

class ProcessFailedArgs : public ComObject<ICoreWebView2ProcessFailedEventArgs2,
                                           IID_ICoreWebView2ProcessFailedEventArgs2> {
public:
    ProcessFailedArgs(COREWEBVIEW2_PROCESS_FAILED_KIND kind,
                      COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exitCode,
                      std::wstring description)
        : kind_(kind), reason_(reason), exitCode_(exitCode), description_(std::move(description)) {}

    HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) override {
        return GiveValue(kind_, value);
    }
    HRESULT STDMETHODCALLTYPE get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* reason) override {
        return GiveValue(reason_, reason);
    }
    HRESULT STDMETHODCALLTYPE get_ExitCode(int* exitCode) override {
        return GiveValue(exitCode_, exitCode);
    }
    HRESULT STDMETHODCALLTYPE get_ProcessDescription(LPWSTR* value) override {
        return CoTaskCopy(description_, value);
    }
    HRESULT STDMETHODCALLTYPE
    get_FrameInfosForFailedProcess(ICoreWebView2FrameInfoCollection** frames) override {
        if (frames != nullptr) {
            *frames = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    bool Answers(REFIID iid) override {
        return ComObject::Answers(iid) || IsEqualIID(iid, IID_ICoreWebView2ProcessFailedEventArgs);
    }

    COREWEBVIEW2_PROCESS_FAILED_KIND kind_;
    COREWEBVIEW2_PROCESS_FAILED_REASON reason_;
    int exitCode_;
    std::wstring description_;
};

}  // namespace

Ref<ICoreWebView2NavigationStartingEventArgs> MakeNavigationStartingArgs(const std::wstring& uri,
                                                                         bool redirected,
                                                                         UINT64 navigationId) {
    return Ref<ICoreWebView2NavigationStartingEventArgs>::Adopt(
        new NavigationStartingArgs(uri, redirected, navigationId));
}

Ref<ICoreWebView2PermissionRequestedEventArgs> MakePermissionRequestedArgs(
    const std::wstring& uri, COREWEBVIEW2_PERMISSION_KIND kind) {
    return Ref<ICoreWebView2PermissionRequestedEventArgs>::Adopt(
        new PermissionRequestedArgs(uri, kind));
}

Ref<ICoreWebView2NewWindowRequestedEventArgs> MakeNewWindowRequestedArgs(const std::wstring& uri) {
    return Ref<ICoreWebView2NewWindowRequestedEventArgs>::Adopt(new NewWindowRequestedArgs(uri));
}

Ref<ICoreWebView2WebMessageReceivedEventArgs> MakeWebMessageReceivedArgs(
    const std::wstring& source, const std::wstring& json, std::optional<std::wstring> string) {
    return Ref<ICoreWebView2WebMessageReceivedEventArgs>::Adopt(
        new WebMessageReceivedArgs(source, json, std::move(string)));
}

Ref<ICoreWebView2AcceleratorKeyPressedEventArgs> MakeAcceleratorKeyPressedArgs(
    UINT virtualKey, COREWEBVIEW2_KEY_EVENT_KIND kind, bool repeat) {
    return Ref<ICoreWebView2AcceleratorKeyPressedEventArgs>::Adopt(
        new AcceleratorKeyPressedArgs(virtualKey, kind, repeat));
}

Ref<ICoreWebView2NavigationCompletedEventArgs> MakeNavigationCompletedArgs(
    bool success, COREWEBVIEW2_WEB_ERROR_STATUS status, UINT64 navigationId) {
    return Ref<ICoreWebView2NavigationCompletedEventArgs>::Adopt(
        new NavigationCompletedArgs(success, status, navigationId));
}

Ref<ICoreWebView2AcceleratorKeyPressedEventArgs> MakeAcceleratorKeyPressedArgs(UINT message,
                                                                               WPARAM virtualKey,
                                                                               LPARAM lParam) {
    const auto kind = static_cast<COREWEBVIEW2_KEY_EVENT_KIND>(
        message == WM_KEYDOWN      ? COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN
        : message == WM_KEYUP      ? COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP
        : message == WM_SYSKEYDOWN ? COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN
                                   : COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP);
    return Ref<ICoreWebView2AcceleratorKeyPressedEventArgs>::Adopt(new AcceleratorKeyPressedArgs(
        static_cast<UINT>(virtualKey), kind, static_cast<UINT32>(lParam)));
}

Ref<ICoreWebView2DevToolsProtocolEventReceivedEventArgs> MakeDevToolsEventArgs(
    const std::wstring& parameters) {
    return Ref<ICoreWebView2DevToolsProtocolEventReceivedEventArgs>::Adopt(
        new DevToolsEventArgs(parameters));
}

Ref<ICoreWebView2ProcessFailedEventArgs> MakeProcessFailedArgs(
    COREWEBVIEW2_PROCESS_FAILED_KIND kind, COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exitCode,
    const std::wstring& description) {
    return Ref<ICoreWebView2ProcessFailedEventArgs>::Adopt(
        new ProcessFailedArgs(kind, reason, exitCode, description));
}

Ref<ICoreWebView2DOMContentLoadedEventArgs> MakeDOMContentLoadedArgs(UINT64 navigationId) {
    return Ref<ICoreWebView2DOMContentLoadedEventArgs>::Adopt(
        new DOMContentLoadedArgs(navigationId));
}

}  // namespace vandrel::testruntime
