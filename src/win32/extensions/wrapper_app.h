#pragma once

namespace vandrel {

// What the extension library receives to talk back to the host. The layout is part of the
// library interface: exactly these two virtual functions, in this order, and no virtual
// destructor (the library never deletes the object). Call both on the UI thread only.
class IWrapperApp {
public:
    // Posts a JSON text (UTF-8, NUL-terminated) to the page as a web message. Dropped while
    // there is no page to post to.
    virtual void PostJsonToPage(const char* json) = 0;
    // The folder a token such as "<documents>" stands for, as UTF-8; an empty text, never null,
    // when the token is unknown or not resolved yet. Valid until the page's next "wrapper-init".
    virtual const char* ResolveFolderToken(const char* token) = 0;
};

}  // namespace vandrel
