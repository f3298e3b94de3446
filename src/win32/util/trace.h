#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vandrel {

// Failed calls that the host goes on without (a setting the runtime refused, an event it would
// not register) leave a feature absent without a word to the player. For the app's developer they
// are written to the debugger output (OutputDebugStringW), one line each, naming the call:
// "vandrel: ICoreWebView2Settings::put_IsZoomControlEnabled failed (0x80004001)". That happens in
// a debug build, or when the environment variable VANDREL_TRACE is set to anything but "0"; a
// release build is otherwise silent.

// A result or error code as the log and the trace write it: "0x8007139F".
std::string CodeText(unsigned long code);

// Reports `result` when it is a failure; returns it unchanged.
HRESULT Traced(HRESULT result, const char* call);

// Reports a call that failed without an HRESULT (a null handle, a BOOL), with GetLastError's code.
void TraceFailure(const char* call);

// Also tells `listener` of every failed call ("ICoreWebView2::Navigate" and the code), whether
// tracing is on or not: the player log keeps them. An empty listener stops that.
void SetTraceListener(std::function<void(const char* call, unsigned long code)> listener);

// Where trace lines go instead of the debugger output, and whether tracing is on, for tests;
// an empty sink restores the debugger output.
void SetTraceSinkForTesting(std::function<void(const std::wstring&)> sink);

}  // namespace vandrel
