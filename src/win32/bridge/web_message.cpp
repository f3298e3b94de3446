#include "win32/bridge/web_message.h"

#include <string>

#include "portable/bridge/page_message.h"
#include "win32/util/com_ptr.h"
#include "win32/util/text.h"
#include "portable/webview/link_policy.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

namespace {

// Acts on one message text; nothing escapes, and a bad message changes nothing.
void HandleWebMessage(VandrelWebView& host, const std::string& text) {
    try {
        const PageCommand command = ParsePageMessage(text);
        switch (command.kind) {
            case PageCommandKind::WrapperInit:
                host.SendWrapperInitReply();
                break;
            case PageCommandKind::SetFullScreen:
                host.SetFullScreen(command.fullscreen);
                break;
            case PageCommandKind::SetWindowSize:
                host.SetWindowSize(command.width, command.height);
                break;
            case PageCommandKind::SetWindowPosition:
                host.SetWindowPosition(command.x, command.y);
                break;
            case PageCommandKind::ExtensionMessage:
                if (host.extensions != nullptr && host.extensions->onExtensionMessageProc) {
                    // The whole text, as the page sent it, up to its first NUL byte.
                    host.extensions->onExtensionMessageProc(text.c_str());
                }
                break;
            case PageCommandKind::None:
                break;
        }
    } catch (...) {
        // An exception out of the extension library ends this message only.
    }
}

}  // namespace

HRESULT OnWebMessageReceived(VandrelWebView& host, ICoreWebView2WebMessageReceivedEventArgs* args) {
    if (args == nullptr) {
        return S_OK;
    }
    CoTaskString source;
    args->get_Source(source.Put());
    if (!IsInsideOrigin(source ? WideToUtf8(source.Get()) : std::string(), host.origin)) {
        return S_OK;
    }
    CoTaskString message;
    if (FAILED(args->TryGetWebMessageAsString(message.Put())) || !message) {
        return S_OK;  // not a string
    }
    HandleWebMessage(host, WideToUtf8(message.Get()));
    return S_OK;
}

}  // namespace vandrel
