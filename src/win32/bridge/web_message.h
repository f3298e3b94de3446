#pragma once

#include "win32/webview2/webview2.h"

namespace vandrel {

class VandrelWebView;

// A message the page posted with window.chrome.webview.postMessage.
HRESULT OnWebMessageReceived(VandrelWebView& host, ICoreWebView2WebMessageReceivedEventArgs* args);

}  // namespace vandrel
