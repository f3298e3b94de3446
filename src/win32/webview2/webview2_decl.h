// The WebView2 interfaces as the host declares them itself, under their published names.
//
// The official SDK cannot be installed in the cross build, so this header states the binary
// interface the host relies on: every interface derives from its published base and lists its
// methods in exactly the published vtable order (slots 0-2 are IUnknown's). Interfaces that the
// host reaches only through inheritance (ICoreWebView2_23, ICoreWebView2Environment14, ...) still
// need every method of every base, or each later slot would be wrong. The slot number of each
// method is noted beside it; tests/windows/webview2_abi_test.cpp checks them independently.
//
// Do not include this header directly: include "win32/webview2/webview2.h", which picks either this
// header or the official SDK's WebView2.h. Code must therefore use only names the official header
// also has (interface names, IID_ constants, enumerators).
//
// Target SDK version of the published interface: 134.0.3124.44. Released interfaces never change.
#pragma once

#include <windows.h>

#include <eventtoken.h>
#include <oaidl.h>
#include <objidl.h>

// An event's two methods, in their published slot order: add_<name>(handler, token), then
// remove_<name>(token).
#define VANDREL_WEBVIEW2_EVENT(name, handler)                                        \
    virtual HRESULT STDMETHODCALLTYPE add_##name(handler* eventHandler,              \
                                                 EventRegistrationToken* token) = 0; \
    virtual HRESULT STDMETHODCALLTYPE remove_##name(EventRegistrationToken token) = 0

// An event whose handler is named after it: ICoreWebView2<name>EventHandler.
#define VANDREL_WEBVIEW2_OWN_EVENT(name) \
    VANDREL_WEBVIEW2_EVENT(name, ICoreWebView2##name##EventHandler)

// A property's two methods, in their published slot order: get_<name>(type*), then
// put_<name>(type); a text property gets an LPWSTR* the caller frees and takes an LPCWSTR.
#define VANDREL_WEBVIEW2_PROPERTY(name, type)                      \
    virtual HRESULT STDMETHODCALLTYPE get_##name(type* value) = 0; \
    virtual HRESULT STDMETHODCALLTYPE put_##name(type value) = 0
#define VANDREL_WEBVIEW2_STRING_PROPERTY(name)                       \
    virtual HRESULT STDMETHODCALLTYPE get_##name(LPWSTR* value) = 0; \
    virtual HRESULT STDMETHODCALLTYPE put_##name(LPCWSTR value) = 0

// A completion or event handler: IUnknown and one Invoke taking `first` and `second`, at slot 3.
#define VANDREL_WEBVIEW2_HANDLER(name, first, second)                                       \
    struct name : public IUnknown {                                                         \
        virtual HRESULT STDMETHODCALLTYPE Invoke(first arg1, second arg2) = 0; /* slot 3 */ \
    }

// Every interface declared below, so that each can name the others in its parameters.
struct ICoreWebView2EnvironmentOptions;
struct ICoreWebView2Environment;
struct ICoreWebView2Environment2;
struct ICoreWebView2Environment3;
struct ICoreWebView2Environment4;
struct ICoreWebView2Environment5;
struct ICoreWebView2Environment6;
struct ICoreWebView2Environment7;
struct ICoreWebView2Environment8;
struct ICoreWebView2Environment9;
struct ICoreWebView2Environment10;
struct ICoreWebView2Environment11;
struct ICoreWebView2Environment12;
struct ICoreWebView2Environment13;
struct ICoreWebView2Environment14;
struct ICoreWebView2Controller;
struct ICoreWebView2;
struct ICoreWebView2_2;
struct ICoreWebView2_3;
struct ICoreWebView2_4;
struct ICoreWebView2_5;
struct ICoreWebView2_6;
struct ICoreWebView2_7;
struct ICoreWebView2_8;
struct ICoreWebView2_9;
struct ICoreWebView2_10;
struct ICoreWebView2_11;
struct ICoreWebView2_12;
struct ICoreWebView2_13;
struct ICoreWebView2_14;
struct ICoreWebView2_15;
struct ICoreWebView2_16;
struct ICoreWebView2_17;
struct ICoreWebView2_18;
struct ICoreWebView2_19;
struct ICoreWebView2_20;
struct ICoreWebView2_21;
struct ICoreWebView2_22;
struct ICoreWebView2_23;
struct ICoreWebView2Settings;
struct ICoreWebView2Settings2;
struct ICoreWebView2Settings3;
struct ICoreWebView2WebResourceRequestedEventArgs;
struct ICoreWebView2WebResourceRequest;
struct ICoreWebView2HttpRequestHeaders;
struct ICoreWebView2HttpHeadersCollectionIterator;
struct ICoreWebView2WebResourceResponse;
struct ICoreWebView2HttpResponseHeaders;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2PermissionRequestedEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2AcceleratorKeyPressedEventArgs;
struct ICoreWebView2DOMContentLoadedEventArgs;
struct ICoreWebView2NavigationCompletedEventArgs;
struct ICoreWebView2Deferral;
struct ICoreWebView2FileSystemHandle;
struct ICoreWebView2ObjectCollectionView;
struct ICoreWebView2ObjectCollection;
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
struct ICoreWebView2WebResourceRequestedEventHandler;
struct ICoreWebView2NavigationStartingEventHandler;
struct ICoreWebView2DocumentTitleChangedEventHandler;
struct ICoreWebView2PermissionRequestedEventHandler;
struct ICoreWebView2ContainsFullScreenElementChangedEventHandler;
struct ICoreWebView2WindowCloseRequestedEventHandler;
struct ICoreWebView2NewWindowRequestedEventHandler;
struct ICoreWebView2WebMessageReceivedEventHandler;
struct ICoreWebView2DOMContentLoadedEventHandler;
struct ICoreWebView2AcceleratorKeyPressedEventHandler;
struct ICoreWebView2NavigationCompletedEventHandler;
struct ICoreWebView2Controller2;
struct ICoreWebView2ProcessFailedEventArgs;
struct ICoreWebView2ProcessFailedEventArgs2;
struct ICoreWebView2ProcessFailedEventHandler;
struct ICoreWebView2DevToolsProtocolEventReceiver;
struct ICoreWebView2DevToolsProtocolEventReceivedEventArgs;
struct ICoreWebView2DevToolsProtocolEventReceivedEventHandler;
struct ICoreWebView2CallDevToolsProtocolMethodCompletedHandler;

// Interfaces that appear in parameters but that the host never calls: names only.
struct ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler;
struct ICoreWebView2BasicAuthenticationRequestedEventHandler;
struct ICoreWebView2BrowserProcessExitedEventHandler;
struct ICoreWebView2CapturePreviewCompletedHandler;
struct ICoreWebView2ClearServerCertificateErrorActionsCompletedHandler;
struct ICoreWebView2ClientCertificateRequestedEventHandler;
struct ICoreWebView2ContentLoadingEventHandler;
struct ICoreWebView2ContextMenuItem;
struct ICoreWebView2ContextMenuRequestedEventHandler;
struct ICoreWebView2ControllerOptions;
struct ICoreWebView2CookieManager;
struct ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler;
struct ICoreWebView2DownloadStartingEventHandler;
struct ICoreWebView2ExecuteScriptCompletedHandler;
struct ICoreWebView2ExecuteScriptWithResultCompletedHandler;
struct ICoreWebView2FaviconChangedEventHandler;
struct ICoreWebView2FocusChangedEventHandler;
struct ICoreWebView2FrameInfoCollection;
struct ICoreWebView2FrameCreatedEventHandler;
struct ICoreWebView2GetFaviconCompletedHandler;
struct ICoreWebView2GetProcessExtendedInfosCompletedHandler;
struct ICoreWebView2HistoryChangedEventHandler;
struct ICoreWebView2IsDefaultDownloadDialogOpenChangedEventHandler;
struct ICoreWebView2IsDocumentPlayingAudioChangedEventHandler;
struct ICoreWebView2IsMutedChangedEventHandler;
struct ICoreWebView2LaunchingExternalUriSchemeEventHandler;
struct ICoreWebView2MoveFocusRequestedEventHandler;
struct ICoreWebView2NewBrowserVersionAvailableEventHandler;
struct ICoreWebView2PointerInfo;
struct ICoreWebView2PrintCompletedHandler;
struct ICoreWebView2PrintSettings;
struct ICoreWebView2PrintToPdfCompletedHandler;
struct ICoreWebView2PrintToPdfStreamCompletedHandler;
struct ICoreWebView2ProcessInfoCollection;
struct ICoreWebView2ProcessInfosChangedEventHandler;
struct ICoreWebView2Profile;
struct ICoreWebView2ScriptDialogOpeningEventHandler;
struct ICoreWebView2ServerCertificateErrorDetectedEventHandler;
struct ICoreWebView2SharedBuffer;
struct ICoreWebView2SourceChangedEventHandler;
struct ICoreWebView2StatusBarTextChangedEventHandler;
struct ICoreWebView2TrySuspendCompletedHandler;
struct ICoreWebView2WebResourceResponseReceivedEventHandler;
struct ICoreWebView2WindowFeatures;
struct ICoreWebView2ZoomFactorChangedEventHandler;

// The enumerations the host passes or reads. All are 32-bit, as published.
enum COREWEBVIEW2_WEB_RESOURCE_CONTEXT : int {
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL = 0,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_TEXT_TRACK,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_EVENT_SOURCE,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_WEBSOCKET,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MANIFEST,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SIGNED_EXCHANGE,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER,
};

enum COREWEBVIEW2_PERMISSION_STATE : int {
    COREWEBVIEW2_PERMISSION_STATE_DEFAULT = 0,
    COREWEBVIEW2_PERMISSION_STATE_ALLOW = 1,
    COREWEBVIEW2_PERMISSION_STATE_DENY = 2,
};

enum COREWEBVIEW2_MOVE_FOCUS_REASON : int {
    COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC = 0,
    COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT = 1,
    COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS = 2,
};

enum COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION : int {
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_ONLY = 0,
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE = 1,
};

enum COREWEBVIEW2_KEY_EVENT_KIND : int {
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN = 0,
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP = 1,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN = 2,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP = 3,
};

struct COREWEBVIEW2_PHYSICAL_KEY_STATUS {
    UINT32 RepeatCount;
    UINT32 ScanCode;
    BOOL IsExtendedKey;
    BOOL IsMenuKeyDown;
    BOOL WasKeyDown;
    BOOL IsKeyReleased;
};

enum COREWEBVIEW2_PROCESS_FAILED_KIND : int {
    COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED = 0,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE,
    COREWEBVIEW2_PROCESS_FAILED_KIND_FRAME_RENDER_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_UTILITY_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_SANDBOX_HELPER_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_GPU_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_PLUGIN_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_PPAPI_BROKER_PROCESS_EXITED,
    COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED,
};

enum COREWEBVIEW2_PROCESS_FAILED_REASON : int {
    COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED = 0,
    COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE,
    COREWEBVIEW2_PROCESS_FAILED_REASON_TERMINATED,
    COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED,
    COREWEBVIEW2_PROCESS_FAILED_REASON_LAUNCH_FAILED,
    COREWEBVIEW2_PROCESS_FAILED_REASON_OUT_OF_MEMORY,
    COREWEBVIEW2_PROCESS_FAILED_REASON_PROFILE_DELETED,
};

// Passed by value, in this order.
struct COREWEBVIEW2_COLOR {
    BYTE A;
    BYTE R;
    BYTE G;
    BYTE B;
};

// Other 32-bit enumerations that appear in the interfaces. The host passes none of them, so their
// values are not declared; a fixed underlying type keeps every cast of a runtime value defined.
enum COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT : int {};
enum COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND : int {};
enum COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT : int {};
enum COREWEBVIEW2_FAVICON_IMAGE_FORMAT : int {};
enum COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND : int {};
enum COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND : int {};
enum COREWEBVIEW2_MEMORY_USAGE_TARGET_LEVEL : int {};
enum COREWEBVIEW2_PERMISSION_KIND : int {};
enum COREWEBVIEW2_PRINT_DIALOG_KIND : int {};
enum COREWEBVIEW2_SHARED_BUFFER_ACCESS : int {};
enum COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS : int {};
enum COREWEBVIEW2_WEB_ERROR_STATUS : int {};

// Interface ids, defined once in webview2_iids.cpp.
extern "C" const IID IID_ICoreWebView2EnvironmentOptions;
extern "C" const IID IID_ICoreWebView2Environment;
extern "C" const IID IID_ICoreWebView2Environment2;
extern "C" const IID IID_ICoreWebView2Environment3;
extern "C" const IID IID_ICoreWebView2Environment4;
extern "C" const IID IID_ICoreWebView2Environment5;
extern "C" const IID IID_ICoreWebView2Environment6;
extern "C" const IID IID_ICoreWebView2Environment7;
extern "C" const IID IID_ICoreWebView2Environment8;
extern "C" const IID IID_ICoreWebView2Environment9;
extern "C" const IID IID_ICoreWebView2Environment10;
extern "C" const IID IID_ICoreWebView2Environment11;
extern "C" const IID IID_ICoreWebView2Environment12;
extern "C" const IID IID_ICoreWebView2Environment13;
extern "C" const IID IID_ICoreWebView2Environment14;
extern "C" const IID IID_ICoreWebView2Controller;
extern "C" const IID IID_ICoreWebView2;
extern "C" const IID IID_ICoreWebView2_2;
extern "C" const IID IID_ICoreWebView2_3;
extern "C" const IID IID_ICoreWebView2_4;
extern "C" const IID IID_ICoreWebView2_5;
extern "C" const IID IID_ICoreWebView2_6;
extern "C" const IID IID_ICoreWebView2_7;
extern "C" const IID IID_ICoreWebView2_8;
extern "C" const IID IID_ICoreWebView2_9;
extern "C" const IID IID_ICoreWebView2_10;
extern "C" const IID IID_ICoreWebView2_11;
extern "C" const IID IID_ICoreWebView2_12;
extern "C" const IID IID_ICoreWebView2_13;
extern "C" const IID IID_ICoreWebView2_14;
extern "C" const IID IID_ICoreWebView2_15;
extern "C" const IID IID_ICoreWebView2_16;
extern "C" const IID IID_ICoreWebView2_17;
extern "C" const IID IID_ICoreWebView2_18;
extern "C" const IID IID_ICoreWebView2_19;
extern "C" const IID IID_ICoreWebView2_20;
extern "C" const IID IID_ICoreWebView2_21;
extern "C" const IID IID_ICoreWebView2_22;
extern "C" const IID IID_ICoreWebView2_23;
extern "C" const IID IID_ICoreWebView2Settings;
extern "C" const IID IID_ICoreWebView2Settings2;
extern "C" const IID IID_ICoreWebView2Settings3;
extern "C" const IID IID_ICoreWebView2WebResourceRequestedEventArgs;
extern "C" const IID IID_ICoreWebView2WebResourceRequest;
extern "C" const IID IID_ICoreWebView2HttpRequestHeaders;
extern "C" const IID IID_ICoreWebView2HttpHeadersCollectionIterator;
extern "C" const IID IID_ICoreWebView2WebResourceResponse;
extern "C" const IID IID_ICoreWebView2HttpResponseHeaders;
extern "C" const IID IID_ICoreWebView2NavigationStartingEventArgs;
extern "C" const IID IID_ICoreWebView2PermissionRequestedEventArgs;
extern "C" const IID IID_ICoreWebView2NewWindowRequestedEventArgs;
extern "C" const IID IID_ICoreWebView2WebMessageReceivedEventArgs;
extern "C" const IID IID_ICoreWebView2AcceleratorKeyPressedEventArgs;
extern "C" const IID IID_ICoreWebView2DOMContentLoadedEventArgs;
extern "C" const IID IID_ICoreWebView2NavigationCompletedEventArgs;
extern "C" const IID IID_ICoreWebView2Deferral;
extern "C" const IID IID_ICoreWebView2FileSystemHandle;
extern "C" const IID IID_ICoreWebView2ObjectCollectionView;
extern "C" const IID IID_ICoreWebView2ObjectCollection;
extern "C" const IID IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
extern "C" const IID IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
extern "C" const IID IID_ICoreWebView2WebResourceRequestedEventHandler;
extern "C" const IID IID_ICoreWebView2NavigationStartingEventHandler;
extern "C" const IID IID_ICoreWebView2DocumentTitleChangedEventHandler;
extern "C" const IID IID_ICoreWebView2PermissionRequestedEventHandler;
extern "C" const IID IID_ICoreWebView2ContainsFullScreenElementChangedEventHandler;
extern "C" const IID IID_ICoreWebView2WindowCloseRequestedEventHandler;
extern "C" const IID IID_ICoreWebView2NewWindowRequestedEventHandler;
extern "C" const IID IID_ICoreWebView2WebMessageReceivedEventHandler;
extern "C" const IID IID_ICoreWebView2DOMContentLoadedEventHandler;
extern "C" const IID IID_ICoreWebView2AcceleratorKeyPressedEventHandler;
extern "C" const IID IID_ICoreWebView2NavigationCompletedEventHandler;
extern "C" const IID IID_ICoreWebView2Controller2;
extern "C" const IID IID_ICoreWebView2ProcessFailedEventArgs;
extern "C" const IID IID_ICoreWebView2ProcessFailedEventArgs2;
extern "C" const IID IID_ICoreWebView2ProcessFailedEventHandler;
extern "C" const IID IID_ICoreWebView2DevToolsProtocolEventReceiver;
extern "C" const IID IID_ICoreWebView2DevToolsProtocolEventReceivedEventArgs;
extern "C" const IID IID_ICoreWebView2DevToolsProtocolEventReceivedEventHandler;
extern "C" const IID IID_ICoreWebView2CallDevToolsProtocolMethodCompletedHandler;

// IID 2fde08a8-1e9a-4766-8c05-95a9ceb9d1c5
struct ICoreWebView2EnvironmentOptions : public IUnknown {
    VANDREL_WEBVIEW2_STRING_PROPERTY(AdditionalBrowserArguments);             // slots 3, 4
    VANDREL_WEBVIEW2_STRING_PROPERTY(Language);                               // slots 5, 6
    VANDREL_WEBVIEW2_STRING_PROPERTY(TargetCompatibleBrowserVersion);         // slots 7, 8
    VANDREL_WEBVIEW2_PROPERTY(AllowSingleSignOnUsingOSPrimaryAccount, BOOL);  // slots 9, 10
};

// IID b96d755e-0319-4e92-a296-23436f46a1fc
struct ICoreWebView2Environment : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
        ICoreWebView2WebResourceResponse** response) = 0;                                 // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) = 0;  // slot 5
    VANDREL_WEBVIEW2_OWN_EVENT(NewBrowserVersionAvailable);  // slots 6, 7
};

// IID 41f3632b-5ef4-404f-ad82-2d606c5a9a21
struct ICoreWebView2Environment2 : public ICoreWebView2Environment {
    virtual HRESULT STDMETHODCALLTYPE
    CreateWebResourceRequest(LPCWSTR uri, LPCWSTR Method, IStream* postData, LPCWSTR Headers,
                             ICoreWebView2WebResourceRequest** value) = 0;  // slot 8
};

// IID 80a22ae3-be7c-4ce2-afe1-5a50056cdeeb
struct ICoreWebView2Environment3 : public ICoreWebView2Environment2 {
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2CompositionController(
        HWND ParentWindow, ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler*
                               handler) = 0;  // slot 9
    virtual HRESULT STDMETHODCALLTYPE
    CreateCoreWebView2PointerInfo(ICoreWebView2PointerInfo** value) = 0;  // slot 10
};

// IID 20944379-6dcf-41d6-a0a0-abc0fc50de0d
struct ICoreWebView2Environment4 : public ICoreWebView2Environment3 {
    virtual HRESULT STDMETHODCALLTYPE
    GetAutomationProviderForWindow(HWND hwnd, IUnknown** value) = 0;  // slot 11
};

// IID 319e423d-e0d7-4b8d-9254-ae9475de9b17
struct ICoreWebView2Environment5 : public ICoreWebView2Environment4 {
    VANDREL_WEBVIEW2_OWN_EVENT(BrowserProcessExited);  // slots 12, 13
};

// IID e59ee362-acbd-4857-9a8e-d3644d9459a9
struct ICoreWebView2Environment6 : public ICoreWebView2Environment5 {
    virtual HRESULT STDMETHODCALLTYPE
    CreatePrintSettings(ICoreWebView2PrintSettings** value) = 0;  // slot 14
};

// IID 43c22296-3bbd-43a4-9c00-5c0df6dd29a2
struct ICoreWebView2Environment7 : public ICoreWebView2Environment6 {
    virtual HRESULT STDMETHODCALLTYPE get_UserDataFolder(LPWSTR* value) = 0;  // slot 15
};

// IID d6eb91dd-c3d2-45e5-bd29-6dc2bc4de9cf
struct ICoreWebView2Environment8 : public ICoreWebView2Environment7 {
    VANDREL_WEBVIEW2_OWN_EVENT(ProcessInfosChanged);  // slots 16, 17
    virtual HRESULT STDMETHODCALLTYPE
    GetProcessInfos(ICoreWebView2ProcessInfoCollection** value) = 0;  // slot 18
};

// IID f06f41bf-4b5a-49d8-b9f6-fa16cd29f274
struct ICoreWebView2Environment9 : public ICoreWebView2Environment8 {
    virtual HRESULT STDMETHODCALLTYPE CreateContextMenuItem(
        LPCWSTR Label, IStream* iconStream, COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND Kind,
        ICoreWebView2ContextMenuItem** value) = 0;  // slot 19
};

// IID ee0eb9df-6f12-46ce-b53f-3f47b9c928e0
struct ICoreWebView2Environment10 : public ICoreWebView2Environment9 {
    virtual HRESULT STDMETHODCALLTYPE
    CreateCoreWebView2ControllerOptions(ICoreWebView2ControllerOptions** value) = 0;  // slot 20
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2ControllerWithOptions(
        HWND ParentWindow, ICoreWebView2ControllerOptions* options,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;  // slot 21
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2CompositionControllerWithOptions(
        HWND ParentWindow, ICoreWebView2ControllerOptions* options,
        ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler*
            handler) = 0;  // slot 22
};

// IID f0913dc6-a0ec-42ef-9805-91dff3a2966a
struct ICoreWebView2Environment11 : public ICoreWebView2Environment10 {
    virtual HRESULT STDMETHODCALLTYPE get_FailureReportFolderPath(LPWSTR* value) = 0;  // slot 23
};

// IID f503db9b-739f-48dd-b151-fdfcf253f54e
struct ICoreWebView2Environment12 : public ICoreWebView2Environment11 {
    virtual HRESULT STDMETHODCALLTYPE
    CreateSharedBuffer(UINT64 Size, ICoreWebView2SharedBuffer** value) = 0;  // slot 24
};

// IID af641f58-72b2-11ee-b962-0242ac120002
struct ICoreWebView2Environment13 : public ICoreWebView2Environment12 {
    virtual HRESULT STDMETHODCALLTYPE GetProcessExtendedInfos(
        ICoreWebView2GetProcessExtendedInfosCompletedHandler* handler) = 0;  // slot 25
};

// IID a5e9fad9-c875-59da-9bd7-473aa5ca1cef
struct ICoreWebView2Environment14 : public ICoreWebView2Environment13 {
    virtual HRESULT STDMETHODCALLTYPE CreateWebFileSystemFileHandle(
        LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
        ICoreWebView2FileSystemHandle** value) = 0;  // slot 26
    virtual HRESULT STDMETHODCALLTYPE CreateWebFileSystemDirectoryHandle(
        LPCWSTR path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
        ICoreWebView2FileSystemHandle** value) = 0;  // slot 27
    virtual HRESULT STDMETHODCALLTYPE
    CreateObjectCollection(UINT32 length, IUnknown** items,
                           ICoreWebView2ObjectCollection** objectCollection) = 0;  // slot 28
};

// IID 4d00c0d1-9434-4eb6-8078-8697a560334f
struct ICoreWebView2Controller : public IUnknown {
    VANDREL_WEBVIEW2_PROPERTY(IsVisible, BOOL);     // slots 3, 4
    VANDREL_WEBVIEW2_PROPERTY(Bounds, RECT);        // slots 5, 6
    VANDREL_WEBVIEW2_PROPERTY(ZoomFactor, double);  // slots 7, 8
    VANDREL_WEBVIEW2_OWN_EVENT(ZoomFactorChanged);  // slots 9, 10
    virtual HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds,
                                                             double zoomFactor) = 0;  // slot 11
    virtual HRESULT STDMETHODCALLTYPE
    MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) = 0;                       // slot 12
    VANDREL_WEBVIEW2_OWN_EVENT(MoveFocusRequested);                             // slots 13, 14
    VANDREL_WEBVIEW2_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler);    // slots 15, 16
    VANDREL_WEBVIEW2_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler);   // slots 17, 18
    VANDREL_WEBVIEW2_OWN_EVENT(AcceleratorKeyPressed);                          // slots 19, 20
    VANDREL_WEBVIEW2_PROPERTY(ParentWindow, HWND);                              // slots 21, 22
    virtual HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() = 0;  // slot 23
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                              // slot 24
    virtual HRESULT STDMETHODCALLTYPE
    get_CoreWebView2(ICoreWebView2** coreWebView2) = 0;  // slot 25
};

// IID c979903e-d4ca-4228-92eb-47ee3fa96eab
struct ICoreWebView2Controller2 : public ICoreWebView2Controller {
    VANDREL_WEBVIEW2_PROPERTY(DefaultBackgroundColor, COREWEBVIEW2_COLOR);  // slots 26, 27
};

// IID 76eceacb-0462-4d94-ac83-423a6793775e
struct ICoreWebView2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) = 0;                         // slot 4
    virtual HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) = 0;                           // slot 5
    virtual HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) = 0;           // slot 6
    VANDREL_WEBVIEW2_OWN_EVENT(NavigationStarting);   // slots 7, 8
    VANDREL_WEBVIEW2_OWN_EVENT(ContentLoading);       // slots 9, 10
    VANDREL_WEBVIEW2_OWN_EVENT(SourceChanged);        // slots 11, 12
    VANDREL_WEBVIEW2_OWN_EVENT(HistoryChanged);       // slots 13, 14
    VANDREL_WEBVIEW2_OWN_EVENT(NavigationCompleted);  // slots 15, 16
    VANDREL_WEBVIEW2_EVENT(FrameNavigationStarting,
                           ICoreWebView2NavigationStartingEventHandler);  // slots 17, 18
    VANDREL_WEBVIEW2_EVENT(FrameNavigationCompleted,
                           ICoreWebView2NavigationCompletedEventHandler);  // slots 19, 20
    VANDREL_WEBVIEW2_OWN_EVENT(ScriptDialogOpening);                       // slots 21, 22
    VANDREL_WEBVIEW2_OWN_EVENT(PermissionRequested);                       // slots 23, 24
    VANDREL_WEBVIEW2_OWN_EVENT(ProcessFailed);                             // slots 25, 26
    virtual HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR javaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) = 0;  // slot 27
    virtual HRESULT STDMETHODCALLTYPE
    RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) = 0;  // slot 28
    virtual HRESULT STDMETHODCALLTYPE ExecuteScript(
        LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) = 0;  // slot 29
    virtual HRESULT STDMETHODCALLTYPE
    CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat, IStream* imageStream,
                   ICoreWebView2CapturePreviewCompletedHandler* handler) = 0;  // slot 30
    virtual HRESULT STDMETHODCALLTYPE Reload() = 0;                            // slot 31
    virtual HRESULT STDMETHODCALLTYPE
    PostWebMessageAsJson(LPCWSTR webMessageAsJson) = 0;  // slot 32
    virtual HRESULT STDMETHODCALLTYPE
    PostWebMessageAsString(LPCWSTR webMessageAsString) = 0;  // slot 33
    VANDREL_WEBVIEW2_OWN_EVENT(WebMessageReceived);          // slots 34, 35
    virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(
        LPCWSTR methodName, LPCWSTR parametersAsJson,
        ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) = 0;   // slot 36
    virtual HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) = 0;   // slot 37
    virtual HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* canGoBack) = 0;        // slot 38
    virtual HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* canGoForward) = 0;  // slot 39
    virtual HRESULT STDMETHODCALLTYPE GoBack() = 0;                              // slot 40
    virtual HRESULT STDMETHODCALLTYPE GoForward() = 0;                           // slot 41
    virtual HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(
        LPCWSTR eventName, ICoreWebView2DevToolsProtocolEventReceiver** receiver) = 0;  // slot 42
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;                                       // slot 43
    VANDREL_WEBVIEW2_OWN_EVENT(NewWindowRequested);                          // slots 44, 45
    VANDREL_WEBVIEW2_OWN_EVENT(DocumentTitleChanged);                        // slots 46, 47
    virtual HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) = 0;  // slot 48
    virtual HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR name,
                                                            VARIANT* object) = 0;    // slot 49
    virtual HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR name) = 0;  // slot 50
    virtual HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() = 0;                      // slot 51
    VANDREL_WEBVIEW2_OWN_EVENT(ContainsFullScreenElementChanged);                    // slots 52, 53
    virtual HRESULT STDMETHODCALLTYPE
    get_ContainsFullScreenElement(BOOL* containsFullScreenElement) = 0;  // slot 54
    VANDREL_WEBVIEW2_OWN_EVENT(WebResourceRequested);                    // slots 55, 56
    virtual HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) = 0;  // slot 57
    virtual HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) = 0;  // slot 58
    VANDREL_WEBVIEW2_OWN_EVENT(WindowCloseRequested);  // slots 59, 60
};

// IID 9e8f0cf8-e670-4b5e-b2bc-73e061e3184c
struct ICoreWebView2_2 : public ICoreWebView2 {
    VANDREL_WEBVIEW2_OWN_EVENT(WebResourceResponseReceived);  // slots 61, 62
    virtual HRESULT STDMETHODCALLTYPE
    NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest* request) = 0;  // slot 63
    VANDREL_WEBVIEW2_OWN_EVENT(DOMContentLoaded);                                  // slots 64, 65
    virtual HRESULT STDMETHODCALLTYPE
    get_CookieManager(ICoreWebView2CookieManager** cookieManager) = 0;  // slot 66
    virtual HRESULT STDMETHODCALLTYPE
    get_Environment(ICoreWebView2Environment** environment) = 0;  // slot 67
};

// IID a0d6df20-3b92-416d-aa0c-437a9c727857
struct ICoreWebView2_3 : public ICoreWebView2_2 {
    virtual HRESULT STDMETHODCALLTYPE
    TrySuspend(ICoreWebView2TrySuspendCompletedHandler* handler) = 0;          // slot 68
    virtual HRESULT STDMETHODCALLTYPE Resume() = 0;                            // slot 69
    virtual HRESULT STDMETHODCALLTYPE get_IsSuspended(BOOL* isSuspended) = 0;  // slot 70
    virtual HRESULT STDMETHODCALLTYPE SetVirtualHostNameToFolderMapping(
        LPCWSTR hostName, LPCWSTR folderPath,
        COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND accessKind) = 0;  // slot 71
    virtual HRESULT STDMETHODCALLTYPE
    ClearVirtualHostNameToFolderMapping(LPCWSTR hostName) = 0;  // slot 72
};

// IID 20d02d59-6df2-42dc-bd06-f98a694b1302
struct ICoreWebView2_4 : public ICoreWebView2_3 {
    VANDREL_WEBVIEW2_OWN_EVENT(FrameCreated);      // slots 73, 74
    VANDREL_WEBVIEW2_OWN_EVENT(DownloadStarting);  // slots 75, 76
};

// IID bedb11b8-d63c-11eb-b8bc-0242ac130003
struct ICoreWebView2_5 : public ICoreWebView2_4 {
    VANDREL_WEBVIEW2_OWN_EVENT(ClientCertificateRequested);  // slots 77, 78
};

// IID 499aadac-d92c-4589-8a75-111bfc167795
struct ICoreWebView2_6 : public ICoreWebView2_5 {
    virtual HRESULT STDMETHODCALLTYPE OpenTaskManagerWindow() = 0;  // slot 79
};

// IID 79c24d83-09a3-45ae-9418-487f32a58740
struct ICoreWebView2_7 : public ICoreWebView2_6 {
    virtual HRESULT STDMETHODCALLTYPE
    PrintToPdf(LPCWSTR ResultFilePath, ICoreWebView2PrintSettings* printSettings,
               ICoreWebView2PrintToPdfCompletedHandler* handler) = 0;  // slot 80
};

// IID e9632730-6e1e-43ab-b7b8-7b2c9e62e094
struct ICoreWebView2_8 : public ICoreWebView2_7 {
    VANDREL_WEBVIEW2_OWN_EVENT(IsMutedChanged);                                     // slots 81, 82
    VANDREL_WEBVIEW2_PROPERTY(IsMuted, BOOL);                                       // slots 83, 84
    VANDREL_WEBVIEW2_OWN_EVENT(IsDocumentPlayingAudioChanged);                      // slots 85, 86
    virtual HRESULT STDMETHODCALLTYPE get_IsDocumentPlayingAudio(BOOL* value) = 0;  // slot 87
};

// IID 4d7b2eab-9fdc-468d-b998-a9260b5ed651
struct ICoreWebView2_9 : public ICoreWebView2_8 {
    VANDREL_WEBVIEW2_OWN_EVENT(IsDefaultDownloadDialogOpenChanged);  // slots 88, 89
    virtual HRESULT STDMETHODCALLTYPE get_IsDefaultDownloadDialogOpen(BOOL* value) = 0;  // slot 90
    virtual HRESULT STDMETHODCALLTYPE OpenDefaultDownloadDialog() = 0;                   // slot 91
    virtual HRESULT STDMETHODCALLTYPE CloseDefaultDownloadDialog() = 0;                  // slot 92
    VANDREL_WEBVIEW2_PROPERTY(
        DefaultDownloadDialogCornerAlignment,
        COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT);     // slots 93, 94
    VANDREL_WEBVIEW2_PROPERTY(DefaultDownloadDialogMargin, POINT);  // slots 95, 96
};

// IID b1690564-6f5a-4983-8e48-31d1143fecdb
struct ICoreWebView2_10 : public ICoreWebView2_9 {
    VANDREL_WEBVIEW2_OWN_EVENT(BasicAuthenticationRequested);  // slots 97, 98
};

// IID 0be78e56-c193-4051-b943-23b460c08bdb
struct ICoreWebView2_11 : public ICoreWebView2_10 {
    virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethodForSession(
        LPCWSTR sessionId, LPCWSTR methodName, LPCWSTR parametersAsJson,
        ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) = 0;  // slot 99
    VANDREL_WEBVIEW2_OWN_EVENT(ContextMenuRequested);                           // slots 100, 101
};

// IID 35d69927-bcfa-4566-9349-6b3e0d154cac
struct ICoreWebView2_12 : public ICoreWebView2_11 {
    VANDREL_WEBVIEW2_OWN_EVENT(StatusBarTextChanged);                        // slots 102, 103
    virtual HRESULT STDMETHODCALLTYPE get_StatusBarText(LPWSTR* value) = 0;  // slot 104
};

// IID f75f09a8-667e-4983-88d6-c8773f315e84
struct ICoreWebView2_13 : public ICoreWebView2_12 {
    virtual HRESULT STDMETHODCALLTYPE get_Profile(ICoreWebView2Profile** value) = 0;  // slot 105
};

// IID 6daa4f10-4a90-4753-8898-77c5df534165
struct ICoreWebView2_14 : public ICoreWebView2_13 {
    VANDREL_WEBVIEW2_OWN_EVENT(ServerCertificateErrorDetected);  // slots 106, 107
    virtual HRESULT STDMETHODCALLTYPE ClearServerCertificateErrorActions(
        ICoreWebView2ClearServerCertificateErrorActionsCompletedHandler* handler) = 0;  // slot 108
};

// IID 517b2d1d-7dae-4a66-a4f4-10352ffb9518
struct ICoreWebView2_15 : public ICoreWebView2_14 {
    VANDREL_WEBVIEW2_OWN_EVENT(FaviconChanged);                           // slots 109, 110
    virtual HRESULT STDMETHODCALLTYPE get_FaviconUri(LPWSTR* value) = 0;  // slot 111
    virtual HRESULT STDMETHODCALLTYPE
    GetFavicon(COREWEBVIEW2_FAVICON_IMAGE_FORMAT format,
               ICoreWebView2GetFaviconCompletedHandler* completedHandler) = 0;  // slot 112
};

// IID 0eb34dc9-9f91-41e1-8639-95cd5943906b
struct ICoreWebView2_16 : public ICoreWebView2_15 {
    virtual HRESULT STDMETHODCALLTYPE
    Print(ICoreWebView2PrintSettings* printSettings,
          ICoreWebView2PrintCompletedHandler* handler) = 0;  // slot 113
    virtual HRESULT STDMETHODCALLTYPE
    ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) = 0;  // slot 114
    virtual HRESULT STDMETHODCALLTYPE
    PrintToPdfStream(ICoreWebView2PrintSettings* printSettings,
                     ICoreWebView2PrintToPdfStreamCompletedHandler* handler) = 0;  // slot 115
};

// IID 702e75d4-fd44-434d-9d70-1a68a6b1192a
struct ICoreWebView2_17 : public ICoreWebView2_16 {
    virtual HRESULT STDMETHODCALLTYPE PostSharedBufferToScript(
        ICoreWebView2SharedBuffer* sharedBuffer, COREWEBVIEW2_SHARED_BUFFER_ACCESS access,
        LPCWSTR additionalDataAsJson) = 0;  // slot 116
};

// IID 7a626017-28be-49b2-b865-3ba2b3522d90
struct ICoreWebView2_18 : public ICoreWebView2_17 {
    VANDREL_WEBVIEW2_OWN_EVENT(LaunchingExternalUriScheme);  // slots 117, 118
};

// IID 6921f954-79b0-437f-a997-c85811897c68
struct ICoreWebView2_19 : public ICoreWebView2_18 {
    VANDREL_WEBVIEW2_PROPERTY(MemoryUsageTargetLevel,
                              COREWEBVIEW2_MEMORY_USAGE_TARGET_LEVEL);  // slots 119, 120
};

// IID b4bc1926-7305-11ee-b962-0242ac120002
struct ICoreWebView2_20 : public ICoreWebView2_19 {
    virtual HRESULT STDMETHODCALLTYPE get_FrameId(UINT32* value) = 0;  // slot 121
};

// IID c4980dea-587b-43b9-8143-3ef3bf552d95
struct ICoreWebView2_21 : public ICoreWebView2_20 {
    virtual HRESULT STDMETHODCALLTYPE ExecuteScriptWithResult(
        LPCWSTR javaScript,
        ICoreWebView2ExecuteScriptWithResultCompletedHandler* handler) = 0;  // slot 122
};

// IID db75dfc7-a857-4632-a398-6969dde26c0a
struct ICoreWebView2_22 : public ICoreWebView2_21 {
    virtual HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilterWithRequestSourceKinds(
        LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext,
        COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS requestSourceKinds) = 0;  // slot 123
    virtual HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilterWithRequestSourceKinds(
        LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext,
        COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS requestSourceKinds) = 0;  // slot 124
};

// IID 508f0db5-90c4-5872-90a7-267a91377502
struct ICoreWebView2_23 : public ICoreWebView2_22 {
    virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsJsonWithAdditionalObjects(
        LPCWSTR webMessageAsJson,
        ICoreWebView2ObjectCollectionView* additionalObjects) = 0;  // slot 125
};

// IID e562e4f0-d7fa-43ac-8d71-c05150499f00
struct ICoreWebView2Settings : public IUnknown {
    VANDREL_WEBVIEW2_PROPERTY(IsScriptEnabled, BOOL);                 // slots 3, 4
    VANDREL_WEBVIEW2_PROPERTY(IsWebMessageEnabled, BOOL);             // slots 5, 6
    VANDREL_WEBVIEW2_PROPERTY(AreDefaultScriptDialogsEnabled, BOOL);  // slots 7, 8
    VANDREL_WEBVIEW2_PROPERTY(IsStatusBarEnabled, BOOL);              // slots 9, 10
    VANDREL_WEBVIEW2_PROPERTY(AreDevToolsEnabled, BOOL);              // slots 11, 12
    VANDREL_WEBVIEW2_PROPERTY(AreDefaultContextMenusEnabled, BOOL);   // slots 13, 14
    VANDREL_WEBVIEW2_PROPERTY(AreHostObjectsAllowed, BOOL);           // slots 15, 16
    VANDREL_WEBVIEW2_PROPERTY(IsZoomControlEnabled, BOOL);            // slots 17, 18
    VANDREL_WEBVIEW2_PROPERTY(IsBuiltInErrorPageEnabled, BOOL);       // slots 19, 20
};

// IID ee9a0f68-f46c-4e32-ac23-ef8cac224d2a
struct ICoreWebView2Settings2 : public ICoreWebView2Settings {
    VANDREL_WEBVIEW2_STRING_PROPERTY(UserAgent);  // slots 21, 22
};

// IID fdb5ab74-af33-4854-84f0-0a631deb5eba
struct ICoreWebView2Settings3 : public ICoreWebView2Settings2 {
    VANDREL_WEBVIEW2_PROPERTY(AreBrowserAcceleratorKeysEnabled, BOOL);  // slots 23, 24
};

// IID 453e667f-12c7-49d4-be6d-ddbe7956f57a
struct ICoreWebView2WebResourceRequestedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    get_Request(ICoreWebView2WebResourceRequest** request) = 0;              // slot 3
    VANDREL_WEBVIEW2_PROPERTY(Response, ICoreWebView2WebResourceResponse*);  // slots 4, 5
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;  // slot 6
    virtual HRESULT STDMETHODCALLTYPE
    get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) = 0;  // slot 7
};

// IID 97055cd4-512c-4264-8b5f-e3f446cea6a5
struct ICoreWebView2WebResourceRequest : public IUnknown {
    VANDREL_WEBVIEW2_STRING_PROPERTY(Uri);         // slots 3, 4
    VANDREL_WEBVIEW2_STRING_PROPERTY(Method);      // slots 5, 6
    VANDREL_WEBVIEW2_PROPERTY(Content, IStream*);  // slots 7, 8
    virtual HRESULT STDMETHODCALLTYPE
    get_Headers(ICoreWebView2HttpRequestHeaders** headers) = 0;  // slot 9
};

// IID e86cac0e-5523-465c-b536-8fb9fc8c8c60
struct ICoreWebView2HttpRequestHeaders : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE
    GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** value) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) = 0;         // slot 5
    virtual HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) = 0;      // slot 6
    virtual HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) = 0;                  // slot 7
    virtual HRESULT STDMETHODCALLTYPE
    GetIterator(ICoreWebView2HttpHeadersCollectionIterator** value) = 0;  // slot 8
};

// IID 0702fc30-f43b-47bb-ab52-a42cb552ad9f
struct ICoreWebView2HttpHeadersCollectionIterator : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCurrentHeader(LPWSTR* name, LPWSTR* value) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_HasCurrentHeader(BOOL* hasCurrent) = 0;         // slot 4
    virtual HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasNext) = 0;                        // slot 5
};

// IID aafcc94f-fa27-48fd-97df-830ef75aaec9
struct ICoreWebView2WebResourceResponse : public IUnknown {
    VANDREL_WEBVIEW2_PROPERTY(Content, IStream*);  // slots 3, 4
    virtual HRESULT STDMETHODCALLTYPE
    get_Headers(ICoreWebView2HttpResponseHeaders** headers) = 0;  // slot 5
    VANDREL_WEBVIEW2_PROPERTY(StatusCode, int);                   // slots 6, 7
    VANDREL_WEBVIEW2_STRING_PROPERTY(ReasonPhrase);               // slots 8, 9
};

// IID 03c5ff5a-9b45-4a88-881c-89a9f328619c
struct ICoreWebView2HttpResponseHeaders : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AppendHeader(LPCWSTR name, LPCWSTR value) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) = 0;        // slot 4
    virtual HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) = 0;     // slot 5
    virtual HRESULT STDMETHODCALLTYPE
    GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** value) = 0;  // slot 6
    virtual HRESULT STDMETHODCALLTYPE
    GetIterator(ICoreWebView2HttpHeadersCollectionIterator** value) = 0;  // slot 7
};

// IID 5b495469-e119-438a-9b18-7604f25f2e49
struct ICoreWebView2NavigationStartingEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                        // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* isRedirected) = 0;        // slot 5
    virtual HRESULT STDMETHODCALLTYPE
    get_RequestHeaders(ICoreWebView2HttpRequestHeaders** requestHeaders) = 0;      // slot 6
    VANDREL_WEBVIEW2_PROPERTY(Cancel, BOOL);                                       // slots 7, 8
    virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) = 0;  // slot 9
};

// IID 973ae2ef-ff18-4894-8fb2-3c758f046810
struct ICoreWebView2PermissionRequestedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE
    get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* permissionKind) = 0;              // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;  // slot 5
    VANDREL_WEBVIEW2_PROPERTY(State, COREWEBVIEW2_PERMISSION_STATE);                   // slots 6, 7
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;  // slot 8
};

// IID 34acb11c-fc37-4418-9132-f9c21d1eafb9
struct ICoreWebView2NewWindowRequestedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                           // slot 3
    virtual HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) = 0;        // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) = 0;       // slot 5
    virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;                      // slot 6
    virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;                     // slot 7
    virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;     // slot 8
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;  // slot 9
    virtual HRESULT STDMETHODCALLTYPE
    get_WindowFeatures(ICoreWebView2WindowFeatures** value) = 0;  // slot 10
};

// IID 0f99a40c-e962-4207-9e92-e3d542eff849
struct ICoreWebView2WebMessageReceivedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) = 0;                // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) = 0;      // slot 4
    virtual HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) = 0;  // slot 5
};

// IID 9f760f8a-fb79-42be-9990-7b56900fa9c7
struct ICoreWebView2AcceleratorKeyPressedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* keyEventKind) = 0;         // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_VirtualKey(UINT* virtualKey) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_KeyEventLParam(INT* lParam) = 0;   // slot 5
    virtual HRESULT STDMETHODCALLTYPE
    get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* physicalKeyStatus) = 0;  // slot 6
    VANDREL_WEBVIEW2_PROPERTY(Handled, BOOL);                                        // slots 7, 8
};

// IID 16b1e21a-c503-44f2-84c9-70aba5031283
struct ICoreWebView2DOMContentLoadedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) = 0;  // slot 3
};

// IID 30d68b7d-20d9-4752-a9ca-ec8448fbb5c1
struct ICoreWebView2NavigationCompletedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* isSuccess) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE
    get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* webErrorStatus) = 0;         // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) = 0;  // slot 5
};

// IID c10e7f7b-b585-46f0-a623-8befbf3e4ee0
struct ICoreWebView2Deferral : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Complete() = 0;  // slot 3
};

// IID c65100ac-0de2-5551-a362-23d9bd1d0e1f
struct ICoreWebView2FileSystemHandle : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    get_Kind(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND* value) = 0;      // slot 3
    virtual HRESULT STDMETHODCALLTYPE get_Path(LPWSTR* value) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE
    get_Permission(COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION* value) = 0;  // slot 5
};

// IID 0f36fd87-4f69-4415-98da-888f89fb9a33
struct ICoreWebView2ObjectCollectionView : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(UINT32* value) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE GetValueAtIndex(UINT32 index,
                                                      IUnknown** value) = 0;  // slot 4
};

// IID 5cfec11c-25bd-4e8d-9e1a-7acdaeeec047
struct ICoreWebView2ObjectCollection : public ICoreWebView2ObjectCollectionView {
    virtual HRESULT STDMETHODCALLTYPE RemoveValueAtIndex(UINT32 index) = 0;  // slot 5
    virtual HRESULT STDMETHODCALLTYPE InsertValueAtIndex(UINT32 index,
                                                         IUnknown* value) = 0;  // slot 6
};

// IID 8155a9a4-1474-4a86-8cae-151b0fa6b8ca
struct ICoreWebView2ProcessFailedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) = 0;  // slot 3
};

// IID 4dab9422-46fa-4c3e-a5d2-41d2071d3680
struct ICoreWebView2ProcessFailedEventArgs2 : public ICoreWebView2ProcessFailedEventArgs {
    virtual HRESULT STDMETHODCALLTYPE
    get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* reason) = 0;                    // slot 4
    virtual HRESULT STDMETHODCALLTYPE get_ExitCode(int* exitCode) = 0;             // slot 5
    virtual HRESULT STDMETHODCALLTYPE get_ProcessDescription(LPWSTR* value) = 0;  // slot 6
    virtual HRESULT STDMETHODCALLTYPE
    get_FrameInfosForFailedProcess(ICoreWebView2FrameInfoCollection** frames) = 0;  // slot 7
};

// IID b32ca51a-8371-45e9-9317-af021d080367
struct ICoreWebView2DevToolsProtocolEventReceiver : public IUnknown {
    VANDREL_WEBVIEW2_EVENT(DevToolsProtocolEventReceived,
                           ICoreWebView2DevToolsProtocolEventReceivedEventHandler);  // slots 3, 4
};

// IID 653c2959-bb3a-4377-8632-b58ada4e66c4
struct ICoreWebView2DevToolsProtocolEventReceivedEventArgs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ParameterObjectAsJson(LPWSTR* value) = 0;  // slot 3
};

// IID 4e8a3389-c9d8-4bd2-b6b5-124fee6cc14d
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
                         ICoreWebView2Environment*);
// IID 6c4819f3-c9b7-4260-8127-c9f5bde7f68c
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT,
                         ICoreWebView2Controller*);
// IID ab00b74c-15f1-4646-80e8-e76341d25d71
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2*,
                         ICoreWebView2WebResourceRequestedEventArgs*);
// IID 9adbe429-f36d-432b-9ddc-f8881fbd76e3
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2NavigationStartingEventHandler, ICoreWebView2*,
                         ICoreWebView2NavigationStartingEventArgs*);
// IID f5f2b923-953e-4042-9f95-f3a118e1afd4
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2DocumentTitleChangedEventHandler, ICoreWebView2*, IUnknown*);
// IID 15e1c6a3-c72a-4df3-91d7-d097fbec6bfd
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2*,
                         ICoreWebView2PermissionRequestedEventArgs*);
// IID e45d98b1-afef-45be-8baf-6c7728867f73
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2ContainsFullScreenElementChangedEventHandler, ICoreWebView2*,
                         IUnknown*);
// IID 5c19e9e0-092f-486b-affa-ca8231913039
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2WindowCloseRequestedEventHandler, ICoreWebView2*, IUnknown*);
// IID d4c185fe-c81c-4989-97af-2d3fa7ab5651
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2*,
                         ICoreWebView2NewWindowRequestedEventArgs*);
// IID 57213f19-00e6-49fa-8e07-898ea01ecbd2
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2*,
                         ICoreWebView2WebMessageReceivedEventArgs*);
// IID 4bac7e9c-199e-49ed-87ed-249303acf019
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2DOMContentLoadedEventHandler, ICoreWebView2*,
                         ICoreWebView2DOMContentLoadedEventArgs*);
// IID b29c7e28-fa79-41a8-8e44-65811c76dcb2
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2AcceleratorKeyPressedEventHandler, ICoreWebView2Controller*,
                         ICoreWebView2AcceleratorKeyPressedEventArgs*);
// IID d33a35bf-1c49-4f98-93ab-006e0533fe1c
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2*,
                         ICoreWebView2NavigationCompletedEventArgs*);
// IID e2fda4be-5456-406c-a261-3d452138362c
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2DevToolsProtocolEventReceivedEventHandler, ICoreWebView2*,
                         ICoreWebView2DevToolsProtocolEventReceivedEventArgs*);
// IID 5c4889f0-5ef6-4c5a-952c-d8f1b92d0574
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler, HRESULT, LPCWSTR);
// IID 79e0aea4-990b-42d9-aa1d-0fcc2e5bc7f1
VANDREL_WEBVIEW2_HANDLER(ICoreWebView2ProcessFailedEventHandler, ICoreWebView2*,
                         ICoreWebView2ProcessFailedEventArgs*);

// The WebView2Loader.dll exports the host calls (the import library comes from
// WebView2Loader.def). The official SDK header declares these itself.
extern "C" HRESULT __stdcall CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

// Sets *versionInfo to a CoTaskMemAlloc'd version text (the caller frees it with CoTaskMemFree),
// or to null with a failure HRESULT when no runtime is found.
extern "C" HRESULT __stdcall GetAvailableCoreWebView2BrowserVersionString(
    PCWSTR browserExecutableFolder, LPWSTR* versionInfo);
