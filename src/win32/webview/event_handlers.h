#pragma once

namespace vandrel {

class VandrelWebView;

// F12 opens the developer tools when they are enabled. Registered on the controller only when the
// browser's own accelerator keys could be turned off.
void RegisterAcceleratorKeyHandler(VandrelWebView& host);

// The document-title, resource (bundle mode), navigation (bundle mode), permission, full-screen,
// window-close, new-window, web-message, DOM-content-loaded and navigation-completed handlers, in
// that order.
void RegisterEventHandlers(VandrelWebView& host);

}  // namespace vandrel
