// Checks the WebView2 declarations against the published interface: vtable slots of the methods
// the host calls, parameter types, base interfaces, interface ids, enumeration values and sizes.
// The expected values below are written from the published interface, not from the header, so a
// misplaced or missing method, a wrong base or a mistyped IID fails here.
#include "win32/webview2/webview2.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// The vtable slot of a virtual method, from its pointer to member. GCC on MinGW follows the
// Itanium C++ ABI: a member-function pointer is {ptr, adj}; for a virtual method ptr is 1 plus the
// byte offset of its entry in the vtable. Returns -1 for a non-virtual method and -2 when the
// pointer carries a this-adjustment (the interface is not single inheritance from IUnknown).
template <typename Pmf>
long SlotOf(Pmf method) {
    static_assert(std::is_member_function_pointer_v<Pmf>);
    struct Representation {
        std::uintptr_t ptr;
        std::ptrdiff_t adj;
    };
    static_assert(sizeof(Pmf) == sizeof(Representation));
    Representation r;
    std::memcpy(&r, &method, sizeof r);
    if ((r.ptr & 1) == 0) {
        return -1;
    }
    if (r.adj != 0) {
        return -2;
    }
    return static_cast<long>((r.ptr - 1) / sizeof(void*));
}

struct SlotRow {
    const char* method;  // "Interface::Method"
    long actual;
    long published;
};

std::string TestName(const char* method) {
    std::string name;
    for (const char* c = method; *c != '\0'; ++c) {
        if (*c == ':') {
            if (c[1] == ':') {
                ++c;
            }
            name += '_';
        } else {
            name += *c;
        }
    }
    return name;
}

// The slot helper itself, on an interface whose layout is known.
struct KnownLayout : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Third() = 0;
    virtual HRESULT STDMETHODCALLTYPE Fourth(int) = 0;
    void NotVirtual() {}
};

TEST(SlotOf, ReadsSlotsFromMemberPointers) {
    EXPECT_EQ(SlotOf(static_cast<HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**)>(
                  &IUnknown::QueryInterface)),
              0);
    EXPECT_EQ(SlotOf(&IUnknown::AddRef), 1);
    EXPECT_EQ(SlotOf(&IUnknown::Release), 2);
    EXPECT_EQ(SlotOf(&KnownLayout::Third), 3);
    EXPECT_EQ(SlotOf(&KnownLayout::Fourth), 4);
    EXPECT_EQ(SlotOf(&KnownLayout::NotVirtual), -1);
}

// A method the host calls: its published slot, and (checked at compile time) its published
// parameter types. The pointer to member is always taken through the interface the host uses, so
// inherited methods are reached the same way the host reaches them.
template <typename I, typename... Params>
using PublishedMethod = HRESULT (STDMETHODCALLTYPE I::*)(Params...);

template <typename Published, typename Pmf>
SlotRow HostRow(const char* method, Pmf pointer, long published_slot) {
    static_assert(std::is_same_v<Pmf, Published>,
                  "a method the host calls does not take its published parameter types");
    return {method, SlotOf(pointer), published_slot};
}

#define HOST_METHOD(I, M, slot, ...) \
    (HostRow<PublishedMethod<I __VA_OPT__(, ) __VA_ARGS__>>(#I "::" #M, &I::M, slot))

const SlotRow kHostMethods[] = {
    HOST_METHOD(ICoreWebView2EnvironmentOptions, get_AdditionalBrowserArguments, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2EnvironmentOptions, put_AdditionalBrowserArguments, 4, LPCWSTR),
    HOST_METHOD(ICoreWebView2EnvironmentOptions, get_TargetCompatibleBrowserVersion, 7, LPWSTR*),
    HOST_METHOD(ICoreWebView2EnvironmentOptions, put_TargetCompatibleBrowserVersion, 8, LPCWSTR),

    HOST_METHOD(ICoreWebView2Environment, CreateCoreWebView2Controller, 3, HWND,
                ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*),
    HOST_METHOD(ICoreWebView2Environment, CreateWebResourceResponse, 4, IStream*, int, LPCWSTR,
                LPCWSTR, ICoreWebView2WebResourceResponse**),
    HOST_METHOD(ICoreWebView2Environment14, CreateWebFileSystemDirectoryHandle, 27, LPCWSTR,
                COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION, ICoreWebView2FileSystemHandle**),
    HOST_METHOD(ICoreWebView2Environment14, CreateObjectCollection, 28, UINT32, IUnknown**,
                ICoreWebView2ObjectCollection**),

    HOST_METHOD(ICoreWebView2Controller, put_IsVisible, 4, BOOL),
    HOST_METHOD(ICoreWebView2Controller, put_Bounds, 6, RECT),
    HOST_METHOD(ICoreWebView2Controller, MoveFocus, 12, COREWEBVIEW2_MOVE_FOCUS_REASON),
    HOST_METHOD(ICoreWebView2Controller, add_AcceleratorKeyPressed, 19,
                ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2Controller, NotifyParentWindowPositionChanged, 23),
    HOST_METHOD(ICoreWebView2Controller, get_CoreWebView2, 25, ICoreWebView2**),
    HOST_METHOD(ICoreWebView2Controller, Close, 24),
    HOST_METHOD(ICoreWebView2Controller2, put_DefaultBackgroundColor, 27, COREWEBVIEW2_COLOR),
    HOST_METHOD(ICoreWebView2, add_ProcessFailed, 25, ICoreWebView2ProcessFailedEventHandler*,
                EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, Reload, 31),
    HOST_METHOD(ICoreWebView2, CallDevToolsProtocolMethod, 36, LPCWSTR, LPCWSTR,
                ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*),
    HOST_METHOD(ICoreWebView2, GetDevToolsProtocolEventReceiver, 42, LPCWSTR,
                ICoreWebView2DevToolsProtocolEventReceiver**),
    HOST_METHOD(ICoreWebView2DevToolsProtocolEventReceiver, add_DevToolsProtocolEventReceived, 3,
                ICoreWebView2DevToolsProtocolEventReceivedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2DevToolsProtocolEventReceivedEventArgs, get_ParameterObjectAsJson, 3,
                LPWSTR*),
    HOST_METHOD(ICoreWebView2DevToolsProtocolEventReceivedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2DevToolsProtocolEventReceivedEventArgs*),
    HOST_METHOD(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler, Invoke, 3, HRESULT,
                LPCWSTR),
    HOST_METHOD(ICoreWebView2ProcessFailedEventArgs2, get_ExitCode, 5, int*),
    HOST_METHOD(ICoreWebView2ProcessFailedEventArgs2, get_Reason, 4,
                COREWEBVIEW2_PROCESS_FAILED_REASON*),
    HOST_METHOD(ICoreWebView2ProcessFailedEventArgs, get_ProcessFailedKind, 3,
                COREWEBVIEW2_PROCESS_FAILED_KIND*),
    HOST_METHOD(ICoreWebView2ProcessFailedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2ProcessFailedEventArgs*),

    HOST_METHOD(ICoreWebView2, get_Settings, 3, ICoreWebView2Settings**),
    HOST_METHOD(ICoreWebView2, get_Source, 4, LPWSTR*),
    HOST_METHOD(ICoreWebView2, Navigate, 5, LPCWSTR),
    HOST_METHOD(ICoreWebView2, add_NavigationStarting, 7,
                ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, add_PermissionRequested, 23,
                ICoreWebView2PermissionRequestedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, PostWebMessageAsJson, 32, LPCWSTR),
    HOST_METHOD(ICoreWebView2, add_WebMessageReceived, 34,
                ICoreWebView2WebMessageReceivedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, add_NewWindowRequested, 44,
                ICoreWebView2NewWindowRequestedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, add_DocumentTitleChanged, 46,
                ICoreWebView2DocumentTitleChangedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, get_DocumentTitle, 48, LPWSTR*),
    HOST_METHOD(ICoreWebView2, OpenDevToolsWindow, 51),
    HOST_METHOD(ICoreWebView2, add_ContainsFullScreenElementChanged, 52,
                ICoreWebView2ContainsFullScreenElementChangedEventHandler*,
                EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, get_ContainsFullScreenElement, 54, BOOL*),
    HOST_METHOD(ICoreWebView2, add_WebResourceRequested, 55,
                ICoreWebView2WebResourceRequestedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2, AddWebResourceRequestedFilter, 57, LPCWSTR,
                COREWEBVIEW2_WEB_RESOURCE_CONTEXT),
    HOST_METHOD(ICoreWebView2, add_WindowCloseRequested, 59,
                ICoreWebView2WindowCloseRequestedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2_2, add_DOMContentLoaded, 64,
                ICoreWebView2DOMContentLoadedEventHandler*, EventRegistrationToken*),
    HOST_METHOD(ICoreWebView2_23, PostWebMessageAsJsonWithAdditionalObjects, 125, LPCWSTR,
                ICoreWebView2ObjectCollectionView*),

    HOST_METHOD(ICoreWebView2Settings, put_IsScriptEnabled, 4, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_IsWebMessageEnabled, 6, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_AreDefaultScriptDialogsEnabled, 8, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_IsStatusBarEnabled, 10, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_AreDevToolsEnabled, 12, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, 14, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_AreHostObjectsAllowed, 16, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_IsZoomControlEnabled, 18, BOOL),
    HOST_METHOD(ICoreWebView2Settings, put_IsBuiltInErrorPageEnabled, 20, BOOL),
    HOST_METHOD(ICoreWebView2Settings3, put_AreBrowserAcceleratorKeysEnabled, 24, BOOL),

    HOST_METHOD(ICoreWebView2WebResourceRequestedEventArgs, get_Request, 3,
                ICoreWebView2WebResourceRequest**),
    HOST_METHOD(ICoreWebView2WebResourceRequestedEventArgs, get_Response, 4,
                ICoreWebView2WebResourceResponse**),
    HOST_METHOD(ICoreWebView2WebResourceRequestedEventArgs, put_Response, 5,
                ICoreWebView2WebResourceResponse*),
    HOST_METHOD(ICoreWebView2WebResourceRequestedEventArgs, GetDeferral, 6,
                ICoreWebView2Deferral**),
    HOST_METHOD(ICoreWebView2WebResourceRequestedEventArgs, get_ResourceContext, 7,
                COREWEBVIEW2_WEB_RESOURCE_CONTEXT*),

    HOST_METHOD(ICoreWebView2WebResourceRequest, get_Uri, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2WebResourceRequest, put_Uri, 4, LPCWSTR),
    HOST_METHOD(ICoreWebView2WebResourceRequest, get_Method, 5, LPWSTR*),
    HOST_METHOD(ICoreWebView2WebResourceRequest, put_Method, 6, LPCWSTR),
    HOST_METHOD(ICoreWebView2WebResourceRequest, get_Content, 7, IStream**),
    HOST_METHOD(ICoreWebView2WebResourceRequest, put_Content, 8, IStream*),
    HOST_METHOD(ICoreWebView2WebResourceRequest, get_Headers, 9, ICoreWebView2HttpRequestHeaders**),

    HOST_METHOD(ICoreWebView2HttpRequestHeaders, GetHeader, 3, LPCWSTR, LPWSTR*),
    HOST_METHOD(ICoreWebView2HttpRequestHeaders, GetHeaders, 4, LPCWSTR,
                ICoreWebView2HttpHeadersCollectionIterator**),
    HOST_METHOD(ICoreWebView2HttpRequestHeaders, Contains, 5, LPCWSTR, BOOL*),
    HOST_METHOD(ICoreWebView2HttpRequestHeaders, SetHeader, 6, LPCWSTR, LPCWSTR),
    HOST_METHOD(ICoreWebView2HttpRequestHeaders, RemoveHeader, 7, LPCWSTR),
    HOST_METHOD(ICoreWebView2HttpRequestHeaders, GetIterator, 8,
                ICoreWebView2HttpHeadersCollectionIterator**),

    HOST_METHOD(ICoreWebView2HttpHeadersCollectionIterator, GetCurrentHeader, 3, LPWSTR*, LPWSTR*),
    HOST_METHOD(ICoreWebView2HttpHeadersCollectionIterator, get_HasCurrentHeader, 4, BOOL*),
    HOST_METHOD(ICoreWebView2HttpHeadersCollectionIterator, MoveNext, 5, BOOL*),

    HOST_METHOD(ICoreWebView2WebResourceResponse, get_Content, 3, IStream**),
    HOST_METHOD(ICoreWebView2WebResourceResponse, put_Content, 4, IStream*),
    HOST_METHOD(ICoreWebView2WebResourceResponse, get_Headers, 5,
                ICoreWebView2HttpResponseHeaders**),
    HOST_METHOD(ICoreWebView2WebResourceResponse, get_StatusCode, 6, int*),
    HOST_METHOD(ICoreWebView2WebResourceResponse, put_StatusCode, 7, int),
    HOST_METHOD(ICoreWebView2WebResourceResponse, get_ReasonPhrase, 8, LPWSTR*),
    HOST_METHOD(ICoreWebView2WebResourceResponse, put_ReasonPhrase, 9, LPCWSTR),

    HOST_METHOD(ICoreWebView2HttpResponseHeaders, AppendHeader, 3, LPCWSTR, LPCWSTR),
    HOST_METHOD(ICoreWebView2HttpResponseHeaders, Contains, 4, LPCWSTR, BOOL*),
    HOST_METHOD(ICoreWebView2HttpResponseHeaders, GetHeader, 5, LPCWSTR, LPWSTR*),
    HOST_METHOD(ICoreWebView2HttpResponseHeaders, GetHeaders, 6, LPCWSTR,
                ICoreWebView2HttpHeadersCollectionIterator**),
    HOST_METHOD(ICoreWebView2HttpResponseHeaders, GetIterator, 7,
                ICoreWebView2HttpHeadersCollectionIterator**),

    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_Uri, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_IsUserInitiated, 4, BOOL*),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_IsRedirected, 5, BOOL*),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_RequestHeaders, 6,
                ICoreWebView2HttpRequestHeaders**),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_Cancel, 7, BOOL*),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, put_Cancel, 8, BOOL),
    HOST_METHOD(ICoreWebView2NavigationStartingEventArgs, get_NavigationId, 9, UINT64*),

    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, get_Uri, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, get_PermissionKind, 4,
                COREWEBVIEW2_PERMISSION_KIND*),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, get_IsUserInitiated, 5, BOOL*),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, get_State, 6,
                COREWEBVIEW2_PERMISSION_STATE*),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, put_State, 7,
                COREWEBVIEW2_PERMISSION_STATE),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventArgs, GetDeferral, 8, ICoreWebView2Deferral**),

    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, put_NewWindow, 4, ICoreWebView2*),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, get_NewWindow, 5, ICoreWebView2**),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, 6, BOOL),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, get_Handled, 7, BOOL*),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, get_IsUserInitiated, 8, BOOL*),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, GetDeferral, 9, ICoreWebView2Deferral**),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventArgs, get_WindowFeatures, 10,
                ICoreWebView2WindowFeatures**),

    HOST_METHOD(ICoreWebView2WebMessageReceivedEventArgs, get_Source, 3, LPWSTR*),
    HOST_METHOD(ICoreWebView2WebMessageReceivedEventArgs, get_WebMessageAsJson, 4, LPWSTR*),
    HOST_METHOD(ICoreWebView2WebMessageReceivedEventArgs, TryGetWebMessageAsString, 5, LPWSTR*),

    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventKind, 3,
                COREWEBVIEW2_KEY_EVENT_KIND*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, get_VirtualKey, 4, UINT*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventLParam, 5, INT*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, get_PhysicalKeyStatus, 6,
                COREWEBVIEW2_PHYSICAL_KEY_STATUS*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, get_Handled, 7, BOOL*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventArgs, put_Handled, 8, BOOL),

    HOST_METHOD(ICoreWebView2DOMContentLoadedEventArgs, get_NavigationId, 3, UINT64*),
    HOST_METHOD(ICoreWebView2NavigationCompletedEventArgs, get_IsSuccess, 3, BOOL*),
    HOST_METHOD(ICoreWebView2NavigationCompletedEventArgs, get_WebErrorStatus, 4,
                COREWEBVIEW2_WEB_ERROR_STATUS*),
    HOST_METHOD(ICoreWebView2NavigationCompletedEventArgs, get_NavigationId, 5, UINT64*),
    HOST_METHOD(ICoreWebView2Deferral, Complete, 3),

    HOST_METHOD(ICoreWebView2ObjectCollectionView, get_Count, 3, UINT32*),
    HOST_METHOD(ICoreWebView2ObjectCollectionView, GetValueAtIndex, 4, UINT32, IUnknown**),
    HOST_METHOD(ICoreWebView2FileSystemHandle, get_Path, 4, LPWSTR*),
    HOST_METHOD(ICoreWebView2FileSystemHandle, get_Permission, 5,
                COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION*),

    HOST_METHOD(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, 3, HRESULT,
                ICoreWebView2Environment*),
    HOST_METHOD(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, 3, HRESULT,
                ICoreWebView2Controller*),
    HOST_METHOD(ICoreWebView2WebResourceRequestedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2WebResourceRequestedEventArgs*),
    HOST_METHOD(ICoreWebView2NavigationStartingEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2NavigationStartingEventArgs*),
    HOST_METHOD(ICoreWebView2DocumentTitleChangedEventHandler, Invoke, 3, ICoreWebView2*,
                IUnknown*),
    HOST_METHOD(ICoreWebView2PermissionRequestedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2PermissionRequestedEventArgs*),
    HOST_METHOD(ICoreWebView2ContainsFullScreenElementChangedEventHandler, Invoke, 3,
                ICoreWebView2*, IUnknown*),
    HOST_METHOD(ICoreWebView2WindowCloseRequestedEventHandler, Invoke, 3, ICoreWebView2*,
                IUnknown*),
    HOST_METHOD(ICoreWebView2NewWindowRequestedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2NewWindowRequestedEventArgs*),
    HOST_METHOD(ICoreWebView2WebMessageReceivedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2WebMessageReceivedEventArgs*),
    HOST_METHOD(ICoreWebView2DOMContentLoadedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2DOMContentLoadedEventArgs*),
    HOST_METHOD(ICoreWebView2AcceleratorKeyPressedEventHandler, Invoke, 3, ICoreWebView2Controller*,
                ICoreWebView2AcceleratorKeyPressedEventArgs*),
    HOST_METHOD(ICoreWebView2NavigationCompletedEventHandler, Invoke, 3, ICoreWebView2*,
                ICoreWebView2NavigationCompletedEventArgs*),
};
#undef HOST_METHOD

// Every published method of every declared interface, so that no interface in a chain the host
// reaches through inheritance can lack, add or reorder a method unnoticed; then a few inherited
// methods taken through the latest interface, where they must keep their base's slot.
#define SLOT(I, M, slot) (SlotRow{#I "::" #M, SlotOf(&I::M), slot})
const SlotRow kPublishedMethods[] = {
    SLOT(ICoreWebView2EnvironmentOptions, get_AdditionalBrowserArguments, 3),
    SLOT(ICoreWebView2EnvironmentOptions, put_AdditionalBrowserArguments, 4),
    SLOT(ICoreWebView2EnvironmentOptions, get_Language, 5),
    SLOT(ICoreWebView2EnvironmentOptions, put_Language, 6),
    SLOT(ICoreWebView2EnvironmentOptions, get_TargetCompatibleBrowserVersion, 7),
    SLOT(ICoreWebView2EnvironmentOptions, put_TargetCompatibleBrowserVersion, 8),
    SLOT(ICoreWebView2EnvironmentOptions, get_AllowSingleSignOnUsingOSPrimaryAccount, 9),
    SLOT(ICoreWebView2EnvironmentOptions, put_AllowSingleSignOnUsingOSPrimaryAccount, 10),
    SLOT(ICoreWebView2Environment, CreateCoreWebView2Controller, 3),
    SLOT(ICoreWebView2Environment, CreateWebResourceResponse, 4),
    SLOT(ICoreWebView2Environment, get_BrowserVersionString, 5),
    SLOT(ICoreWebView2Environment, add_NewBrowserVersionAvailable, 6),
    SLOT(ICoreWebView2Environment, remove_NewBrowserVersionAvailable, 7),
    SLOT(ICoreWebView2Environment2, CreateWebResourceRequest, 8),
    SLOT(ICoreWebView2Environment3, CreateCoreWebView2CompositionController, 9),
    SLOT(ICoreWebView2Environment3, CreateCoreWebView2PointerInfo, 10),
    SLOT(ICoreWebView2Environment4, GetAutomationProviderForWindow, 11),
    SLOT(ICoreWebView2Environment5, add_BrowserProcessExited, 12),
    SLOT(ICoreWebView2Environment5, remove_BrowserProcessExited, 13),
    SLOT(ICoreWebView2Environment6, CreatePrintSettings, 14),
    SLOT(ICoreWebView2Environment7, get_UserDataFolder, 15),
    SLOT(ICoreWebView2Environment8, add_ProcessInfosChanged, 16),
    SLOT(ICoreWebView2Environment8, remove_ProcessInfosChanged, 17),
    SLOT(ICoreWebView2Environment8, GetProcessInfos, 18),
    SLOT(ICoreWebView2Environment9, CreateContextMenuItem, 19),
    SLOT(ICoreWebView2Environment10, CreateCoreWebView2ControllerOptions, 20),
    SLOT(ICoreWebView2Environment10, CreateCoreWebView2ControllerWithOptions, 21),
    SLOT(ICoreWebView2Environment10, CreateCoreWebView2CompositionControllerWithOptions, 22),
    SLOT(ICoreWebView2Environment11, get_FailureReportFolderPath, 23),
    SLOT(ICoreWebView2Environment12, CreateSharedBuffer, 24),
    SLOT(ICoreWebView2Environment13, GetProcessExtendedInfos, 25),
    SLOT(ICoreWebView2Environment14, CreateWebFileSystemFileHandle, 26),
    SLOT(ICoreWebView2Environment14, CreateWebFileSystemDirectoryHandle, 27),
    SLOT(ICoreWebView2Environment14, CreateObjectCollection, 28),
    SLOT(ICoreWebView2Controller, get_IsVisible, 3),
    SLOT(ICoreWebView2Controller, put_IsVisible, 4),
    SLOT(ICoreWebView2Controller, get_Bounds, 5),
    SLOT(ICoreWebView2Controller, put_Bounds, 6),
    SLOT(ICoreWebView2Controller, get_ZoomFactor, 7),
    SLOT(ICoreWebView2Controller, put_ZoomFactor, 8),
    SLOT(ICoreWebView2Controller, add_ZoomFactorChanged, 9),
    SLOT(ICoreWebView2Controller, remove_ZoomFactorChanged, 10),
    SLOT(ICoreWebView2Controller, SetBoundsAndZoomFactor, 11),
    SLOT(ICoreWebView2Controller, MoveFocus, 12),
    SLOT(ICoreWebView2Controller, add_MoveFocusRequested, 13),
    SLOT(ICoreWebView2Controller, remove_MoveFocusRequested, 14),
    SLOT(ICoreWebView2Controller, add_GotFocus, 15),
    SLOT(ICoreWebView2Controller, remove_GotFocus, 16),
    SLOT(ICoreWebView2Controller, add_LostFocus, 17),
    SLOT(ICoreWebView2Controller, remove_LostFocus, 18),
    SLOT(ICoreWebView2Controller, add_AcceleratorKeyPressed, 19),
    SLOT(ICoreWebView2Controller, remove_AcceleratorKeyPressed, 20),
    SLOT(ICoreWebView2Controller, get_ParentWindow, 21),
    SLOT(ICoreWebView2Controller, put_ParentWindow, 22),
    SLOT(ICoreWebView2Controller, NotifyParentWindowPositionChanged, 23),
    SLOT(ICoreWebView2Controller, Close, 24),
    SLOT(ICoreWebView2Controller, get_CoreWebView2, 25),
    SLOT(ICoreWebView2, get_Settings, 3),
    SLOT(ICoreWebView2, get_Source, 4),
    SLOT(ICoreWebView2, Navigate, 5),
    SLOT(ICoreWebView2, NavigateToString, 6),
    SLOT(ICoreWebView2, add_NavigationStarting, 7),
    SLOT(ICoreWebView2, remove_NavigationStarting, 8),
    SLOT(ICoreWebView2, add_ContentLoading, 9),
    SLOT(ICoreWebView2, remove_ContentLoading, 10),
    SLOT(ICoreWebView2, add_SourceChanged, 11),
    SLOT(ICoreWebView2, remove_SourceChanged, 12),
    SLOT(ICoreWebView2, add_HistoryChanged, 13),
    SLOT(ICoreWebView2, remove_HistoryChanged, 14),
    SLOT(ICoreWebView2, add_NavigationCompleted, 15),
    SLOT(ICoreWebView2, remove_NavigationCompleted, 16),
    SLOT(ICoreWebView2, add_FrameNavigationStarting, 17),
    SLOT(ICoreWebView2, remove_FrameNavigationStarting, 18),
    SLOT(ICoreWebView2, add_FrameNavigationCompleted, 19),
    SLOT(ICoreWebView2, remove_FrameNavigationCompleted, 20),
    SLOT(ICoreWebView2, add_ScriptDialogOpening, 21),
    SLOT(ICoreWebView2, remove_ScriptDialogOpening, 22),
    SLOT(ICoreWebView2, add_PermissionRequested, 23),
    SLOT(ICoreWebView2, remove_PermissionRequested, 24),
    SLOT(ICoreWebView2, add_ProcessFailed, 25),
    SLOT(ICoreWebView2, remove_ProcessFailed, 26),
    SLOT(ICoreWebView2, AddScriptToExecuteOnDocumentCreated, 27),
    SLOT(ICoreWebView2, RemoveScriptToExecuteOnDocumentCreated, 28),
    SLOT(ICoreWebView2, ExecuteScript, 29),
    SLOT(ICoreWebView2, CapturePreview, 30),
    SLOT(ICoreWebView2, Reload, 31),
    SLOT(ICoreWebView2, PostWebMessageAsJson, 32),
    SLOT(ICoreWebView2, PostWebMessageAsString, 33),
    SLOT(ICoreWebView2, add_WebMessageReceived, 34),
    SLOT(ICoreWebView2, remove_WebMessageReceived, 35),
    SLOT(ICoreWebView2, CallDevToolsProtocolMethod, 36),
    SLOT(ICoreWebView2, get_BrowserProcessId, 37),
    SLOT(ICoreWebView2, get_CanGoBack, 38),
    SLOT(ICoreWebView2, get_CanGoForward, 39),
    SLOT(ICoreWebView2, GoBack, 40),
    SLOT(ICoreWebView2, GoForward, 41),
    SLOT(ICoreWebView2, GetDevToolsProtocolEventReceiver, 42),
    SLOT(ICoreWebView2, Stop, 43),
    SLOT(ICoreWebView2, add_NewWindowRequested, 44),
    SLOT(ICoreWebView2, remove_NewWindowRequested, 45),
    SLOT(ICoreWebView2, add_DocumentTitleChanged, 46),
    SLOT(ICoreWebView2, remove_DocumentTitleChanged, 47),
    SLOT(ICoreWebView2, get_DocumentTitle, 48),
    SLOT(ICoreWebView2, AddHostObjectToScript, 49),
    SLOT(ICoreWebView2, RemoveHostObjectFromScript, 50),
    SLOT(ICoreWebView2, OpenDevToolsWindow, 51),
    SLOT(ICoreWebView2, add_ContainsFullScreenElementChanged, 52),
    SLOT(ICoreWebView2, remove_ContainsFullScreenElementChanged, 53),
    SLOT(ICoreWebView2, get_ContainsFullScreenElement, 54),
    SLOT(ICoreWebView2, add_WebResourceRequested, 55),
    SLOT(ICoreWebView2, remove_WebResourceRequested, 56),
    SLOT(ICoreWebView2, AddWebResourceRequestedFilter, 57),
    SLOT(ICoreWebView2, RemoveWebResourceRequestedFilter, 58),
    SLOT(ICoreWebView2, add_WindowCloseRequested, 59),
    SLOT(ICoreWebView2, remove_WindowCloseRequested, 60),
    SLOT(ICoreWebView2_2, add_WebResourceResponseReceived, 61),
    SLOT(ICoreWebView2_2, remove_WebResourceResponseReceived, 62),
    SLOT(ICoreWebView2_2, NavigateWithWebResourceRequest, 63),
    SLOT(ICoreWebView2_2, add_DOMContentLoaded, 64),
    SLOT(ICoreWebView2_2, remove_DOMContentLoaded, 65),
    SLOT(ICoreWebView2_2, get_CookieManager, 66),
    SLOT(ICoreWebView2_2, get_Environment, 67),
    SLOT(ICoreWebView2_3, TrySuspend, 68),
    SLOT(ICoreWebView2_3, Resume, 69),
    SLOT(ICoreWebView2_3, get_IsSuspended, 70),
    SLOT(ICoreWebView2_3, SetVirtualHostNameToFolderMapping, 71),
    SLOT(ICoreWebView2_3, ClearVirtualHostNameToFolderMapping, 72),
    SLOT(ICoreWebView2_4, add_FrameCreated, 73),
    SLOT(ICoreWebView2_4, remove_FrameCreated, 74),
    SLOT(ICoreWebView2_4, add_DownloadStarting, 75),
    SLOT(ICoreWebView2_4, remove_DownloadStarting, 76),
    SLOT(ICoreWebView2_5, add_ClientCertificateRequested, 77),
    SLOT(ICoreWebView2_5, remove_ClientCertificateRequested, 78),
    SLOT(ICoreWebView2_6, OpenTaskManagerWindow, 79),
    SLOT(ICoreWebView2_7, PrintToPdf, 80),
    SLOT(ICoreWebView2_8, add_IsMutedChanged, 81),
    SLOT(ICoreWebView2_8, remove_IsMutedChanged, 82),
    SLOT(ICoreWebView2_8, get_IsMuted, 83),
    SLOT(ICoreWebView2_8, put_IsMuted, 84),
    SLOT(ICoreWebView2_8, add_IsDocumentPlayingAudioChanged, 85),
    SLOT(ICoreWebView2_8, remove_IsDocumentPlayingAudioChanged, 86),
    SLOT(ICoreWebView2_8, get_IsDocumentPlayingAudio, 87),
    SLOT(ICoreWebView2_9, add_IsDefaultDownloadDialogOpenChanged, 88),
    SLOT(ICoreWebView2_9, remove_IsDefaultDownloadDialogOpenChanged, 89),
    SLOT(ICoreWebView2_9, get_IsDefaultDownloadDialogOpen, 90),
    SLOT(ICoreWebView2_9, OpenDefaultDownloadDialog, 91),
    SLOT(ICoreWebView2_9, CloseDefaultDownloadDialog, 92),
    SLOT(ICoreWebView2_9, get_DefaultDownloadDialogCornerAlignment, 93),
    SLOT(ICoreWebView2_9, put_DefaultDownloadDialogCornerAlignment, 94),
    SLOT(ICoreWebView2_9, get_DefaultDownloadDialogMargin, 95),
    SLOT(ICoreWebView2_9, put_DefaultDownloadDialogMargin, 96),
    SLOT(ICoreWebView2_10, add_BasicAuthenticationRequested, 97),
    SLOT(ICoreWebView2_10, remove_BasicAuthenticationRequested, 98),
    SLOT(ICoreWebView2_11, CallDevToolsProtocolMethodForSession, 99),
    SLOT(ICoreWebView2_11, add_ContextMenuRequested, 100),
    SLOT(ICoreWebView2_11, remove_ContextMenuRequested, 101),
    SLOT(ICoreWebView2_12, add_StatusBarTextChanged, 102),
    SLOT(ICoreWebView2_12, remove_StatusBarTextChanged, 103),
    SLOT(ICoreWebView2_12, get_StatusBarText, 104),
    SLOT(ICoreWebView2_13, get_Profile, 105),
    SLOT(ICoreWebView2_14, add_ServerCertificateErrorDetected, 106),
    SLOT(ICoreWebView2_14, remove_ServerCertificateErrorDetected, 107),
    SLOT(ICoreWebView2_14, ClearServerCertificateErrorActions, 108),
    SLOT(ICoreWebView2_15, add_FaviconChanged, 109),
    SLOT(ICoreWebView2_15, remove_FaviconChanged, 110),
    SLOT(ICoreWebView2_15, get_FaviconUri, 111),
    SLOT(ICoreWebView2_15, GetFavicon, 112),
    SLOT(ICoreWebView2_16, Print, 113),
    SLOT(ICoreWebView2_16, ShowPrintUI, 114),
    SLOT(ICoreWebView2_16, PrintToPdfStream, 115),
    SLOT(ICoreWebView2_17, PostSharedBufferToScript, 116),
    SLOT(ICoreWebView2_18, add_LaunchingExternalUriScheme, 117),
    SLOT(ICoreWebView2_18, remove_LaunchingExternalUriScheme, 118),
    SLOT(ICoreWebView2_19, get_MemoryUsageTargetLevel, 119),
    SLOT(ICoreWebView2_19, put_MemoryUsageTargetLevel, 120),
    SLOT(ICoreWebView2_20, get_FrameId, 121),
    SLOT(ICoreWebView2_21, ExecuteScriptWithResult, 122),
    SLOT(ICoreWebView2_22, AddWebResourceRequestedFilterWithRequestSourceKinds, 123),
    SLOT(ICoreWebView2_22, RemoveWebResourceRequestedFilterWithRequestSourceKinds, 124),
    SLOT(ICoreWebView2_23, PostWebMessageAsJsonWithAdditionalObjects, 125),
    SLOT(ICoreWebView2Settings, get_IsScriptEnabled, 3),
    SLOT(ICoreWebView2Settings, put_IsScriptEnabled, 4),
    SLOT(ICoreWebView2Settings, get_IsWebMessageEnabled, 5),
    SLOT(ICoreWebView2Settings, put_IsWebMessageEnabled, 6),
    SLOT(ICoreWebView2Settings, get_AreDefaultScriptDialogsEnabled, 7),
    SLOT(ICoreWebView2Settings, put_AreDefaultScriptDialogsEnabled, 8),
    SLOT(ICoreWebView2Settings, get_IsStatusBarEnabled, 9),
    SLOT(ICoreWebView2Settings, put_IsStatusBarEnabled, 10),
    SLOT(ICoreWebView2Settings, get_AreDevToolsEnabled, 11),
    SLOT(ICoreWebView2Settings, put_AreDevToolsEnabled, 12),
    SLOT(ICoreWebView2Settings, get_AreDefaultContextMenusEnabled, 13),
    SLOT(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, 14),
    SLOT(ICoreWebView2Settings, get_AreHostObjectsAllowed, 15),
    SLOT(ICoreWebView2Settings, put_AreHostObjectsAllowed, 16),
    SLOT(ICoreWebView2Settings, get_IsZoomControlEnabled, 17),
    SLOT(ICoreWebView2Settings, put_IsZoomControlEnabled, 18),
    SLOT(ICoreWebView2Settings, get_IsBuiltInErrorPageEnabled, 19),
    SLOT(ICoreWebView2Settings, put_IsBuiltInErrorPageEnabled, 20),
    SLOT(ICoreWebView2Settings2, get_UserAgent, 21),
    SLOT(ICoreWebView2Settings2, put_UserAgent, 22),
    SLOT(ICoreWebView2Settings3, get_AreBrowserAcceleratorKeysEnabled, 23),
    SLOT(ICoreWebView2Settings3, put_AreBrowserAcceleratorKeysEnabled, 24),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_Request, 3),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_Response, 4),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, put_Response, 5),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, GetDeferral, 6),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_ResourceContext, 7),
    SLOT(ICoreWebView2WebResourceRequest, get_Uri, 3),
    SLOT(ICoreWebView2WebResourceRequest, put_Uri, 4),
    SLOT(ICoreWebView2WebResourceRequest, get_Method, 5),
    SLOT(ICoreWebView2WebResourceRequest, put_Method, 6),
    SLOT(ICoreWebView2WebResourceRequest, get_Content, 7),
    SLOT(ICoreWebView2WebResourceRequest, put_Content, 8),
    SLOT(ICoreWebView2WebResourceRequest, get_Headers, 9),
    SLOT(ICoreWebView2HttpRequestHeaders, GetHeader, 3),
    SLOT(ICoreWebView2HttpRequestHeaders, GetHeaders, 4),
    SLOT(ICoreWebView2HttpRequestHeaders, Contains, 5),
    SLOT(ICoreWebView2HttpRequestHeaders, SetHeader, 6),
    SLOT(ICoreWebView2HttpRequestHeaders, RemoveHeader, 7),
    SLOT(ICoreWebView2HttpRequestHeaders, GetIterator, 8),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, GetCurrentHeader, 3),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, get_HasCurrentHeader, 4),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, MoveNext, 5),
    SLOT(ICoreWebView2WebResourceResponse, get_Content, 3),
    SLOT(ICoreWebView2WebResourceResponse, put_Content, 4),
    SLOT(ICoreWebView2WebResourceResponse, get_Headers, 5),
    SLOT(ICoreWebView2WebResourceResponse, get_StatusCode, 6),
    SLOT(ICoreWebView2WebResourceResponse, put_StatusCode, 7),
    SLOT(ICoreWebView2WebResourceResponse, get_ReasonPhrase, 8),
    SLOT(ICoreWebView2WebResourceResponse, put_ReasonPhrase, 9),
    SLOT(ICoreWebView2HttpResponseHeaders, AppendHeader, 3),
    SLOT(ICoreWebView2HttpResponseHeaders, Contains, 4),
    SLOT(ICoreWebView2HttpResponseHeaders, GetHeader, 5),
    SLOT(ICoreWebView2HttpResponseHeaders, GetHeaders, 6),
    SLOT(ICoreWebView2HttpResponseHeaders, GetIterator, 7),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsUserInitiated, 4),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsRedirected, 5),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_RequestHeaders, 6),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Cancel, 7),
    SLOT(ICoreWebView2NavigationStartingEventArgs, put_Cancel, 8),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_NavigationId, 9),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_PermissionKind, 4),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_IsUserInitiated, 5),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_State, 6),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, put_State, 7),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, GetDeferral, 8),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_NewWindow, 4),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_NewWindow, 5),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, 6),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_Handled, 7),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_IsUserInitiated, 8),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, GetDeferral, 9),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_WindowFeatures, 10),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_Source, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_WebMessageAsJson, 4),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, TryGetWebMessageAsString, 5),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventKind, 3),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_VirtualKey, 4),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventLParam, 5),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_PhysicalKeyStatus, 6),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_Handled, 7),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, put_Handled, 8),
    SLOT(ICoreWebView2DOMContentLoadedEventArgs, get_NavigationId, 3),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_IsSuccess, 3),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_WebErrorStatus, 4),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_NavigationId, 5),
    SLOT(ICoreWebView2Deferral, Complete, 3),
    SLOT(ICoreWebView2FileSystemHandle, get_Kind, 3),
    SLOT(ICoreWebView2FileSystemHandle, get_Path, 4),
    SLOT(ICoreWebView2FileSystemHandle, get_Permission, 5),
    SLOT(ICoreWebView2ObjectCollectionView, get_Count, 3),
    SLOT(ICoreWebView2ObjectCollectionView, GetValueAtIndex, 4),
    SLOT(ICoreWebView2ObjectCollection, RemoveValueAtIndex, 5),
    SLOT(ICoreWebView2ObjectCollection, InsertValueAtIndex, 6),
    SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2WebResourceRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationStartingEventHandler, Invoke, 3),
    SLOT(ICoreWebView2DocumentTitleChangedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2PermissionRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2ContainsFullScreenElementChangedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2WindowCloseRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2DOMContentLoadedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationCompletedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2Controller2, get_DefaultBackgroundColor, 26),
    SLOT(ICoreWebView2ProcessFailedEventArgs2, get_Reason, 4),
    SLOT(ICoreWebView2ProcessFailedEventArgs2, get_ExitCode, 5),
    SLOT(ICoreWebView2ProcessFailedEventArgs2, get_ProcessDescription, 6),
    SLOT(ICoreWebView2ProcessFailedEventArgs2, get_FrameInfosForFailedProcess, 7),
    SLOT(ICoreWebView2_23, Navigate, 5),
    SLOT(ICoreWebView2_23, add_WindowCloseRequested, 59),
    SLOT(ICoreWebView2_23, add_DOMContentLoaded, 64),
    SLOT(ICoreWebView2Environment14, CreateWebResourceResponse, 4),
    SLOT(ICoreWebView2Settings3, put_IsBuiltInErrorPageEnabled, 20),
    SLOT(ICoreWebView2ObjectCollection, GetValueAtIndex, 4),
};
#undef SLOT

class MethodSlot : public testing::TestWithParam<SlotRow> {};

TEST_P(MethodSlot, IsThePublishedSlot) {
    const SlotRow& row = GetParam();
    EXPECT_EQ(row.actual, row.published) << row.method;
}

INSTANTIATE_TEST_SUITE_P(Host, MethodSlot, testing::ValuesIn(kHostMethods),
                         [](const testing::TestParamInfo<SlotRow>& info) {
                             return TestName(info.param.method);
                         });

INSTANTIATE_TEST_SUITE_P(Published, MethodSlot, testing::ValuesIn(kPublishedMethods),
                         [](const testing::TestParamInfo<SlotRow>& info) {
                             return TestName(info.param.method);
                         });

// Every interface derives from its published base and adds nothing but virtual methods (an
// interface pointer is a pointer to a single vtable pointer).
#define PUBLISHED_INTERFACE(I, Base)                                      \
    static_assert(std::is_base_of_v<Base, I> && !std::is_same_v<Base, I>, \
                  #I " does not derive from " #Base);                     \
    static_assert(std::is_abstract_v<I> && sizeof(I) == sizeof(void*),    \
                  #I " is not a pure interface")
PUBLISHED_INTERFACE(ICoreWebView2EnvironmentOptions, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2Environment, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2Environment2, ICoreWebView2Environment);
PUBLISHED_INTERFACE(ICoreWebView2Environment3, ICoreWebView2Environment2);
PUBLISHED_INTERFACE(ICoreWebView2Environment4, ICoreWebView2Environment3);
PUBLISHED_INTERFACE(ICoreWebView2Environment5, ICoreWebView2Environment4);
PUBLISHED_INTERFACE(ICoreWebView2Environment6, ICoreWebView2Environment5);
PUBLISHED_INTERFACE(ICoreWebView2Environment7, ICoreWebView2Environment6);
PUBLISHED_INTERFACE(ICoreWebView2Environment8, ICoreWebView2Environment7);
PUBLISHED_INTERFACE(ICoreWebView2Environment9, ICoreWebView2Environment8);
PUBLISHED_INTERFACE(ICoreWebView2Environment10, ICoreWebView2Environment9);
PUBLISHED_INTERFACE(ICoreWebView2Environment11, ICoreWebView2Environment10);
PUBLISHED_INTERFACE(ICoreWebView2Environment12, ICoreWebView2Environment11);
PUBLISHED_INTERFACE(ICoreWebView2Environment13, ICoreWebView2Environment12);
PUBLISHED_INTERFACE(ICoreWebView2Environment14, ICoreWebView2Environment13);
PUBLISHED_INTERFACE(ICoreWebView2Controller, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2_2, ICoreWebView2);
PUBLISHED_INTERFACE(ICoreWebView2_3, ICoreWebView2_2);
PUBLISHED_INTERFACE(ICoreWebView2_4, ICoreWebView2_3);
PUBLISHED_INTERFACE(ICoreWebView2_5, ICoreWebView2_4);
PUBLISHED_INTERFACE(ICoreWebView2_6, ICoreWebView2_5);
PUBLISHED_INTERFACE(ICoreWebView2_7, ICoreWebView2_6);
PUBLISHED_INTERFACE(ICoreWebView2_8, ICoreWebView2_7);
PUBLISHED_INTERFACE(ICoreWebView2_9, ICoreWebView2_8);
PUBLISHED_INTERFACE(ICoreWebView2_10, ICoreWebView2_9);
PUBLISHED_INTERFACE(ICoreWebView2_11, ICoreWebView2_10);
PUBLISHED_INTERFACE(ICoreWebView2_12, ICoreWebView2_11);
PUBLISHED_INTERFACE(ICoreWebView2_13, ICoreWebView2_12);
PUBLISHED_INTERFACE(ICoreWebView2_14, ICoreWebView2_13);
PUBLISHED_INTERFACE(ICoreWebView2_15, ICoreWebView2_14);
PUBLISHED_INTERFACE(ICoreWebView2_16, ICoreWebView2_15);
PUBLISHED_INTERFACE(ICoreWebView2_17, ICoreWebView2_16);
PUBLISHED_INTERFACE(ICoreWebView2_18, ICoreWebView2_17);
PUBLISHED_INTERFACE(ICoreWebView2_19, ICoreWebView2_18);
PUBLISHED_INTERFACE(ICoreWebView2_20, ICoreWebView2_19);
PUBLISHED_INTERFACE(ICoreWebView2_21, ICoreWebView2_20);
PUBLISHED_INTERFACE(ICoreWebView2_22, ICoreWebView2_21);
PUBLISHED_INTERFACE(ICoreWebView2_23, ICoreWebView2_22);
PUBLISHED_INTERFACE(ICoreWebView2Settings, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2Settings2, ICoreWebView2Settings);
PUBLISHED_INTERFACE(ICoreWebView2Settings3, ICoreWebView2Settings2);
PUBLISHED_INTERFACE(ICoreWebView2WebResourceRequestedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WebResourceRequest, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2HttpRequestHeaders, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2HttpHeadersCollectionIterator, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WebResourceResponse, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2HttpResponseHeaders, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2NavigationStartingEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2PermissionRequestedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2NewWindowRequestedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WebMessageReceivedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2AcceleratorKeyPressedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DOMContentLoadedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2Deferral, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2FileSystemHandle, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2ObjectCollectionView, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2ObjectCollection, ICoreWebView2ObjectCollectionView);
PUBLISHED_INTERFACE(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WebResourceRequestedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2NavigationStartingEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DocumentTitleChangedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2PermissionRequestedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WindowCloseRequestedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2NewWindowRequestedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2WebMessageReceivedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DOMContentLoadedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2AcceleratorKeyPressedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2Controller2, ICoreWebView2Controller);
PUBLISHED_INTERFACE(ICoreWebView2ProcessFailedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2ProcessFailedEventArgs2, ICoreWebView2ProcessFailedEventArgs);
PUBLISHED_INTERFACE(ICoreWebView2ProcessFailedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DevToolsProtocolEventReceiver, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DevToolsProtocolEventReceivedEventArgs, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2DevToolsProtocolEventReceivedEventHandler, IUnknown);
PUBLISHED_INTERFACE(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler, IUnknown);
#undef PUBLISHED_INTERFACE

// The loader exports, as the host calls them.
static_assert(std::is_same_v<
              decltype(&CreateCoreWebView2EnvironmentWithOptions),
              HRESULT(__stdcall*)(PCWSTR, PCWSTR, ICoreWebView2EnvironmentOptions*,
                                  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*)>);
static_assert(std::is_same_v<decltype(&GetAvailableCoreWebView2BrowserVersionString),
                             HRESULT(__stdcall*)(PCWSTR, LPWSTR*)>);

// Interface ids against their published text.
struct IidRow {
    const char* name;
    const IID* iid;
    const char* published;
};
#define IID_ROW(I, text) (IidRow{#I, &IID_##I, text})
const IidRow kIids[] = {
    IID_ROW(ICoreWebView2EnvironmentOptions, "2fde08a8-1e9a-4766-8c05-95a9ceb9d1c5"),
    IID_ROW(ICoreWebView2Environment, "b96d755e-0319-4e92-a296-23436f46a1fc"),
    IID_ROW(ICoreWebView2Environment2, "41f3632b-5ef4-404f-ad82-2d606c5a9a21"),
    IID_ROW(ICoreWebView2Environment3, "80a22ae3-be7c-4ce2-afe1-5a50056cdeeb"),
    IID_ROW(ICoreWebView2Environment4, "20944379-6dcf-41d6-a0a0-abc0fc50de0d"),
    IID_ROW(ICoreWebView2Environment5, "319e423d-e0d7-4b8d-9254-ae9475de9b17"),
    IID_ROW(ICoreWebView2Environment6, "e59ee362-acbd-4857-9a8e-d3644d9459a9"),
    IID_ROW(ICoreWebView2Environment7, "43c22296-3bbd-43a4-9c00-5c0df6dd29a2"),
    IID_ROW(ICoreWebView2Environment8, "d6eb91dd-c3d2-45e5-bd29-6dc2bc4de9cf"),
    IID_ROW(ICoreWebView2Environment9, "f06f41bf-4b5a-49d8-b9f6-fa16cd29f274"),
    IID_ROW(ICoreWebView2Environment10, "ee0eb9df-6f12-46ce-b53f-3f47b9c928e0"),
    IID_ROW(ICoreWebView2Environment11, "f0913dc6-a0ec-42ef-9805-91dff3a2966a"),
    IID_ROW(ICoreWebView2Environment12, "f503db9b-739f-48dd-b151-fdfcf253f54e"),
    IID_ROW(ICoreWebView2Environment13, "af641f58-72b2-11ee-b962-0242ac120002"),
    IID_ROW(ICoreWebView2Environment14, "a5e9fad9-c875-59da-9bd7-473aa5ca1cef"),
    IID_ROW(ICoreWebView2Controller, "4d00c0d1-9434-4eb6-8078-8697a560334f"),
    IID_ROW(ICoreWebView2, "76eceacb-0462-4d94-ac83-423a6793775e"),
    IID_ROW(ICoreWebView2_2, "9e8f0cf8-e670-4b5e-b2bc-73e061e3184c"),
    IID_ROW(ICoreWebView2_3, "a0d6df20-3b92-416d-aa0c-437a9c727857"),
    IID_ROW(ICoreWebView2_4, "20d02d59-6df2-42dc-bd06-f98a694b1302"),
    IID_ROW(ICoreWebView2_5, "bedb11b8-d63c-11eb-b8bc-0242ac130003"),
    IID_ROW(ICoreWebView2_6, "499aadac-d92c-4589-8a75-111bfc167795"),
    IID_ROW(ICoreWebView2_7, "79c24d83-09a3-45ae-9418-487f32a58740"),
    IID_ROW(ICoreWebView2_8, "e9632730-6e1e-43ab-b7b8-7b2c9e62e094"),
    IID_ROW(ICoreWebView2_9, "4d7b2eab-9fdc-468d-b998-a9260b5ed651"),
    IID_ROW(ICoreWebView2_10, "b1690564-6f5a-4983-8e48-31d1143fecdb"),
    IID_ROW(ICoreWebView2_11, "0be78e56-c193-4051-b943-23b460c08bdb"),
    IID_ROW(ICoreWebView2_12, "35d69927-bcfa-4566-9349-6b3e0d154cac"),
    IID_ROW(ICoreWebView2_13, "f75f09a8-667e-4983-88d6-c8773f315e84"),
    IID_ROW(ICoreWebView2_14, "6daa4f10-4a90-4753-8898-77c5df534165"),
    IID_ROW(ICoreWebView2_15, "517b2d1d-7dae-4a66-a4f4-10352ffb9518"),
    IID_ROW(ICoreWebView2_16, "0eb34dc9-9f91-41e1-8639-95cd5943906b"),
    IID_ROW(ICoreWebView2_17, "702e75d4-fd44-434d-9d70-1a68a6b1192a"),
    IID_ROW(ICoreWebView2_18, "7a626017-28be-49b2-b865-3ba2b3522d90"),
    IID_ROW(ICoreWebView2_19, "6921f954-79b0-437f-a997-c85811897c68"),
    IID_ROW(ICoreWebView2_20, "b4bc1926-7305-11ee-b962-0242ac120002"),
    IID_ROW(ICoreWebView2_21, "c4980dea-587b-43b9-8143-3ef3bf552d95"),
    IID_ROW(ICoreWebView2_22, "db75dfc7-a857-4632-a398-6969dde26c0a"),
    IID_ROW(ICoreWebView2_23, "508f0db5-90c4-5872-90a7-267a91377502"),
    IID_ROW(ICoreWebView2Settings, "e562e4f0-d7fa-43ac-8d71-c05150499f00"),
    IID_ROW(ICoreWebView2Settings2, "ee9a0f68-f46c-4e32-ac23-ef8cac224d2a"),
    IID_ROW(ICoreWebView2Settings3, "fdb5ab74-af33-4854-84f0-0a631deb5eba"),
    IID_ROW(ICoreWebView2WebResourceRequestedEventArgs, "453e667f-12c7-49d4-be6d-ddbe7956f57a"),
    IID_ROW(ICoreWebView2WebResourceRequest, "97055cd4-512c-4264-8b5f-e3f446cea6a5"),
    IID_ROW(ICoreWebView2HttpRequestHeaders, "e86cac0e-5523-465c-b536-8fb9fc8c8c60"),
    IID_ROW(ICoreWebView2HttpHeadersCollectionIterator, "0702fc30-f43b-47bb-ab52-a42cb552ad9f"),
    IID_ROW(ICoreWebView2WebResourceResponse, "aafcc94f-fa27-48fd-97df-830ef75aaec9"),
    IID_ROW(ICoreWebView2HttpResponseHeaders, "03c5ff5a-9b45-4a88-881c-89a9f328619c"),
    IID_ROW(ICoreWebView2NavigationStartingEventArgs, "5b495469-e119-438a-9b18-7604f25f2e49"),
    IID_ROW(ICoreWebView2PermissionRequestedEventArgs, "973ae2ef-ff18-4894-8fb2-3c758f046810"),
    IID_ROW(ICoreWebView2NewWindowRequestedEventArgs, "34acb11c-fc37-4418-9132-f9c21d1eafb9"),
    IID_ROW(ICoreWebView2WebMessageReceivedEventArgs, "0f99a40c-e962-4207-9e92-e3d542eff849"),
    IID_ROW(ICoreWebView2AcceleratorKeyPressedEventArgs, "9f760f8a-fb79-42be-9990-7b56900fa9c7"),
    IID_ROW(ICoreWebView2DOMContentLoadedEventArgs, "16b1e21a-c503-44f2-84c9-70aba5031283"),
    IID_ROW(ICoreWebView2Deferral, "c10e7f7b-b585-46f0-a623-8befbf3e4ee0"),
    IID_ROW(ICoreWebView2FileSystemHandle, "c65100ac-0de2-5551-a362-23d9bd1d0e1f"),
    IID_ROW(ICoreWebView2ObjectCollectionView, "0f36fd87-4f69-4415-98da-888f89fb9a33"),
    IID_ROW(ICoreWebView2ObjectCollection, "5cfec11c-25bd-4e8d-9e1a-7acdaeeec047"),
    IID_ROW(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
            "4e8a3389-c9d8-4bd2-b6b5-124fee6cc14d"),
    IID_ROW(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
            "6c4819f3-c9b7-4260-8127-c9f5bde7f68c"),
    IID_ROW(ICoreWebView2WebResourceRequestedEventHandler, "ab00b74c-15f1-4646-80e8-e76341d25d71"),
    IID_ROW(ICoreWebView2NavigationStartingEventHandler, "9adbe429-f36d-432b-9ddc-f8881fbd76e3"),
    IID_ROW(ICoreWebView2DocumentTitleChangedEventHandler, "f5f2b923-953e-4042-9f95-f3a118e1afd4"),
    IID_ROW(ICoreWebView2PermissionRequestedEventHandler, "15e1c6a3-c72a-4df3-91d7-d097fbec6bfd"),
    IID_ROW(ICoreWebView2ContainsFullScreenElementChangedEventHandler,
            "e45d98b1-afef-45be-8baf-6c7728867f73"),
    IID_ROW(ICoreWebView2WindowCloseRequestedEventHandler, "5c19e9e0-092f-486b-affa-ca8231913039"),
    IID_ROW(ICoreWebView2NewWindowRequestedEventHandler, "d4c185fe-c81c-4989-97af-2d3fa7ab5651"),
    IID_ROW(ICoreWebView2WebMessageReceivedEventHandler, "57213f19-00e6-49fa-8e07-898ea01ecbd2"),
    IID_ROW(ICoreWebView2DOMContentLoadedEventHandler, "4bac7e9c-199e-49ed-87ed-249303acf019"),
    IID_ROW(ICoreWebView2AcceleratorKeyPressedEventHandler, "b29c7e28-fa79-41a8-8e44-65811c76dcb2"),
    IID_ROW(ICoreWebView2NavigationCompletedEventArgs, "30d68b7d-20d9-4752-a9ca-ec8448fbb5c1"),
    IID_ROW(ICoreWebView2NavigationCompletedEventHandler, "d33a35bf-1c49-4f98-93ab-006e0533fe1c"),
    IID_ROW(ICoreWebView2Controller2, "c979903e-d4ca-4228-92eb-47ee3fa96eab"),
    IID_ROW(ICoreWebView2ProcessFailedEventArgs, "8155a9a4-1474-4a86-8cae-151b0fa6b8ca"),
    IID_ROW(ICoreWebView2ProcessFailedEventArgs2, "4dab9422-46fa-4c3e-a5d2-41d2071d3680"),
    IID_ROW(ICoreWebView2ProcessFailedEventHandler, "79e0aea4-990b-42d9-aa1d-0fcc2e5bc7f1"),
    IID_ROW(ICoreWebView2DevToolsProtocolEventReceiver, "b32ca51a-8371-45e9-9317-af021d080367"),
    IID_ROW(ICoreWebView2DevToolsProtocolEventReceivedEventArgs,
            "653c2959-bb3a-4377-8632-b58ada4e66c4"),
    IID_ROW(ICoreWebView2DevToolsProtocolEventReceivedEventHandler,
            "e2fda4be-5456-406c-a261-3d452138362c"),
    IID_ROW(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler,
            "5c4889f0-5ef6-4c5a-952c-d8f1b92d0574"),
};
#undef IID_ROW

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* c = text; *c != '\0'; ++c) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    return wide;
}

class PublishedIid : public testing::TestWithParam<IidRow> {};

TEST_P(PublishedIid, HasThePublishedValue) {
    const IidRow& row = GetParam();
    wchar_t text[64] = {};
    ASSERT_EQ(StringFromGUID2(*row.iid, text, 64), 39);  // "{8-4-4-4-12}" and the terminator
    const std::wstring expected = L"{" + Widen(row.published) + L"}";
    EXPECT_EQ(_wcsicmp(text, expected.c_str()), 0)
        << row.name << ": declared " << testing::PrintToString(std::wstring(text)) << ", published "
        << row.published;
}

INSTANTIATE_TEST_SUITE_P(All, PublishedIid, testing::ValuesIn(kIids),
                         [](const testing::TestParamInfo<IidRow>& info) {
                             return std::string(info.param.name);
                         });

TEST(PublishedIids, AreAllDistinct) {
    for (std::size_t i = 0; i < std::size(kIids); ++i) {
        for (std::size_t j = i + 1; j < std::size(kIids); ++j) {
            EXPECT_FALSE(IsEqualIID(*kIids[i].iid, *kIids[j].iid))
                << kIids[i].name << " and " << kIids[j].name;
        }
    }
}

// The enumeration values the host passes or compares, and the 32-bit size of every enumeration
// that crosses the interface.
TEST(Enumerations, HostValuesAreThePublishedOnes) {
    struct Row {
        const char* name;
        long long value;
        long long published;
    };
    const Row rows[] = {
        {"WEB_RESOURCE_CONTEXT_ALL", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL, 0},
        {"WEB_RESOURCE_CONTEXT_DOCUMENT", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT, 1},
        {"WEB_RESOURCE_CONTEXT_OTHER", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER, 16},
        {"PERMISSION_STATE_DEFAULT", COREWEBVIEW2_PERMISSION_STATE_DEFAULT, 0},
        {"PERMISSION_STATE_ALLOW", COREWEBVIEW2_PERMISSION_STATE_ALLOW, 1},
        {"PERMISSION_STATE_DENY", COREWEBVIEW2_PERMISSION_STATE_DENY, 2},
        {"MOVE_FOCUS_REASON_PROGRAMMATIC", COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC, 0},
        {"MOVE_FOCUS_REASON_NEXT", COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT, 1},
        {"MOVE_FOCUS_REASON_PREVIOUS", COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS, 2},
        {"FILE_SYSTEM_HANDLE_PERMISSION_READ_ONLY",
         COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_ONLY, 0},
        {"FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE",
         COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE, 1},
        {"KEY_EVENT_KIND_KEY_DOWN", COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 0},
        {"KEY_EVENT_KIND_KEY_UP", COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP, 1},
        {"KEY_EVENT_KIND_SYSTEM_KEY_DOWN", COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN, 2},
        {"KEY_EVENT_KIND_SYSTEM_KEY_UP", COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP, 3},
        {"PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED",
         COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED, 0},
        {"PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED",
         COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED, 1},
        {"PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE",
         COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE, 2},
        {"PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED",
         COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED, 9},
        {"PROCESS_FAILED_REASON_PROFILE_DELETED",
         COREWEBVIEW2_PROCESS_FAILED_REASON_PROFILE_DELETED, 6},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.value, row.published) << "COREWEBVIEW2_" << row.name;
    }
}

TEST(Enumerations, AreThirtyTwoBits) {
    struct Row {
        const char* name;
        std::size_t size;
    };
#define ENUM_SIZE(E) (Row{#E, sizeof(E)})
    const Row rows[] = {
        ENUM_SIZE(COREWEBVIEW2_WEB_RESOURCE_CONTEXT),
        ENUM_SIZE(COREWEBVIEW2_PERMISSION_STATE),
        ENUM_SIZE(COREWEBVIEW2_MOVE_FOCUS_REASON),
        ENUM_SIZE(COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION),
        ENUM_SIZE(COREWEBVIEW2_KEY_EVENT_KIND),
        ENUM_SIZE(COREWEBVIEW2_PERMISSION_KIND),
        ENUM_SIZE(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND),
        ENUM_SIZE(COREWEBVIEW2_WEB_RESOURCE_REQUEST_SOURCE_KINDS),
        ENUM_SIZE(COREWEBVIEW2_PROCESS_FAILED_KIND),
        ENUM_SIZE(COREWEBVIEW2_PROCESS_FAILED_REASON),
    };
#undef ENUM_SIZE
    for (const Row& row : rows) {
        EXPECT_EQ(row.size, 4u) << row.name;
    }
}

TEST(Structures, PhysicalKeyStatusHasThePublishedLayout) {
    struct Row {
        const char* field;
        std::size_t offset;
        std::size_t published;
    };
    const Row rows[] = {
        {"RepeatCount", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, RepeatCount), 0},
        {"ScanCode", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, ScanCode), 4},
        {"IsExtendedKey", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, IsExtendedKey), 8},
        {"IsMenuKeyDown", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, IsMenuKeyDown), 12},
        {"WasKeyDown", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, WasKeyDown), 16},
        {"IsKeyReleased", offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, IsKeyReleased), 20},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.offset, row.published) << row.field;
    }
    EXPECT_EQ(sizeof(COREWEBVIEW2_PHYSICAL_KEY_STATUS), 24u);
    // A colour goes by value as four bytes: A, R, G, B.
    EXPECT_EQ(offsetof(COREWEBVIEW2_COLOR, A), 0u);
    EXPECT_EQ(offsetof(COREWEBVIEW2_COLOR, B), 3u);
    EXPECT_EQ(sizeof(COREWEBVIEW2_COLOR), 4u);
    EXPECT_EQ(sizeof(EventRegistrationToken), 8u);
}

}  // namespace
