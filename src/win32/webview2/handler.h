// Turns a callable into a WebView2 handler COM object.
//
// The runtime reports completions and events through small COM interfaces whose one own method is
// Invoke(...). MakeHandler<I>(callable) builds such an object for any of them:
//
//     ICoreWebView2WebMessageReceivedEventHandler* handler =
//         vandrel::MakeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
//             [this](ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) {
//                 return OnWebMessage(sender, args);
//             });
//     webview->add_WebMessageReceived(handler, &token);  // the runtime takes its own reference
//     handler->Release();                                 // drop the one MakeHandler gave us
//
// The object is a ComObject (counted atomically), answers QueryInterface for IUnknown and I, and
// destroys the callable (and whatever it captured) when the last reference goes.
#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "win32/util/com_object.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// The interface id of a WebView2 handler interface, by type. Defined for every handler interface
// the host uses; naming any other interface fails to compile.
template <typename I>
struct InterfaceIdOf;

#define VANDREL_IID_OF(I)                            \
    template <>                                      \
    struct InterfaceIdOf<I> {                        \
        static constexpr const IID& value = IID_##I; \
    };

VANDREL_IID_OF(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler)
VANDREL_IID_OF(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler)
VANDREL_IID_OF(ICoreWebView2WebResourceRequestedEventHandler)
VANDREL_IID_OF(ICoreWebView2NavigationStartingEventHandler)
VANDREL_IID_OF(ICoreWebView2DocumentTitleChangedEventHandler)
VANDREL_IID_OF(ICoreWebView2PermissionRequestedEventHandler)
VANDREL_IID_OF(ICoreWebView2ContainsFullScreenElementChangedEventHandler)
VANDREL_IID_OF(ICoreWebView2WindowCloseRequestedEventHandler)
VANDREL_IID_OF(ICoreWebView2NewWindowRequestedEventHandler)
VANDREL_IID_OF(ICoreWebView2WebMessageReceivedEventHandler)
VANDREL_IID_OF(ICoreWebView2ProcessFailedEventHandler)
VANDREL_IID_OF(ICoreWebView2DevToolsProtocolEventReceivedEventHandler)
VANDREL_IID_OF(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler)
VANDREL_IID_OF(ICoreWebView2DOMContentLoadedEventHandler)
VANDREL_IID_OF(ICoreWebView2AcceleratorKeyPressedEventHandler)
VANDREL_IID_OF(ICoreWebView2NavigationCompletedEventHandler)

#undef VANDREL_IID_OF

template <typename I>
const IID& IidOf() {
    return InterfaceIdOf<I>::value;
}

// The handler object. The second parameter is the type of &I::Invoke, from which the argument
// list of Invoke is taken; use MakeHandler rather than naming this class.
template <class I, class InvokePtr, class F>
class CallableHandler;

template <class I, class F, class... A>
class CallableHandler<I, HRESULT (STDMETHODCALLTYPE I::*)(A...), F> final
    : public ComObject<I, InterfaceIdOf<I>::value> {
    static_assert(std::is_invocable_r_v<HRESULT, F&, A...>,
                  "the callable must accept Invoke's arguments and return an HRESULT");

public:
    template <class G>
    explicit CallableHandler(G&& callable) : callable_(std::forward<G>(callable)) {}

    // An exception must not cross back into the runtime: it becomes E_OUTOFMEMORY or E_FAIL.
    HRESULT STDMETHODCALLTYPE Invoke(A... args) override {
        try {
            return callable_(args...);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

private:
    F callable_;
};

// Makes a handler object for interface I that calls `callable` from Invoke with Invoke's
// arguments and returns its HRESULT. The callable is stored by value (moved or copied in).
//
// The returned object holds exactly one reference, owned by the caller: pass it to the runtime
// (which takes its own reference) and then Release it, or attach it to an owning pointer.
// Returns null if the object cannot be allocated.
template <typename I, typename F>
I* MakeHandler(F&& callable) {
    using Object = CallableHandler<I, decltype(&I::Invoke), std::decay_t<F>>;
    return new (std::nothrow) Object(std::forward<F>(callable));
}

}  // namespace vandrel
