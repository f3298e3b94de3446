// The one header through which the host sees the WebView2 interfaces.
//
// By default the project's own declarations are used (webview2_decl.h). A build that points
// VANDREL_WEBVIEW2_SDK_INCLUDE_DIR at the official SDK defines VANDREL_USE_WEBVIEW2_SDK and gets
// the SDK's WebView2.h instead; code that includes this header compiles against either one.
// The IID_ constants come from webview2_iids.cpp with the project's declarations, and from the
// SDK header itself (which defines them) with the SDK.
#pragma once

#include <windows.h>

#if defined(VANDREL_USE_WEBVIEW2_SDK)
#include <WebView2.h>
#else
#include "win32/webview2/webview2_decl.h"
#endif
