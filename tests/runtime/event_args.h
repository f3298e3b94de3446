// The event arguments the stand-in runtime passes to the host's handlers. A test can also call a
// handler in-process with them and read the outcome back through the interface's getters
// (get_Cancel, get_State, get_Handled, ...).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "com_support.h"

namespace vandrel::testruntime {

// Not user-initiated; Cancel starts false.
Ref<ICoreWebView2NavigationStartingEventArgs> MakeNavigationStartingArgs(const std::wstring& uri,
                                                                         bool redirected,
                                                                         UINT64 navigationId);

// Not user-initiated; the state starts at COREWEBVIEW2_PERMISSION_STATE_DEFAULT.
Ref<ICoreWebView2PermissionRequestedEventArgs> MakePermissionRequestedArgs(
    const std::wstring& uri, COREWEBVIEW2_PERMISSION_KIND kind);

// Handled starts false; no new window is set.
Ref<ICoreWebView2NewWindowRequestedEventArgs> MakeNewWindowRequestedArgs(const std::wstring& uri);

// `json` is what get_WebMessageAsJson returns. TryGetWebMessageAsString returns `string` when the
// message is a string, and fails with E_INVALIDARG otherwise.
Ref<ICoreWebView2WebMessageReceivedEventArgs> MakeWebMessageReceivedArgs(
    const std::wstring& source, const std::wstring& json, std::optional<std::wstring> string);

// Handled starts false. `repeat` makes a key-down an auto-repeat (WasKeyDown set).
Ref<ICoreWebView2AcceleratorKeyPressedEventArgs> MakeAcceleratorKeyPressedArgs(
    UINT virtualKey, COREWEBVIEW2_KEY_EVENT_KIND kind, bool repeat = false);

// A key message the control's window received (WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or
// WM_SYSKEYUP), as the runtime reports it: the kind from the message, the status from lParam.
Ref<ICoreWebView2AcceleratorKeyPressedEventArgs> MakeAcceleratorKeyPressedArgs(UINT message,
                                                                               WPARAM virtualKey,
                                                                               LPARAM lParam);

Ref<ICoreWebView2DOMContentLoadedEventArgs> MakeDOMContentLoadedArgs(UINT64 navigationId);

// get_ParameterObjectAsJson gives `parameters`.
Ref<ICoreWebView2DevToolsProtocolEventReceivedEventArgs> MakeDevToolsEventArgs(
    const std::wstring& parameters);

// Answers ICoreWebView2ProcessFailedEventArgs and ...Args2; get_FrameInfosForFailedProcess is
// E_NOTIMPL.
Ref<ICoreWebView2ProcessFailedEventArgs> MakeProcessFailedArgs(
    COREWEBVIEW2_PROCESS_FAILED_KIND kind, COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exitCode,
    const std::wstring& description);

Ref<ICoreWebView2NavigationCompletedEventArgs> MakeNavigationCompletedArgs(
    bool success, COREWEBVIEW2_WEB_ERROR_STATUS status, UINT64 navigationId);

}  // namespace vandrel::testruntime
