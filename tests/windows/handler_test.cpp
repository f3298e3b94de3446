// Tests of vandrel::MakeHandler: argument passing, result, reference counting, QueryInterface and
// exception containment, for the handler interfaces the host registers.
#include "win32/webview2/handler.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using vandrel::MakeHandler;

// Distinct, never dereferenced pointer values standing in for runtime objects.
template <typename T>
T* FakePointer(std::uintptr_t value) {
    return reinterpret_cast<T*>(value);
}

// Sets a flag when the last copy of the callable that holds it is destroyed.
struct LifetimeProbe {
    explicit LifetimeProbe(bool* destroyed) : destroyed_(destroyed) {}
    ~LifetimeProbe() { *destroyed_ = true; }
    bool* destroyed_;
};

// A new handler whose callable holds the only reference to a probe: `destroyed` turns true when
// the handler frees its callable.
template <typename Handler>
Handler* ProbedHandler(bool* destroyed) {
    auto probe = std::make_shared<LifetimeProbe>(destroyed);
    return MakeHandler<Handler>([probe](auto...) { return S_OK; });
}

TEST(MakeHandler, EnvironmentCompletedReceivesArgumentsAndReturnsTheCallablesResult) {
    struct Case {
        HRESULT error_code;
        ICoreWebView2Environment* environment;
        HRESULT returned;
    };
    const Case cases[] = {
        {S_OK, FakePointer<ICoreWebView2Environment>(0x1000), S_OK},
        {E_ABORT, nullptr, S_FALSE},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), FakePointer<ICoreWebView2Environment>(0x2000),
         E_UNEXPECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "error code 0x" << std::hex << c.error_code);
        int calls = 0;
        HRESULT seen_code = 0x12345678;
        ICoreWebView2Environment* seen_environment = FakePointer<ICoreWebView2Environment>(0x99);
        auto* handler = MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            [&, returned = c.returned](HRESULT code, ICoreWebView2Environment* environment) {
                ++calls;
                seen_code = code;
                seen_environment = environment;
                return returned;
            });
        ASSERT_NE(handler, nullptr);
        EXPECT_EQ(handler->Invoke(c.error_code, c.environment), c.returned);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(seen_code, c.error_code);
        EXPECT_EQ(seen_environment, c.environment);
        EXPECT_EQ(handler->Release(), 0u);
    }
}

TEST(MakeHandler, WebMessageReceivedPassesSenderAndArgsInOrder) {
    ICoreWebView2* const sender = FakePointer<ICoreWebView2>(0x3000);
    auto* const args = FakePointer<ICoreWebView2WebMessageReceivedEventArgs>(0x4000);
    std::vector<std::pair<ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>> seen;
    auto* handler = MakeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
        [&seen](ICoreWebView2* s, ICoreWebView2WebMessageReceivedEventArgs* a) {
            seen.emplace_back(s, a);
            return E_NOTIMPL;
        });
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Invoke(sender, args), E_NOTIMPL);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), E_NOTIMPL);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, sender);
    EXPECT_EQ(seen[0].second, args);
    EXPECT_EQ(seen[1].first, nullptr);
    EXPECT_EQ(seen[1].second, nullptr);
    handler->Release();
}

TEST(MakeHandler, AcceleratorKeyHandlerTakesTheControllerAsSender) {
    ICoreWebView2Controller* const controller = FakePointer<ICoreWebView2Controller>(0x5000);
    ICoreWebView2Controller* seen = nullptr;
    auto* handler = MakeHandler<ICoreWebView2AcceleratorKeyPressedEventHandler>(
        [&seen](ICoreWebView2Controller* sender, ICoreWebView2AcceleratorKeyPressedEventArgs*) {
            seen = sender;
            return S_OK;
        });
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Invoke(controller, nullptr), S_OK);
    EXPECT_EQ(seen, controller);
    handler->Release();
}

TEST(MakeHandler, TheCallableKeepsItsStateBetweenCalls) {
    auto* handler = MakeHandler<ICoreWebView2DocumentTitleChangedEventHandler>(
        [count = 0](ICoreWebView2*, IUnknown*) mutable { return ++count == 3 ? S_FALSE : S_OK; });
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_FALSE);
    handler->Release();
}

TEST(MakeHandler, AnLvalueCallableIsCopiedAndTheOriginalStaysUsable) {
    int calls = 0;
    const auto callable = [&calls](ICoreWebView2*, IUnknown*) {
        ++calls;
        return S_OK;
    };
    auto* handler = MakeHandler<ICoreWebView2WindowCloseRequestedEventHandler>(callable);
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_OK);
    EXPECT_EQ(callable(nullptr, nullptr), S_OK);
    EXPECT_EQ(calls, 2);
    handler->Release();
}

// Where a wrong count would free the object while the test still uses it, the count is checked
// with ASSERT: a failing test then leaks the object instead of crashing.
TEST(MakeHandler, StartsWithOneReferenceAndIsDestroyedExactlyAtZero) {
    bool destroyed = false;
    auto* handler = ProbedHandler<ICoreWebView2WebMessageReceivedEventHandler>(&destroyed);
    ASSERT_NE(handler, nullptr);
    EXPECT_FALSE(destroyed);

    ASSERT_EQ(handler->AddRef(), 2u);
    ASSERT_EQ(handler->AddRef(), 3u);
    ASSERT_EQ(handler->Release(), 2u);
    EXPECT_FALSE(destroyed);
    ASSERT_EQ(handler->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_OK);  // still alive and callable
    EXPECT_EQ(handler->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

TEST(MakeHandler, ReferenceCountIsExactUnderConcurrentAddRefAndRelease) {
    bool destroyed = false;
    auto* handler = ProbedHandler<ICoreWebView2NavigationStartingEventHandler>(&destroyed);
    ASSERT_NE(handler, nullptr);

    // A large cushion keeps a count that loses updates from reaching zero (and freeing the object
    // under the threads); the lost updates then show as a wrong final count.
    constexpr ULONG kCushion = 1000000;
    for (ULONG i = 0; i < kCushion; ++i) {
        handler->AddRef();
    }
    constexpr int kThreads = 4;
    constexpr int kRounds = 200000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([handler] {
            for (int i = 0; i < kRounds; ++i) {
                handler->AddRef();
                handler->Release();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(handler->AddRef(), kCushion + 2);
    for (ULONG i = 0; i < kCushion + 1; ++i) {
        handler->Release();
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(handler->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

TEST(MakeHandler, QueryInterfaceAnswersIUnknownAndItsOwnInterfaceOnly) {
    using Handler = ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
    auto* handler = MakeHandler<Handler>([](HRESULT, ICoreWebView2Controller*) { return S_OK; });
    ASSERT_NE(handler, nullptr);

    struct Case {
        const char* name;
        const IID& iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, S_OK},
        {"own interface", IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, S_OK},
        {"environment-completed handler",
         IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, E_NOINTERFACE},
        {"ICoreWebView2Controller", IID_ICoreWebView2Controller, E_NOINTERFACE},
        {"IDispatch", IID_IDispatch, E_NOINTERFACE},
        {"IMarshal", IID_IMarshal, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* out = reinterpret_cast<void*>(0x1);  // must be overwritten either way
        const HRESULT result = handler->QueryInterface(c.iid, &out);
        EXPECT_EQ(result, c.expected);
        if (result == S_OK) {
            // Same object, same vtable: IUnknown of a single-inheritance handler is the handler.
            EXPECT_EQ(out, static_cast<void*>(handler));
            // Exactly one reference added, which the caller gives back.
            ASSERT_EQ(handler->AddRef(), 3u);
            ASSERT_EQ(handler->Release(), 2u);
            ASSERT_EQ(static_cast<IUnknown*>(out)->Release(), 1u);
        } else {
            EXPECT_EQ(out, nullptr);
            ASSERT_EQ(handler->AddRef(), 2u);  // no reference added
            ASSERT_EQ(handler->Release(), 1u);
        }
    }
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    ASSERT_EQ(handler->AddRef(), 2u);
    ASSERT_EQ(handler->Release(), 1u);
    EXPECT_EQ(handler->Release(), 0u);
}

TEST(MakeHandler, ExceptionsFromTheCallableDoNotReachTheCaller) {
    struct Case {
        const char* name;
        int throw_kind;
        HRESULT expected;
    };
    const Case cases[] = {
        {"bad_alloc", 0, E_OUTOFMEMORY},
        {"runtime_error", 1, E_FAIL},
        {"int", 2, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* handler = MakeHandler<ICoreWebView2PermissionRequestedEventHandler>(
            [kind = c.throw_kind](ICoreWebView2*,
                                  ICoreWebView2PermissionRequestedEventArgs*) -> HRESULT {
                if (kind == 0) {
                    throw std::bad_alloc();
                }
                if (kind == 1) {
                    throw std::runtime_error("boom");
                }
                throw 7;
            });
        ASSERT_NE(handler, nullptr);
        HRESULT result = S_OK;
        EXPECT_NO_THROW(result = handler->Invoke(nullptr, nullptr));
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(handler->Release(), 0u);
    }
}

// Every handler interface the host registers: each can be built, answers its own IID and no other
// handler's IID (so IidOf maps every interface to its own constant), and dispatches Invoke.
template <typename I>
class EveryHandler : public testing::Test {};

using HandlerInterfaces = testing::Types<
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
    ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
    ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2NavigationStartingEventHandler,
    ICoreWebView2DocumentTitleChangedEventHandler, ICoreWebView2PermissionRequestedEventHandler,
    ICoreWebView2ContainsFullScreenElementChangedEventHandler,
    ICoreWebView2WindowCloseRequestedEventHandler, ICoreWebView2NewWindowRequestedEventHandler,
    ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2DOMContentLoadedEventHandler,
    ICoreWebView2AcceleratorKeyPressedEventHandler>;
TYPED_TEST_SUITE(EveryHandler, HandlerInterfaces);

struct NamedIid {
    const char* name;
    const IID* iid;
};
#define NAMED_IID(I) \
    NamedIid {       \
#I, &IID_##I \
    }
const NamedIid kHandlerIids[] = {
    NAMED_IID(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler),
    NAMED_IID(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler),
    NAMED_IID(ICoreWebView2WebResourceRequestedEventHandler),
    NAMED_IID(ICoreWebView2NavigationStartingEventHandler),
    NAMED_IID(ICoreWebView2DocumentTitleChangedEventHandler),
    NAMED_IID(ICoreWebView2PermissionRequestedEventHandler),
    NAMED_IID(ICoreWebView2ContainsFullScreenElementChangedEventHandler),
    NAMED_IID(ICoreWebView2WindowCloseRequestedEventHandler),
    NAMED_IID(ICoreWebView2NewWindowRequestedEventHandler),
    NAMED_IID(ICoreWebView2WebMessageReceivedEventHandler),
    NAMED_IID(ICoreWebView2DOMContentLoadedEventHandler),
    NAMED_IID(ICoreWebView2AcceleratorKeyPressedEventHandler),
};
#undef NAMED_IID

TYPED_TEST(EveryHandler, AnswersItsOwnIidOnlyAndDispatchesInvoke) {
    using I = TypeParam;
    int calls = 0;
    I* handler = MakeHandler<I>([&calls](auto, auto) {
        ++calls;
        return S_FALSE;
    });
    ASSERT_NE(handler, nullptr);
    int answered = 0;
    for (const NamedIid& candidate : kHandlerIids) {
        void* out = nullptr;
        if (handler->QueryInterface(*candidate.iid, &out) == S_OK) {
            ++answered;
            EXPECT_EQ(out, static_cast<void*>(handler)) << candidate.name;
            EXPECT_TRUE(IsEqualIID(*candidate.iid, vandrel::IidOf<I>())) << candidate.name;
            ASSERT_EQ(handler->Release(), 1u) << candidate.name;
        } else {
            EXPECT_EQ(out, nullptr) << candidate.name;
        }
    }
    EXPECT_EQ(answered, 1);

    using Invoke = decltype(&I::Invoke);
    Invoke invoke = &I::Invoke;
    EXPECT_EQ((handler->*invoke)({}, {}), S_FALSE);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(handler->Release(), 0u);
}

template <typename... I>
std::vector<IID> IidsOf(testing::Types<I...>) {
    return {vandrel::IidOf<I>()...};
}

TEST(IidOf, MapsEveryHandlerInterfaceToItsOwnConstant) {
    const std::vector<IID> mapped = IidsOf(HandlerInterfaces());
    ASSERT_EQ(mapped.size(), std::size(kHandlerIids));
    for (std::size_t i = 0; i < mapped.size(); ++i) {
        EXPECT_TRUE(IsEqualIID(mapped[i], *kHandlerIids[i].iid)) << kHandlerIids[i].name;
    }
}

}  // namespace
