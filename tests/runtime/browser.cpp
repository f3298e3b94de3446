#include <windows.h>

#include <cstdio>

#include "browser.h"

#include "event_args.h"
#include "file_system.h"
#include "web_resource.h"

namespace vandrel::testruntime {

namespace {

// The interfaces each object answers, by name (the names `withhold` refuses). An object implements
// each interface of its list, since every later one derives from the one before.
const KnownInterface kEnvironmentInterfaces[] = {
    {&IID_ICoreWebView2Environment, "ICoreWebView2Environment"},
    {&IID_ICoreWebView2Environment2, "ICoreWebView2Environment2"},
    {&IID_ICoreWebView2Environment3, "ICoreWebView2Environment3"},
    {&IID_ICoreWebView2Environment4, "ICoreWebView2Environment4"},
    {&IID_ICoreWebView2Environment5, "ICoreWebView2Environment5"},
    {&IID_ICoreWebView2Environment6, "ICoreWebView2Environment6"},
    {&IID_ICoreWebView2Environment7, "ICoreWebView2Environment7"},
    {&IID_ICoreWebView2Environment8, "ICoreWebView2Environment8"},
    {&IID_ICoreWebView2Environment9, "ICoreWebView2Environment9"},
    {&IID_ICoreWebView2Environment10, "ICoreWebView2Environment10"},
    {&IID_ICoreWebView2Environment11, "ICoreWebView2Environment11"},
    {&IID_ICoreWebView2Environment12, "ICoreWebView2Environment12"},
    {&IID_ICoreWebView2Environment13, "ICoreWebView2Environment13"},
    {&IID_ICoreWebView2Environment14, "ICoreWebView2Environment14"},
};

const KnownInterface kControllerInterfaces[] = {
    {&IID_ICoreWebView2Controller, "ICoreWebView2Controller"},
    {&IID_ICoreWebView2Controller2, "ICoreWebView2Controller2"},
};

// The class of the page's child window.
constexpr wchar_t kViewClass[] = L"VandrelStandInView";

// The runtime reports a key as an accelerator when Ctrl or Alt is held, when the key makes no
// character, and always for Escape; never for Shift alone.
bool IsAcceleratorKey(UINT message, WPARAM key) {
    if (key == VK_SHIFT || key == VK_LSHIFT || key == VK_RSHIFT) {
        return false;
    }
    return message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || key == VK_ESCAPE ||
           GetKeyState(VK_CONTROL) < 0 ||
           MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR) == 0;
}

std::string ColorText(COREWEBVIEW2_COLOR color) {
    char text[16];
    snprintf(text, sizeof(text), "#%02X%02X%02X", color.R, color.G, color.B);
    return text;
}

const KnownInterface kWebViewInterfaces[] = {
    {&IID_ICoreWebView2, "ICoreWebView2"},       {&IID_ICoreWebView2_2, "ICoreWebView2_2"},
    {&IID_ICoreWebView2_3, "ICoreWebView2_3"},   {&IID_ICoreWebView2_4, "ICoreWebView2_4"},
    {&IID_ICoreWebView2_5, "ICoreWebView2_5"},   {&IID_ICoreWebView2_6, "ICoreWebView2_6"},
    {&IID_ICoreWebView2_7, "ICoreWebView2_7"},   {&IID_ICoreWebView2_8, "ICoreWebView2_8"},
    {&IID_ICoreWebView2_9, "ICoreWebView2_9"},   {&IID_ICoreWebView2_10, "ICoreWebView2_10"},
    {&IID_ICoreWebView2_11, "ICoreWebView2_11"}, {&IID_ICoreWebView2_12, "ICoreWebView2_12"},
    {&IID_ICoreWebView2_13, "ICoreWebView2_13"}, {&IID_ICoreWebView2_14, "ICoreWebView2_14"},
    {&IID_ICoreWebView2_15, "ICoreWebView2_15"}, {&IID_ICoreWebView2_16, "ICoreWebView2_16"},
    {&IID_ICoreWebView2_17, "ICoreWebView2_17"}, {&IID_ICoreWebView2_18, "ICoreWebView2_18"},
    {&IID_ICoreWebView2_19, "ICoreWebView2_19"}, {&IID_ICoreWebView2_20, "ICoreWebView2_20"},
    {&IID_ICoreWebView2_21, "ICoreWebView2_21"}, {&IID_ICoreWebView2_22, "ICoreWebView2_22"},
    {&IID_ICoreWebView2_23, "ICoreWebView2_23"},
};

const KnownInterface kSettingsInterfaces[] = {
    {&IID_ICoreWebView2Settings, "ICoreWebView2Settings"},
    {&IID_ICoreWebView2Settings2, "ICoreWebView2Settings2"},
    {&IID_ICoreWebView2Settings3, "ICoreWebView2Settings3"},
};

std::string GuidText(REFIID iid) {
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, ARRAYSIZE(text));
    return Utf8(text);
}

json OptionalText(LPCWSTR text) {
    return text == nullptr ? json(nullptr) : json(Utf8(text));
}

json WindowNumber(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

// A logged BOOL property of the settings.
HRESULT GetSwitch(const char* on, const char* call, BOOL field, BOOL* value) {
    Log({{"call", call}, {"on", on}, {"value", field != FALSE}});
    return GiveValue(field, value);
}

HRESULT PutSwitch(const char* on, const char* call, BOOL value, BOOL& field) {
    Log({{"call", call}, {"on", on}, {"value", value != FALSE}});
    field = value;
    return S_OK;
}

// An item of additional objects as the page would get it: null, a file-system handle read back
// through its published interface, or {} for any other object.
json DescribeObject(IUnknown* item) {
    if (item == nullptr) {
        return nullptr;
    }
    Ref<ICoreWebView2FileSystemHandle> handle;
    if (FAILED(item->QueryInterface(IID_ICoreWebView2FileSystemHandle,
                                    reinterpret_cast<void**>(handle.Put()))) ||
        !handle) {
        return json::object();
    }
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind{};
    LPWSTR path = nullptr;
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission{};
    handle->get_Kind(&kind);
    handle->get_Path(&path);
    handle->get_Permission(&permission);
    json description = {{"kind", static_cast<int>(kind)},
                        {"path", OptionalText(path)},
                        {"permission", static_cast<int>(permission)}};
    CoTaskMemFree(path);
    return description;
}

}  // namespace

bool Answer(const Runtime& runtime, const char* on, REFIID iid,
            std::span<const KnownInterface> known) {
    std::string name = iid == IID_IUnknown ? "IUnknown" : "";
    bool answered = iid == IID_IUnknown;
    for (const KnownInterface& candidate : known) {
        if (*candidate.iid == iid) {
            name = candidate.name;
            answered = !runtime.Options().withheld.contains(name);
        }
    }
    Log({{"call", "QueryInterface"},
         {"on", on},
         {"interface", name.empty() ? GuidText(iid) : name},
         {"answered", answered}});
    return answered;
}

HRESULT NotImplemented(const char* on, const char* call) {
    Log({{"call", call}, {"on", on}, {"implemented", false}});
    return E_NOTIMPL;
}

HRESULT BrowserGone(const char* on, const char* call) {
    Log({{"call", call}, {"on", on}, {"browserGone", true}});
    return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
}

// Environment

Environment::Environment(std::shared_ptr<Runtime> runtime) : runtime_(std::move(runtime)) {}

Environment::~Environment() {
    Log({{"call", "destroyed"}, {"object", "environment"}});
}

bool Environment::Answers(REFIID iid) {
    return Answer(*runtime_, "environment", iid, kEnvironmentInterfaces);
}

HRESULT Environment::CreateCoreWebView2Controller(
    HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    Log({{"call", "CreateCoreWebView2Controller"},
         {"on", "environment"},
         {"parentWindow", WindowNumber(parentWindow)},
         {"hasHandler", handler != nullptr}});
    if (handler == nullptr) {
        return E_POINTER;
    }
    if (runtime_->BrowserGone()) {
        return BrowserGone("environment", "CreateCoreWebView2Controller");
    }
    auto self = Ref<ICoreWebView2Environment>::Share(this);
    auto completed = Ref<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler);
    runtime_->Post([runtime = runtime_, self, completed, parentWindow] {
        const RuntimeOptions& options = runtime->Options();
        Ref<ICoreWebView2Controller> controller;
        if (SUCCEEDED(options.controllerResult) && options.controllerObject) {
            controller = Ref<ICoreWebView2Controller>::Adopt(
                static_cast<ICoreWebView2Controller*>(new Controller(runtime, self, parentWindow)));
        }
        Log({{"event", "controller-created"},
             {"result", HresultText(options.controllerResult)},
             {"delivered", static_cast<bool>(controller)}});
        completed->Invoke(options.controllerResult, controller.Get());
    });
    return S_OK;
}

HRESULT Environment::CreateWebResourceResponse(IStream* content, int statusCode,
                                               LPCWSTR reasonPhrase, LPCWSTR headers,
                                               ICoreWebView2WebResourceResponse** response) {
    Log({{"call", "CreateWebResourceResponse"},
         {"on", "environment"},
         {"hasContent", content != nullptr},
         {"status", statusCode},
         {"reason", OptionalText(reasonPhrase)},
         {"headers", OptionalText(headers)}});
    return testruntime::CreateWebResourceResponse(content, statusCode, reasonPhrase, headers,
                                                  response);
}

HRESULT Environment::get_BrowserVersionString(LPWSTR* versionInfo) {
    Log({{"call", "get_BrowserVersionString"}, {"on", "environment"}});
    return CoTaskCopy(kBrowserVersion, versionInfo);
}

HRESULT Environment::CreateWebFileSystemFileHandle(
    LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
    ICoreWebView2FileSystemHandle** value) {
    Log({{"call", "CreateWebFileSystemFileHandle"},
         {"on", "environment14"},
         {"path", OptionalText(path)},
         {"permission", static_cast<int>(permission)}});
    return CreateFileSystemHandle(kFileHandleKind, path, permission, value);
}

HRESULT Environment::CreateWebFileSystemDirectoryHandle(
    LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
    ICoreWebView2FileSystemHandle** value) {
    Log({{"call", "CreateWebFileSystemDirectoryHandle"},
         {"on", "environment14"},
         {"path", OptionalText(path)},
         {"permission", static_cast<int>(permission)}});
    return CreateFileSystemHandle(kDirectoryHandleKind, path, permission, value);
}

HRESULT Environment::CreateObjectCollection(UINT32 length, IUnknown** items,
                                            ICoreWebView2ObjectCollection** objectCollection) {
    json nulls = json::array();
    for (UINT32 i = 0; items != nullptr && i < length; ++i) {
        if (items[i] == nullptr) {
            nulls.push_back(i);
        }
    }
    Log({{"call", "CreateObjectCollection"},
         {"on", "environment14"},
         {"length", length},
         {"nulls", items == nullptr && length > 0 ? json(nullptr) : nulls}});
    return testruntime::CreateObjectCollection(length, items, objectCollection);
}

// Controller

Controller::Controller(std::shared_ptr<Runtime> runtime, Ref<ICoreWebView2Environment> environment,
                       HWND parent)
    : runtime_(runtime),
      webview_(Ref<WebView>::Adopt(new WebView(runtime, std::move(environment), this))),
      parent_(parent) {
    static const ATOM viewClass = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = &Controller::ViewProc;
        description.hInstance = OwnModule();
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.lpszClassName = kViewClass;
        return RegisterClassExW(&description);
    }();
    if (viewClass != 0 && IsWindow(parent)) {
        view_ = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                0, 0, parent, nullptr, OwnModule(), nullptr);
        SetWindowLongPtrW(view_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

Controller::~Controller() {
    EndView();
    webview_->DetachController();
    Log({{"call", "destroyed"}, {"object", "controller"}});
}

void Controller::EndView() {
    if (view_ != nullptr) {
        SetWindowLongPtrW(view_, GWLP_USERDATA, 0);
        if (IsWindow(view_)) {
            DestroyWindow(view_);
        }
        view_ = nullptr;
    }
}

LRESULT CALLBACK Controller::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* controller = reinterpret_cast<Controller*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (controller != nullptr && IsAcceleratorKey(message, wParam)) {
                const auto self = Ref<Controller>::Share(controller);
                if (self->OnKeyMessage(message, wParam, lParam)) {
                    return 0;
                }
            }
            break;
        case WM_NCDESTROY:
            if (controller != nullptr) {
                controller->view_ = nullptr;  // gone with its parent
            }
            break;
        default:
            break;
    }
    // What no handler took goes on as in any window: Alt+F4 closes the top-level window, Alt
    // alone asks it for its menu.
    return DefWindowProcW(window, message, wParam, lParam);
}

bool Controller::OnKeyMessage(UINT message, WPARAM key, LPARAM lParam) {
    const auto args = MakeAcceleratorKeyPressedArgs(message, key, lParam);
    acceleratorKeyPressed_.Raise(static_cast<ICoreWebView2Controller*>(this), args.Get());
    BOOL handled = FALSE;
    args->get_Handled(&handled);
    COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    args->get_KeyEventKind(&kind);
    Log({{"event", "key"},
         {"key", key},
         {"kind", static_cast<int>(kind)},
         {"handled", handled != FALSE},
         {"fromWindow", true}});
    return handled != FALSE;
}

bool Controller::Answers(REFIID iid) {
    return Answer(*runtime_, "controller", iid, kControllerInterfaces);
}

bool Controller::PressKey(UINT virtualKey, COREWEBVIEW2_KEY_EVENT_KIND kind, bool repeat) {
    const auto args = MakeAcceleratorKeyPressedArgs(virtualKey, kind, repeat);
    acceleratorKeyPressed_.Raise(static_cast<ICoreWebView2Controller*>(this), args.Get());
    BOOL handled = FALSE;
    args->get_Handled(&handled);
    return handled != FALSE;
}

HRESULT Controller::get_IsVisible(BOOL* isVisible) {
    return GetSwitch("controller", "get_IsVisible", visible_, isVisible);
}

HRESULT Controller::put_IsVisible(BOOL isVisible) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("controller", "put_IsVisible");
    }
    if (view_ != nullptr) {
        ShowWindow(view_, isVisible ? SW_SHOWNA : SW_HIDE);
    }
    return PutSwitch("controller", "put_IsVisible", isVisible, visible_);
}

HRESULT Controller::get_Bounds(RECT* bounds) {
    Log({{"call", "get_Bounds"}, {"on", "controller"}});
    return GiveValue(bounds_, bounds);
}

HRESULT Controller::put_Bounds(RECT bounds) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("controller", "put_Bounds");
    }
    if (view_ != nullptr) {
        MoveWindow(view_, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, TRUE);
    }
    Log({{"call", "put_Bounds"},
         {"on", "controller"},
         {"left", bounds.left},
         {"top", bounds.top},
         {"right", bounds.right},
         {"bottom", bounds.bottom}});
    bounds_ = bounds;
    return S_OK;
}

HRESULT Controller::get_ZoomFactor(double* zoomFactor) {
    Log({{"call", "get_ZoomFactor"}, {"on", "controller"}});
    return GiveValue(zoomFactor_, zoomFactor);
}

HRESULT Controller::put_ZoomFactor(double zoomFactor) {
    Log({{"call", "put_ZoomFactor"}, {"on", "controller"}, {"value", zoomFactor}});
    zoomFactor_ = zoomFactor;
    return S_OK;
}

HRESULT Controller::SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) {
    Log({{"call", "SetBoundsAndZoomFactor"},
         {"on", "controller"},
         {"left", bounds.left},
         {"top", bounds.top},
         {"right", bounds.right},
         {"bottom", bounds.bottom},
         {"zoomFactor", zoomFactor}});
    bounds_ = bounds;
    zoomFactor_ = zoomFactor;
    return S_OK;
}

HRESULT Controller::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("controller", "MoveFocus");
    }
    Log({{"call", "MoveFocus"}, {"on", "controller"}, {"reason", static_cast<int>(reason)}});
    if (view_ != nullptr) {
        SetFocus(view_);
    }
    return S_OK;
}

HRESULT Controller::get_ParentWindow(HWND* parentWindow) {
    Log({{"call", "get_ParentWindow"}, {"on", "controller"}});
    return GiveValue(parent_, parentWindow);
}

HRESULT Controller::put_ParentWindow(HWND parentWindow) {
    Log({{"call", "put_ParentWindow"},
         {"on", "controller"},
         {"value", WindowNumber(parentWindow)}});
    parent_ = parentWindow;
    return S_OK;
}

HRESULT Controller::NotifyParentWindowPositionChanged() {
    Log({{"call", "NotifyParentWindowPositionChanged"}, {"on", "controller"}});
    return S_OK;
}

HRESULT Controller::Close() {
    Log({{"call", "Close"}, {"on", "controller"}});
    acceleratorKeyPressed_.Clear();
    webview_->Close();
    EndView();
    return S_OK;
}

HRESULT Controller::get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* value) {
    Log({{"call", "get_DefaultBackgroundColor"}, {"on", "controller2"}});
    return GiveValue(background_, value);
}

// Only an opaque or a fully transparent colour is taken.
HRESULT Controller::put_DefaultBackgroundColor(COREWEBVIEW2_COLOR value) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("controller2", "put_DefaultBackgroundColor");
    }
    const bool taken = value.A == 0 || value.A == 255;
    Log({{"call", "put_DefaultBackgroundColor"},
         {"on", "controller2"},
         {"value", ColorText(value)},
         {"alpha", value.A},
         {"taken", taken}});
    if (!taken) {
        return E_INVALIDARG;
    }
    background_ = value;
    return S_OK;
}

HRESULT Controller::get_CoreWebView2(ICoreWebView2** coreWebView2) {
    Log({{"call", "get_CoreWebView2"}, {"on", "controller"}});
    return GiveOut<ICoreWebView2>(webview_.Get(), coreWebView2);
}

// Settings

// A logged BOOL property of the settings, reported on `on`, kept in `field`.
#define SETTINGS_SWITCH(on, name, field)                  \
    HRESULT Settings::get_##name(BOOL* value) {           \
        return GetSwitch(on, "get_" #name, field, value); \
    }                                                     \
    HRESULT Settings::put_##name(BOOL value) {            \
        return PutSwitch(on, "put_" #name, value, field); \
    }

bool Settings::Answers(REFIID iid) {
    return Answer(*runtime_, "settings", iid, kSettingsInterfaces);
}

SETTINGS_SWITCH("settings", IsScriptEnabled, isScriptEnabled_)
SETTINGS_SWITCH("settings", IsWebMessageEnabled, isWebMessageEnabled_)
SETTINGS_SWITCH("settings", AreDefaultScriptDialogsEnabled, areDefaultScriptDialogsEnabled_)
SETTINGS_SWITCH("settings", IsStatusBarEnabled, isStatusBarEnabled_)
SETTINGS_SWITCH("settings", AreDevToolsEnabled, areDevToolsEnabled_)
SETTINGS_SWITCH("settings", AreDefaultContextMenusEnabled, areDefaultContextMenusEnabled_)
SETTINGS_SWITCH("settings", AreHostObjectsAllowed, areHostObjectsAllowed_)
SETTINGS_SWITCH("settings", IsZoomControlEnabled, isZoomControlEnabled_)
SETTINGS_SWITCH("settings", IsBuiltInErrorPageEnabled, isBuiltInErrorPageEnabled_)
HRESULT Settings::get_UserAgent(LPWSTR* value) {
    Log({{"call", "get_UserAgent"}, {"on", "settings2"}});
    return CoTaskCopy(userAgent_, value);
}
HRESULT Settings::put_UserAgent(LPCWSTR value) {
    Log({{"call", "put_UserAgent"}, {"on", "settings2"}, {"value", OptionalText(value)}});
    if (value == nullptr) {
        return E_POINTER;
    }
    userAgent_ = value;
    return S_OK;
}
SETTINGS_SWITCH("settings3", AreBrowserAcceleratorKeysEnabled, areBrowserAcceleratorKeysEnabled_)

// WebView

WebView::WebView(std::shared_ptr<Runtime> runtime, Ref<ICoreWebView2Environment> environment,
                 Controller* controller)
    : runtime_(runtime),
      environment_(std::move(environment)),
      controller_(controller),
      settings_(Ref<Settings>::Adopt(new Settings(runtime))) {}

WebView::~WebView() {
    runtime_->Stop(this);
    Log({{"call", "destroyed"}, {"object", "webview"}});
}

bool WebView::Answers(REFIID iid) {
    return Answer(*runtime_, "webview", iid, kWebViewInterfaces);
}

void WebView::Close() {
    runtime_->Stop(this);
    navigationStarting_.Clear();
    permissionRequested_.Clear();
    webMessageReceived_.Clear();
    newWindowRequested_.Clear();
    documentTitleChanged_.Clear();
    containsFullScreenElementChanged_.Clear();
    webResourceRequested_.Clear();
    windowCloseRequested_.Clear();
    domContentLoaded_.Clear();
    navigationCompleted_.Clear();
    processFailed_.Clear();
    for (auto& [name, receiver] : devToolsReceivers_) {
        receiver->Clear();
    }
}

void DevToolsReceiver::Raise(ICoreWebView2* sender, const std::wstring& parameters) const {
    const auto args = MakeDevToolsEventArgs(parameters);
    received_.Raise(sender, args.Get());
}

// Answers "{}" later, from the message loop; a completed "<Domain>.enable" turns the domain's
// events on.
HRESULT WebView::CallDevToolsProtocolMethod(
    LPCWSTR methodName, LPCWSTR parametersAsJson,
    ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) {
    Log({{"call", "CallDevToolsProtocolMethod"},
         {"on", "webview"},
         {"method", OptionalText(methodName)},
         {"parameters", OptionalText(parametersAsJson)}});
    if (methodName == nullptr || parametersAsJson == nullptr) {
        return E_INVALIDARG;
    }
    const std::wstring method = methodName;
    auto self = Ref<WebView>::Share(this);
    auto completed =
        Ref<ICoreWebView2CallDevToolsProtocolMethodCompletedHandler>::Share(handler);
    runtime_->Post([self, completed, method] {
        const size_t dot = method.find(L'.');
        if (dot != std::wstring::npos && method.substr(dot) == L".enable") {
            self->enabledDomains_.push_back(method.substr(0, dot));
        }
        if (completed) {
            completed->Invoke(S_OK, L"{}");
        }
    });
    return S_OK;
}

HRESULT WebView::GetDevToolsProtocolEventReceiver(
    LPCWSTR eventName, ICoreWebView2DevToolsProtocolEventReceiver** receiver) {
    Log({{"call", "GetDevToolsProtocolEventReceiver"},
         {"on", "webview"},
         {"event", OptionalText(eventName)}});
    if (eventName == nullptr) {
        return E_INVALIDARG;
    }
    Ref<DevToolsReceiver>& kept = devToolsReceivers_[eventName];
    if (!kept) {
        kept = Ref<DevToolsReceiver>::Adopt(new DevToolsReceiver());
    }
    return GiveOut<ICoreWebView2DevToolsProtocolEventReceiver>(kept.Get(), receiver);
}

HRESULT WebView::get_Settings(ICoreWebView2Settings** settings) {
    Log({{"call", "get_Settings"}, {"on", "webview"}});
    return GiveOut<ICoreWebView2Settings>(settings_.Get(), settings);
}

HRESULT WebView::get_Source(LPWSTR* uri) {
    Log({{"call", "get_Source"}, {"on", "webview"}});
    return CoTaskCopy(source_, uri);
}

HRESULT WebView::Navigate(LPCWSTR uri) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("webview", "Navigate");
    }
    Log({{"call", "Navigate"}, {"on", "webview"}, {"uri", OptionalText(uri)}});
    if (uri == nullptr) {
        return E_POINTER;
    }
    source_ = uri;
    ++lastNavigationId_;
    runtime_->Play(this);
    return S_OK;
}

HRESULT WebView::Reload() {
    if (runtime_->BrowserGone()) {
        return BrowserGone("webview", "Reload");
    }
    Log({{"call", "Reload"}, {"on", "webview"}});
    ++lastNavigationId_;
    return S_OK;
}

HRESULT WebView::PostWebMessageAsJson(LPCWSTR webMessageAsJson) {
    if (runtime_->BrowserGone()) {
        return BrowserGone("webview", "PostWebMessageAsJson");
    }
    Log({{"call", "PostWebMessageAsJson"},
         {"on", "webview"},
         {"json", OptionalText(webMessageAsJson)}});
    return webMessageAsJson == nullptr ? E_POINTER : S_OK;
}

HRESULT WebView::PostWebMessageAsJsonWithAdditionalObjects(
    LPCWSTR webMessageAsJson, ICoreWebView2ObjectCollectionView* additionalObjects) {
    json objects = nullptr;
    if (additionalObjects != nullptr) {
        objects = json::array();
        UINT32 count = 0;
        additionalObjects->get_Count(&count);
        for (UINT32 i = 0; i < count; ++i) {
            Ref<IUnknown> item;
            additionalObjects->GetValueAtIndex(i, item.Put());
            objects.push_back(DescribeObject(item.Get()));
        }
    }
    Log({{"call", "PostWebMessageAsJsonWithAdditionalObjects"},
         {"on", "webview23"},
         {"json", OptionalText(webMessageAsJson)},
         {"objects", objects}});
    return webMessageAsJson == nullptr ? E_POINTER : S_OK;
}

HRESULT WebView::PostWebMessageAsString(LPCWSTR webMessageAsString) {
    Log({{"call", "PostWebMessageAsString"},
         {"on", "webview"},
         {"string", OptionalText(webMessageAsString)}});
    return webMessageAsString == nullptr ? E_POINTER : S_OK;
}

HRESULT WebView::get_DocumentTitle(LPWSTR* title) {
    Log({{"call", "get_DocumentTitle"}, {"on", "webview"}, {"value", Utf8(title_)}});
    return CoTaskCopy(title_, title);
}

HRESULT WebView::OpenDevToolsWindow() {
    Log({{"call", "OpenDevToolsWindow"}, {"on", "webview"}});
    return S_OK;
}

HRESULT WebView::get_ContainsFullScreenElement(BOOL* containsFullScreenElement) {
    return GetSwitch("webview", "get_ContainsFullScreenElement", containsFullScreenElement_,
                     containsFullScreenElement);
}

HRESULT WebView::AddWebResourceRequestedFilter(
    LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) {
    Log({{"call", "AddWebResourceRequestedFilter"},
         {"on", "webview"},
         {"uri", OptionalText(uri)},
         {"context", static_cast<int>(resourceContext)}});
    if (uri == nullptr) {
        return E_POINTER;
    }
    filters_.emplace_back(uri, resourceContext);
    return S_OK;
}

HRESULT WebView::RemoveWebResourceRequestedFilter(
    LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) {
    Log({{"call", "RemoveWebResourceRequestedFilter"},
         {"on", "webview"},
         {"uri", OptionalText(uri)},
         {"context", static_cast<int>(resourceContext)}});
    if (uri == nullptr) {
        return E_POINTER;
    }
    std::erase(filters_,
               std::pair<std::wstring, COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(uri, resourceContext));
    return S_OK;
}

HRESULT WebView::get_Environment(ICoreWebView2Environment** environment) {
    Log({{"call", "get_Environment"}, {"on", "webview2"}});
    return GiveOut(environment_.Get(), environment);
}

}  // namespace vandrel::testruntime
