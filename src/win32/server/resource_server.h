#pragma once

#include "win32/webview2/webview2.h"

namespace vandrel {

class VandrelWebView;

// Answers one request on the app's origin from the bundle or the www folder, synchronously:
// status, reason, header lines and body. Always returns S_OK to the runtime.
HRESULT OnWebResourceRequested(VandrelWebView& host,
                               ICoreWebView2WebResourceRequestedEventArgs* args);

}  // namespace vandrel
