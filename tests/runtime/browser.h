// The runtime's browser objects: environment, controller, webview and settings. Each logs every
// call it receives; methods the stand-in does not implement log and answer E_NOTIMPL.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "com_support.h"
#include "runtime.h"

// The two methods of a BOOL property.
#define SWITCH_PROPERTY(name)                                   \
    HRESULT STDMETHODCALLTYPE get_##name(BOOL* value) override; \
    HRESULT STDMETHODCALLTYPE put_##name(BOOL value) override

// An event the stand-in raises: its handlers are kept in `list`, an EventHandlers member. `on`
// names the interface in the log.
#define VANDREL_SUPPORTED_EVENT(on, name, list)                                      \
    HRESULT STDMETHODCALLTYPE add_##name(ICoreWebView2##name##EventHandler* handler, \
                                         EventRegistrationToken* token) override {   \
        return list.Add(on, "add_" #name, handler, token);                           \
    }                                                                                \
    HRESULT STDMETHODCALLTYPE remove_##name(EventRegistrationToken token) override { \
        return list.Remove(on, "remove_" #name, token);                              \
    }

// An event the stand-in does not raise: both of its methods log themselves as not implemented and
// answer E_NOTIMPL. `on` names the interface in the log.
#define VANDREL_UNSUPPORTED_EVENT(on, name, handler)                                   \
    HRESULT STDMETHODCALLTYPE add_##name(handler*, EventRegistrationToken*) override { \
        return NotImplemented(on, "add_" #name);                                       \
    }                                                                                  \
    HRESULT STDMETHODCALLTYPE remove_##name(EventRegistrationToken) override {         \
        return NotImplemented(on, "remove_" #name);                                    \
    }

// A property the stand-in does not keep: both of its methods log themselves as not implemented
// and answer E_NOTIMPL.
#define VANDREL_UNSUPPORTED_PROPERTY(on, name, type)       \
    HRESULT STDMETHODCALLTYPE get_##name(type*) override { \
        return NotImplemented(on, "get_" #name);           \
    }                                                      \
    HRESULT STDMETHODCALLTYPE put_##name(type) override {  \
        return NotImplemented(on, "put_" #name);           \
    }

namespace vandrel::testruntime {

// What GetAvailableCoreWebView2BrowserVersionString and get_BrowserVersionString report.
inline constexpr wchar_t kBrowserVersion[] = L"134.0.3124.44";

// An interface a runtime object answers, unless the options withhold it by name.
struct KnownInterface {
    const IID* iid;
    const char* name;
};

// Decides a QueryInterface on the object named `on`, and logs it: IUnknown is always answered;
// an interface of `known` unless it is withheld.
bool Answer(const Runtime& runtime, const char* on, REFIID iid,
            std::span<const KnownInterface> known);

// Logs the call of a method that the stand-in does not implement; answers E_NOTIMPL.
HRESULT NotImplemented(const char* on, const char* call);

// What a call on an object of an environment whose browser process has exited answers:
// HRESULT_FROM_WIN32(ERROR_INVALID_STATE), logged with "browserGone".
HRESULT BrowserGone(const char* on, const char* call);

// The handlers registered for one event, each with a reference held until it is removed or the
// object that raised it goes.
template <typename Handler>
class EventHandlers {
public:
    // A null handler or token pointer registers nothing and fails with E_POINTER.
    HRESULT Add(const char* on, const char* call, Handler* handler, EventRegistrationToken* token) {
        const bool registered = handler != nullptr && token != nullptr;
        Log({{"call", call}, {"on", on}, {"registered", registered}});
        if (!registered) {
            return E_POINTER;
        }
        token->value = ++lastToken_;
        entries_.emplace_back(lastToken_, Ref<Handler>::Share(handler));
        return S_OK;
    }
    HRESULT Remove(const char* on, const char* call, EventRegistrationToken token) {
        Log({{"call", call}, {"on", on}, {"token", token.value}});
        std::erase_if(entries_, [&](const auto& entry) { return entry.first == token.value; });
        return S_OK;
    }
    // Calls every handler in the order of registration; results are ignored.
    template <typename... Args>
    void Raise(Args... args) const {
        std::vector<Ref<Handler>> handlers;  // kept alive while they run
        for (const auto& entry : entries_) {
            handlers.push_back(entry.second);
        }
        for (const auto& handler : handlers) {
            handler->Invoke(args...);
        }
    }
    void Clear() { entries_.clear(); }

private:
    std::vector<std::pair<INT64, Ref<Handler>>> entries_;
    INT64 lastToken_ = 0;
};

// Implements every environment interface up to ICoreWebView2Environment14; the methods of 2 to 13
// answer E_NOTIMPL.
class Environment : public ComObject<ICoreWebView2Environment14, IID_ICoreWebView2Environment14> {
public:
    explicit Environment(std::shared_ptr<Runtime> runtime);

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
        ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override;
    VANDREL_UNSUPPORTED_EVENT("environment", NewBrowserVersionAvailable,
                              ICoreWebView2NewBrowserVersionAvailableEventHandler)

    // ICoreWebView2Environment2 ... 13
    HRESULT STDMETHODCALLTYPE CreateWebResourceRequest(LPCWSTR, LPCWSTR, IStream*, LPCWSTR,
                                                       ICoreWebView2WebResourceRequest**) override {
        return NotImplemented("environment2", "CreateWebResourceRequest");
    }
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2CompositionController(
        HWND, ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler*) override {
        return NotImplemented("environment3", "CreateCoreWebView2CompositionController");
    }
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2PointerInfo(ICoreWebView2PointerInfo**) override {
        return NotImplemented("environment3", "CreateCoreWebView2PointerInfo");
    }
    HRESULT STDMETHODCALLTYPE GetAutomationProviderForWindow(HWND, IUnknown**) override {
        return NotImplemented("environment4", "GetAutomationProviderForWindow");
    }
    VANDREL_UNSUPPORTED_EVENT("environment5", BrowserProcessExited,
                              ICoreWebView2BrowserProcessExitedEventHandler)
    HRESULT STDMETHODCALLTYPE CreatePrintSettings(ICoreWebView2PrintSettings**) override {
        return NotImplemented("environment6", "CreatePrintSettings");
    }
    HRESULT STDMETHODCALLTYPE get_UserDataFolder(LPWSTR*) override {
        return NotImplemented("environment7", "get_UserDataFolder");
    }
    VANDREL_UNSUPPORTED_EVENT("environment8", ProcessInfosChanged,
                              ICoreWebView2ProcessInfosChangedEventHandler)
    HRESULT STDMETHODCALLTYPE GetProcessInfos(ICoreWebView2ProcessInfoCollection**) override {
        return NotImplemented("environment8", "GetProcessInfos");
    }
    HRESULT STDMETHODCALLTYPE CreateContextMenuItem(LPCWSTR, IStream*,
                                                    COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND,
                                                    ICoreWebView2ContextMenuItem**) override {
        return NotImplemented("environment9", "CreateContextMenuItem");
    }
    HRESULT STDMETHODCALLTYPE
    CreateCoreWebView2ControllerOptions(ICoreWebView2ControllerOptions**) override {
        return NotImplemented("environment10", "CreateCoreWebView2ControllerOptions");
    }
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2ControllerWithOptions(
        HWND, ICoreWebView2ControllerOptions*,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        return NotImplemented("environment10", "CreateCoreWebView2ControllerWithOptions");
    }
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2CompositionControllerWithOptions(
        HWND, ICoreWebView2ControllerOptions*,
        ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler*) override {
        return NotImplemented("environment10",
                              "CreateCoreWebView2CompositionControllerWithOptions");
    }
    HRESULT STDMETHODCALLTYPE get_FailureReportFolderPath(LPWSTR*) override {
        return NotImplemented("environment11", "get_FailureReportFolderPath");
    }
    HRESULT STDMETHODCALLTYPE CreateSharedBuffer(UINT64, ICoreWebView2SharedBuffer**) override {
        return NotImplemented("environment12", "CreateSharedBuffer");
    }
    HRESULT STDMETHODCALLTYPE
    GetProcessExtendedInfos(ICoreWebView2GetProcessExtendedInfosCompletedHandler*) override {
        return NotImplemented("environment13", "GetProcessExtendedInfos");
    }

    // ICoreWebView2Environment14
    HRESULT STDMETHODCALLTYPE CreateWebFileSystemFileHandle(
        LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
        ICoreWebView2FileSystemHandle** value) override;
    HRESULT STDMETHODCALLTYPE CreateWebFileSystemDirectoryHandle(
        LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
        ICoreWebView2FileSystemHandle** value) override;
    HRESULT STDMETHODCALLTYPE CreateObjectCollection(
        UINT32 length, IUnknown** items, ICoreWebView2ObjectCollection** objectCollection) override;

private:
    ~Environment() override;
    bool Answers(REFIID iid) override;

    std::shared_ptr<Runtime> runtime_;
};

class WebView;

// The receiver of one DevTools protocol event of a webview.
class DevToolsReceiver : public ComObject<ICoreWebView2DevToolsProtocolEventReceiver,
                                          IID_ICoreWebView2DevToolsProtocolEventReceiver> {
public:
    VANDREL_SUPPORTED_EVENT("devtoolsReceiver", DevToolsProtocolEventReceived, received_)
    // Raises the event with these parameters (JSON text) from `sender`.
    void Raise(ICoreWebView2* sender, const std::wstring& parameters) const;
    void Clear() { received_.Clear(); }

private:
    EventHandlers<ICoreWebView2DevToolsProtocolEventReceivedEventHandler> received_;
};

// The controller shows the page in a child window of its parent, as the runtime does: the window
// follows Bounds and IsVisible, takes the focus on MoveFocus, and reports the key messages it gets
// as AcceleratorKeyPressed.
class Controller : public ComObject<ICoreWebView2Controller2, IID_ICoreWebView2Controller2> {
public:
    Controller(std::shared_ptr<Runtime> runtime, Ref<ICoreWebView2Environment> environment,
               HWND parent);

    // Raises AcceleratorKeyPressed; whether a handler marked the key handled.
    bool PressKey(UINT virtualKey, COREWEBVIEW2_KEY_EVENT_KIND kind, bool repeat);
    // The browser process has exited: the control's window goes.
    void EndView();

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) override;
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) override;
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoomFactor) override;
    VANDREL_UNSUPPORTED_EVENT("controller", ZoomFactorChanged,
                              ICoreWebView2ZoomFactorChangedEventHandler)
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) override;
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override;
    VANDREL_UNSUPPORTED_EVENT("controller", MoveFocusRequested,
                              ICoreWebView2MoveFocusRequestedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("controller", GotFocus, ICoreWebView2FocusChangedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("controller", LostFocus, ICoreWebView2FocusChangedEventHandler)
    VANDREL_SUPPORTED_EVENT("controller", AcceleratorKeyPressed, acceleratorKeyPressed_)
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override;
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND parentWindow) override;
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override;
    // ICoreWebView2Controller2
    HRESULT STDMETHODCALLTYPE get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_DefaultBackgroundColor(COREWEBVIEW2_COLOR value) override;

private:
    ~Controller() override;
    bool Answers(REFIID iid) override;
    static LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // A key message of the view that the runtime reports; whether a handler handled it.
    bool OnKeyMessage(UINT message, WPARAM key, LPARAM lParam);

    std::shared_ptr<Runtime> runtime_;
    Ref<WebView> webview_;
    HWND parent_;
    HWND view_ = nullptr;  // the page's child window, until Close or the browser's end
    COREWEBVIEW2_COLOR background_{255, 255, 255, 255};
    RECT bounds_{};
    BOOL visible_ = TRUE;
    double zoomFactor_ = 1.0;
    EventHandlers<ICoreWebView2AcceleratorKeyPressedEventHandler> acceleratorKeyPressed_;
};

class Settings : public ComObject<ICoreWebView2Settings3, IID_ICoreWebView2Settings3> {
public:
    explicit Settings(std::shared_ptr<Runtime> runtime) : runtime_(std::move(runtime)) {}

    SWITCH_PROPERTY(IsScriptEnabled);
    SWITCH_PROPERTY(IsWebMessageEnabled);
    SWITCH_PROPERTY(AreDefaultScriptDialogsEnabled);
    SWITCH_PROPERTY(IsStatusBarEnabled);
    SWITCH_PROPERTY(AreDevToolsEnabled);
    SWITCH_PROPERTY(AreDefaultContextMenusEnabled);
    SWITCH_PROPERTY(AreHostObjectsAllowed);
    SWITCH_PROPERTY(IsZoomControlEnabled);
    SWITCH_PROPERTY(IsBuiltInErrorPageEnabled);
    HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR value) override;
    SWITCH_PROPERTY(AreBrowserAcceleratorKeysEnabled);

private:
    bool Answers(REFIID iid) override;

    std::shared_ptr<Runtime> runtime_;
    // Every switch starts on, as in the runtime.
    BOOL isScriptEnabled_ = TRUE;
    BOOL isWebMessageEnabled_ = TRUE;
    BOOL areDefaultScriptDialogsEnabled_ = TRUE;
    BOOL isStatusBarEnabled_ = TRUE;
    BOOL areDevToolsEnabled_ = TRUE;
    BOOL areDefaultContextMenusEnabled_ = TRUE;
    BOOL areHostObjectsAllowed_ = TRUE;
    BOOL isZoomControlEnabled_ = TRUE;
    BOOL isBuiltInErrorPageEnabled_ = TRUE;
    BOOL areBrowserAcceleratorKeysEnabled_ = TRUE;
    std::wstring userAgent_;
};

// Implements every webview interface up to ICoreWebView2_23; of those after ICoreWebView2_2 only
// PostWebMessageAsJsonWithAdditionalObjects works, the rest answer E_NOTIMPL.
class WebView : public ComObject<ICoreWebView2_23, IID_ICoreWebView2_23> {
public:
    WebView(std::shared_ptr<Runtime> runtime, Ref<ICoreWebView2Environment> environment,
            Controller* controller);

    // The controller is going; key commands find no handlers from now on.
    void DetachController() { controller_ = nullptr; }
    // The controller was closed: no more events, and the handlers are released.
    void Close();
    // Plays one scenario command (scenario.cpp); an error text, or empty.
    std::string Play(const json& command);

    // ICoreWebView2
    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) override {
        return NotImplemented("webview", "NavigateToString");
    }
    VANDREL_SUPPORTED_EVENT("webview", NavigationStarting, navigationStarting_)
    VANDREL_UNSUPPORTED_EVENT("webview", ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview", SourceChanged, ICoreWebView2SourceChangedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview", HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    VANDREL_SUPPORTED_EVENT("webview", NavigationCompleted, navigationCompleted_)
    VANDREL_UNSUPPORTED_EVENT("webview", FrameNavigationStarting,
                              ICoreWebView2NavigationStartingEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview", FrameNavigationCompleted,
                              ICoreWebView2NavigationCompletedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview", ScriptDialogOpening,
                              ICoreWebView2ScriptDialogOpeningEventHandler)
    VANDREL_SUPPORTED_EVENT("webview", PermissionRequested, permissionRequested_)
    VANDREL_SUPPORTED_EVENT("webview", ProcessFailed, processFailed_)
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override {
        return NotImplemented("webview", "AddScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override {
        return NotImplemented("webview", "RemoveScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR,
                                            ICoreWebView2ExecuteScriptCompletedHandler*) override {
        return NotImplemented("webview", "ExecuteScript");
    }
    HRESULT STDMETHODCALLTYPE
    CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                   ICoreWebView2CapturePreviewCompletedHandler*) override {
        return NotImplemented("webview", "CapturePreview");
    }
    HRESULT STDMETHODCALLTYPE Reload() override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR webMessageAsString) override;
    VANDREL_SUPPORTED_EVENT("webview", WebMessageReceived, webMessageReceived_)
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(
        LPCWSTR methodName, LPCWSTR parametersAsJson,
        ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32*) override {
        return NotImplemented("webview", "get_BrowserProcessId");
    }
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL*) override {
        return NotImplemented("webview", "get_CanGoBack");
    }
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL*) override {
        return NotImplemented("webview", "get_CanGoForward");
    }
    HRESULT STDMETHODCALLTYPE GoBack() override { return NotImplemented("webview", "GoBack"); }
    HRESULT STDMETHODCALLTYPE GoForward() override {
        return NotImplemented("webview", "GoForward");
    }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(
        LPCWSTR eventName, ICoreWebView2DevToolsProtocolEventReceiver** receiver) override;
    HRESULT STDMETHODCALLTYPE Stop() override { return NotImplemented("webview", "Stop"); }
    VANDREL_SUPPORTED_EVENT("webview", NewWindowRequested, newWindowRequested_)
    VANDREL_SUPPORTED_EVENT("webview", DocumentTitleChanged, documentTitleChanged_)
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override;
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override {
        return NotImplemented("webview", "AddHostObjectToScript");
    }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override {
        return NotImplemented("webview", "RemoveHostObjectFromScript");
    }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override;
    VANDREL_SUPPORTED_EVENT("webview", ContainsFullScreenElementChanged,
                            containsFullScreenElementChanged_)
    HRESULT STDMETHODCALLTYPE
    get_ContainsFullScreenElement(BOOL* containsFullScreenElement) override;
    VANDREL_SUPPORTED_EVENT("webview", WebResourceRequested, webResourceRequested_)
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) override;
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) override;
    VANDREL_SUPPORTED_EVENT("webview", WindowCloseRequested, windowCloseRequested_)

    // ICoreWebView2_2
    VANDREL_UNSUPPORTED_EVENT("webview2", WebResourceResponseReceived,
                              ICoreWebView2WebResourceResponseReceivedEventHandler)
    HRESULT STDMETHODCALLTYPE
    NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest*) override {
        return NotImplemented("webview2", "NavigateWithWebResourceRequest");
    }
    VANDREL_SUPPORTED_EVENT("webview2", DOMContentLoaded, domContentLoaded_)
    HRESULT STDMETHODCALLTYPE get_CookieManager(ICoreWebView2CookieManager**) override {
        return NotImplemented("webview2", "get_CookieManager");
    }
    HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment** environment) override;

    // ICoreWebView2_3 ... _22
    HRESULT STDMETHODCALLTYPE TrySuspend(ICoreWebView2TrySuspendCompletedHandler*) override {
        return NotImplemented("webview3", "TrySuspend");
    }
    HRESULT STDMETHODCALLTYPE Resume() override { return NotImplemented("webview3", "Resume"); }
    HRESULT STDMETHODCALLTYPE get_IsSuspended(BOOL*) override {
        return NotImplemented("webview3", "get_IsSuspended");
    }
    HRESULT STDMETHODCALLTYPE SetVirtualHostNameToFolderMapping(
        LPCWSTR, LPCWSTR, COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND) override {
        return NotImplemented("webview3", "SetVirtualHostNameToFolderMapping");
    }
    HRESULT STDMETHODCALLTYPE ClearVirtualHostNameToFolderMapping(LPCWSTR) override {
        return NotImplemented("webview3", "ClearVirtualHostNameToFolderMapping");
    }
    VANDREL_UNSUPPORTED_EVENT("webview4", FrameCreated, ICoreWebView2FrameCreatedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview4", DownloadStarting,
                              ICoreWebView2DownloadStartingEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview5", ClientCertificateRequested,
                              ICoreWebView2ClientCertificateRequestedEventHandler)
    HRESULT STDMETHODCALLTYPE OpenTaskManagerWindow() override {
        return NotImplemented("webview6", "OpenTaskManagerWindow");
    }
    HRESULT STDMETHODCALLTYPE PrintToPdf(LPCWSTR, ICoreWebView2PrintSettings*,
                                         ICoreWebView2PrintToPdfCompletedHandler*) override {
        return NotImplemented("webview7", "PrintToPdf");
    }
    VANDREL_UNSUPPORTED_EVENT("webview8", IsMutedChanged, ICoreWebView2IsMutedChangedEventHandler)
    VANDREL_UNSUPPORTED_PROPERTY("webview8", IsMuted, BOOL)
    VANDREL_UNSUPPORTED_EVENT("webview8", IsDocumentPlayingAudioChanged,
                              ICoreWebView2IsDocumentPlayingAudioChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_IsDocumentPlayingAudio(BOOL*) override {
        return NotImplemented("webview8", "get_IsDocumentPlayingAudio");
    }
    VANDREL_UNSUPPORTED_EVENT("webview9", IsDefaultDownloadDialogOpenChanged,
                              ICoreWebView2IsDefaultDownloadDialogOpenChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_IsDefaultDownloadDialogOpen(BOOL*) override {
        return NotImplemented("webview9", "get_IsDefaultDownloadDialogOpen");
    }
    HRESULT STDMETHODCALLTYPE OpenDefaultDownloadDialog() override {
        return NotImplemented("webview9", "OpenDefaultDownloadDialog");
    }
    HRESULT STDMETHODCALLTYPE CloseDefaultDownloadDialog() override {
        return NotImplemented("webview9", "CloseDefaultDownloadDialog");
    }
    VANDREL_UNSUPPORTED_PROPERTY("webview9", DefaultDownloadDialogCornerAlignment,
                                 COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT)
    VANDREL_UNSUPPORTED_PROPERTY("webview9", DefaultDownloadDialogMargin, POINT)
    VANDREL_UNSUPPORTED_EVENT("webview10", BasicAuthenticationRequested,
                              ICoreWebView2BasicAuthenticationRequestedEventHandler)
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethodForSession(
        LPCWSTR, LPCWSTR, LPCWSTR,
        ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override {
        return NotImplemented("webview11", "CallDevToolsProtocolMethodForSession");
    }
    VANDREL_UNSUPPORTED_EVENT("webview11", ContextMenuRequested,
                              ICoreWebView2ContextMenuRequestedEventHandler)
    VANDREL_UNSUPPORTED_EVENT("webview12", StatusBarTextChanged,
                              ICoreWebView2StatusBarTextChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_StatusBarText(LPWSTR*) override {
        return NotImplemented("webview12", "get_StatusBarText");
    }
    HRESULT STDMETHODCALLTYPE get_Profile(ICoreWebView2Profile**) override {
        return NotImplemented("webview13", "get_Profile");
    }
    VANDREL_UNSUPPORTED_EVENT("webview14", ServerCertificateErrorDetected,
                              ICoreWebView2ServerCertificateErrorDetectedEventHandler)
    HRESULT STDMETHODCALLTYPE ClearServerCertificateErrorActions(
        ICoreWebView2ClearServerCertificateErrorActionsCompletedHandler*) override {
        return NotImplemented("webview14", "ClearServerCertificateErrorActions");
    }
    VANDREL_UNSUPPORTED_EVENT("webview15", FaviconChanged, ICoreWebView2FaviconChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_FaviconUri(LPWSTR*) override {
        return NotImplemented("webview15", "get_FaviconUri");
    }
    HRESULT STDMETHODCALLTYPE GetFavicon(COREWEBVIEW2_FAVICON_IMAGE_FORMAT,
                                         ICoreWebView2GetFaviconCompletedHandler*) override {
        return NotImplemented("webview15", "GetFavicon");
    }
    HRESULT STDMETHODCALLTYPE Print(ICoreWebView2PrintSettings*,
                                    ICoreWebView2PrintCompletedHandler*) override {
        return NotImplemented("webview16", "Print");
    }
    HRESULT STDMETHODCALLTYPE ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND) override {
        return NotImplemented("webview16", "ShowPrintUI");
    }
    HRESULT STDMETHODCALLTYPE PrintToPdfStream(
        ICoreWebView2PrintSettings*, ICoreWebView2PrintToPdfStreamCompletedHandler*) override {
        return NotImplemented("webview16", "PrintToPdfStream");
    }
    HRESULT STDMETHODCALLTYPE PostSharedBufferToScript(ICoreWebView2SharedBuffer*,
                                                       COREWEBVIEW2_SHARED_BUFFER_ACCESS,
                                                       LPCWSTR) override {
        return NotImplemented("webview17", "PostSharedBufferToScript");
    }
    VANDREL_UNSUPPORTED_EVENT("webview18", LaunchingExternalUriScheme,
                              ICoreWebView2LaunchingExternalUriSchemeEventHandler)
    HRESULT STDMETHODCALLTYPE
    get_MemoryUsageTargetLevel(COREWEBVIEW2_MEMORY_USAGE_TARGET_LEVEL*) override {
        return NotImplemented("webview19", "get_MemoryUsageTargetLevel");
    }
    HRESULT STDMETHODCALLTYPE
    put_MemoryUsageTargetLevel(COREWEBVIEW2_MEMORY_USAGE_TARGET_LEVEL) override {
        return NotImplemented("webview19", "put_MemoryUsageTargetLevel");
    }
    HRESULT STDMETHODCALLTYPE get_FrameId(UINT32*) override {
        return NotImplemented("webview20", "get_FrameId");
    }
    HRESULT STDMETHODCALLTYPE ExecuteScriptWithResult(
        LPCWSTR, ICoreWebView2ExecuteScriptWithResultCompletedHandler*) override {
        return NotImplemented("webview21", "ExecuteScriptWithResult");
    }
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilterWithRequestSourceKinds(
        LPCWSTR, COREWEBVIEW2_WEB_RESOURCE_CONTEXT,
        COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS) override {
        return NotImplemented("webview22", "AddWebResourceRequestedFilterWithRequestSourceKinds");
    }
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilterWithRequestSourceKinds(
        LPCWSTR, COREWEBVIEW2_WEB_RESOURCE_CONTEXT,
        COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS) override {
        return NotImplemented("webview22",
                              "RemoveWebResourceRequestedFilterWithRequestSourceKinds");
    }

    // ICoreWebView2_23
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJsonWithAdditionalObjects(
        LPCWSTR webMessageAsJson, ICoreWebView2ObjectCollectionView* additionalObjects) override;

private:
    ~WebView() override;
    bool Answers(REFIID iid) override;
    // Whether a filter takes a request for `uri` in `context`.
    bool Filtered(const std::wstring& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) const;

    std::shared_ptr<Runtime> runtime_;
    Ref<ICoreWebView2Environment> environment_;
    Controller* controller_;  // not owned; the controller owns this webview
    Ref<Settings> settings_;
    std::wstring source_;
    std::wstring title_;
    BOOL containsFullScreenElement_ = FALSE;
    UINT64 lastNavigationId_ = 0;
    std::vector<std::pair<std::wstring, COREWEBVIEW2_WEB_RESOURCE_CONTEXT>> filters_;
    EventHandlers<ICoreWebView2NavigationStartingEventHandler> navigationStarting_;
    EventHandlers<ICoreWebView2PermissionRequestedEventHandler> permissionRequested_;
    EventHandlers<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived_;
    EventHandlers<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested_;
    EventHandlers<ICoreWebView2DocumentTitleChangedEventHandler> documentTitleChanged_;
    EventHandlers<ICoreWebView2ContainsFullScreenElementChangedEventHandler>
        containsFullScreenElementChanged_;
    EventHandlers<ICoreWebView2WebResourceRequestedEventHandler> webResourceRequested_;
    EventHandlers<ICoreWebView2WindowCloseRequestedEventHandler> windowCloseRequested_;
    EventHandlers<ICoreWebView2DOMContentLoadedEventHandler> domContentLoaded_;
    EventHandlers<ICoreWebView2NavigationCompletedEventHandler> navigationCompleted_;
    EventHandlers<ICoreWebView2ProcessFailedEventHandler> processFailed_;
    std::map<std::wstring, Ref<DevToolsReceiver>> devToolsReceivers_;
    std::vector<std::wstring> enabledDomains_;  // by a completed "<Domain>.enable"
};

}  // namespace vandrel::testruntime
