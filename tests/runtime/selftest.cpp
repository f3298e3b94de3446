// Self-checks of the stand-in runtime: the built WebView2Loader.dll, copied into a fresh app
// folder, loaded in-process and driven the way a host drives the runtime.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <atomic>
#include <functional>
#include <thread>

#include "host_driver.h"
#include "web_resource.h"

namespace {

using nlohmann::json;
using vandrel::testing::AppFolder;
using vandrel::testruntime::ComObject;
using vandrel::testruntime::HeaderList;
using vandrel::testruntime::Ref;

// A handler whose Invoke passes its arguments to a function and answers S_OK.
template <typename HandlerInterface, const IID& kIid, typename... Args>
class Callback : public ComObject<HandlerInterface, kIid> {
public:
    using Interface = HandlerInterface;
    explicit Callback(std::function<void(Args...)> call) : call_(std::move(call)) {}
    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override {
        call_(args...);
        return S_OK;
    }

private:
    std::function<void(Args...)> call_;
};

// The handler of the event `name`, raised by a `Sender` with `Args`.
#define VANDREL_EVENT_CALLBACK(name, Sender, Args)                                              \
    Callback<ICoreWebView2##name##EventHandler, IID_ICoreWebView2##name##EventHandler, Sender*, \
             Args>

using EnvironmentCompleted =
    Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
             IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
             ICoreWebView2Environment*>;
using ControllerCompleted = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                                     IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                                     HRESULT, ICoreWebView2Controller*>;
using WebResourceRequested = VANDREL_EVENT_CALLBACK(WebResourceRequested, ICoreWebView2,
                                                    ICoreWebView2WebResourceRequestedEventArgs*);
using NavigationStarting = VANDREL_EVENT_CALLBACK(NavigationStarting, ICoreWebView2,
                                                  ICoreWebView2NavigationStartingEventArgs*);
using PermissionRequested = VANDREL_EVENT_CALLBACK(PermissionRequested, ICoreWebView2,
                                                   ICoreWebView2PermissionRequestedEventArgs*);
using NewWindowRequested = VANDREL_EVENT_CALLBACK(NewWindowRequested, ICoreWebView2,
                                                  ICoreWebView2NewWindowRequestedEventArgs*);
using WebMessageReceived = VANDREL_EVENT_CALLBACK(WebMessageReceived, ICoreWebView2,
                                                  ICoreWebView2WebMessageReceivedEventArgs*);
using DocumentTitleChanged = VANDREL_EVENT_CALLBACK(DocumentTitleChanged, ICoreWebView2, IUnknown*);
using FullScreenChanged = VANDREL_EVENT_CALLBACK(ContainsFullScreenElementChanged, ICoreWebView2,
                                                 IUnknown*);
using WindowCloseRequested = VANDREL_EVENT_CALLBACK(WindowCloseRequested, ICoreWebView2, IUnknown*);
using DOMContentLoaded = VANDREL_EVENT_CALLBACK(DOMContentLoaded, ICoreWebView2,
                                                ICoreWebView2DOMContentLoadedEventArgs*);
using AcceleratorKeyPressed = VANDREL_EVENT_CALLBACK(AcceleratorKeyPressed, ICoreWebView2Controller,
                                                     ICoreWebView2AcceleratorKeyPressedEventArgs*);

template <typename Handler, typename Function>
Ref<typename Handler::Interface> Make(Function function) {
    return Ref<typename Handler::Interface>::Adopt(new Handler(std::move(function)));
}

// How many references others hold to `object`, besides the caller's one.
ULONG OtherReferences(IUnknown* object) {
    object->AddRef();
    return object->Release() - 1;
}

// `object` queried for `iid`, or null when refused.
template <typename Interface>
Ref<Interface> As(IUnknown* object, REFIID iid) {
    Ref<Interface> answer;
    if (object != nullptr) {
        object->QueryInterface(iid, reinterpret_cast<void**>(answer.Put()));
    }
    return answer;
}

std::wstring Take(LPWSTR text) {
    std::wstring value = text != nullptr ? text : L"";
    CoTaskMemFree(text);
    return value;
}

// Pumps this thread's messages until `done` holds; false on time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Whether `entry` has every member of `subset` with the same value.
bool Has(const json& entry, const json& subset) {
    for (const auto& [key, value] : subset.items()) {
        if (!entry.contains(key) || entry[key] != value) {
            return false;
        }
    }
    return true;
}

using CreateEnvironmentFunction =
    HRESULT(STDAPICALLTYPE*)(PCWSTR, PCWSTR, ICoreWebView2EnvironmentOptions*,
                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

// The objects a host holds once the controller has come.
struct Browser {
    Ref<ICoreWebView2Environment> environment;
    Ref<ICoreWebView2Controller> controller;
    Ref<ICoreWebView2> webview;
    Ref<ICoreWebView2_2> webview2;
};

class StandInRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        app_.InstallEvergreenRuntime();
        window_ = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        PumpFor(50);  // whatever is still posted
        DestroyWindow(window_);
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    CreateEnvironmentFunction Loader() {
        if (module_ == nullptr) {
            module_ = LoadLibraryW(app_.PathOf(L"WebView2Loader.dll").c_str());
        }
        return reinterpret_cast<CreateEnvironmentFunction>(reinterpret_cast<void*>(
            GetProcAddress(module_, "CreateCoreWebView2EnvironmentWithOptions")));
    }

    // Calls `start` with a new completion handler and pumps until the handler has run; what it
    // was given, and its result in `result`. The runtime must not complete inside the call, nor
    // keep the handler afterwards.
    template <typename Completed, typename Made, typename Start>
    Ref<Made> AwaitCompletion(Start start, HRESULT* result) {
        bool invoked = false;
        HRESULT given = E_PENDING;
        Ref<Made> made;
        auto handler = Make<Completed>([&](HRESULT r, Made* object) {
            invoked = true;
            given = r;
            made = Ref<Made>::Share(object);
        });
        EXPECT_EQ(start(handler.Get()), S_OK);
        EXPECT_FALSE(invoked) << "completed inside the call";
        EXPECT_TRUE(PumpUntil([&] { return invoked; }));
        EXPECT_EQ(OtherReferences(handler.Get()), 0u) << "the runtime kept the handler";
        if (result != nullptr) {
            *result = given;
        }
        return made;
    }

    // Asks for an environment and pumps until it has come.
    Ref<ICoreWebView2Environment> NewEnvironment(HRESULT* result = nullptr) {
        auto create = Loader();
        EXPECT_NE(create, nullptr);
        return AwaitCompletion<EnvironmentCompleted, ICoreWebView2Environment>(
            [&](EnvironmentCompleted::Interface* handler) {
                return create(nullptr, L"C:\\data", nullptr, handler);
            },
            result);
    }

    Ref<ICoreWebView2Controller> NewController(ICoreWebView2Environment* environment,
                                               HRESULT* result = nullptr) {
        return AwaitCompletion<ControllerCompleted, ICoreWebView2Controller>(
            [&](ControllerCompleted::Interface* handler) {
                return environment->CreateCoreWebView2Controller(window_, handler);
            },
            result);
    }

    Browser OpenBrowser() {
        Browser browser;
        browser.environment = NewEnvironment();
        if (!browser.environment) {
            return browser;
        }
        browser.controller = NewController(browser.environment.Get());
        if (browser.controller) {
            browser.controller->get_CoreWebView2(browser.webview.Put());
            browser.webview->QueryInterface(IID_ICoreWebView2_2,
                                            reinterpret_cast<void**>(browser.webview2.Put()));
        }
        return browser;
    }

    bool Logged(const json& subset) const {
        for (const json& entry : app_.RuntimeCalls()) {
            if (Has(entry, subset)) {
                return true;
            }
        }
        return false;
    }

    // The first entry with every member of `subset`, or null.
    json Find(const json& subset) const {
        for (const json& entry : app_.RuntimeCalls()) {
            if (Has(entry, subset)) {
                return entry;
            }
        }
        return nullptr;
    }

    bool PumpUntilDone(size_t index) {
        return PumpUntil([&] { return Logged({{"event", "done"}, {"index", index}}); });
    }

    AppFolder app_;
    HMODULE module_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(StandInRuntime, EnvironmentCompletesLaterFromTheMessageLoop) {
    HRESULT result = E_PENDING;
    auto environment = NewEnvironment(&result);
    EXPECT_EQ(result, S_OK);
    ASSERT_TRUE(environment);
    LPWSTR version = nullptr;
    EXPECT_EQ(environment->get_BrowserVersionString(&version), S_OK);
    EXPECT_EQ(Take(version), L"134.0.3124.44");
    const auto calls = app_.RuntimeCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_TRUE(Has(calls[0], {{"call", "CreateCoreWebView2EnvironmentWithOptions"},
                               {"userDataFolder", "C:\\data"},
                               {"hasHandler", true}}));
    EXPECT_TRUE(
        Has(calls[1],
            {{"event", "environment-created"}, {"result", "0x00000000"}, {"delivered", true}}));
    environment = nullptr;
    EXPECT_TRUE(Logged({{"call", "destroyed"}, {"object", "environment"}}));
}

TEST_F(StandInRuntime, OptionsOrAMissingRuntimeFailTheEnvironment) {
    HRESULT result = S_OK;
    app_.WriteRuntimeOptions({{"environmentResult", "0x80004005"}});
    EXPECT_FALSE(NewEnvironment(&result));
    EXPECT_EQ(result, E_FAIL);
    app_.WriteRuntimeOptions({{"environmentObject", false}});
    EXPECT_FALSE(NewEnvironment(&result));
    EXPECT_EQ(result, S_OK);
    app_.WriteRuntimeOptions(json::object());
    DeleteFileW(app_.PathOf(L"evergreen-runtime.txt").c_str());
    EXPECT_FALSE(NewEnvironment(&result));
    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(
        Logged({{"event", "environment-created"}, {"result", "0x80070002"}, {"delivered", false}}));
}

TEST_F(StandInRuntime, ControllerComesLaterOnItsParentAndReleasesInOrder) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.controller);
    ASSERT_TRUE(browser.webview);
    ASSERT_TRUE(browser.webview2);
    HWND parent = nullptr;
    browser.controller->get_ParentWindow(&parent);
    EXPECT_EQ(parent, window_);
    EXPECT_TRUE(Logged({{"call", "CreateCoreWebView2Controller"},
                        {"on", "environment"},
                        {"parentWindow", reinterpret_cast<uintptr_t>(window_)}}));
    Ref<IUnknown> other;
    EXPECT_EQ(browser.webview->QueryInterface(IID_ICoreWebView2Controller,
                                              reinterpret_cast<void**>(other.Put())),
              E_NOINTERFACE);
    EXPECT_FALSE(other);
    EXPECT_EQ(browser.controller->QueryInterface(IID_ICoreWebView2,
                                                 reinterpret_cast<void**>(other.Put())),
              E_NOINTERFACE);
    EXPECT_TRUE(Logged({{"call", "QueryInterface"},
                        {"on", "webview"},
                        {"interface", "{4D00C0D1-9434-4EB6-8078-8697A560334F}"},
                        {"answered", false}}));

    EXPECT_EQ(browser.controller->put_Bounds({1, 2, 300, 400}), S_OK);
    EXPECT_EQ(browser.controller->put_IsVisible(FALSE), S_OK);
    EXPECT_EQ(browser.controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC), S_OK);
    EXPECT_TRUE(
        Logged({{"call", "put_Bounds"}, {"left", 1}, {"top", 2}, {"right", 300}, {"bottom", 400}}));
    EXPECT_TRUE(Logged({{"call", "put_IsVisible"}, {"on", "controller"}, {"value", false}}));
    EXPECT_TRUE(Logged({{"call", "MoveFocus"}, {"reason", 0}}));

    const size_t before = app_.RuntimeCalls().size();
    browser.webview2 = nullptr;
    browser.webview = nullptr;
    browser.controller = nullptr;
    browser.environment = nullptr;
    std::vector<json> destroyed;
    const auto calls = app_.RuntimeCalls();
    for (size_t i = before; i < calls.size(); ++i) {
        destroyed.push_back(calls[i].value("object", ""));
    }
    EXPECT_EQ(destroyed, (std::vector<json>{"controller", "webview", "environment"}));
}

TEST_F(StandInRuntime, ControllerOptionsFailTheController) {
    app_.WriteRuntimeOptions({{"controllerResult", "0x80070005"}});
    auto environment = NewEnvironment();
    ASSERT_TRUE(environment);
    HRESULT result = S_OK;
    EXPECT_FALSE(NewController(environment.Get(), &result));
    EXPECT_EQ(result, E_ACCESSDENIED);
    app_.WriteRuntimeOptions({{"controllerObject", false}});
    environment = NewEnvironment();
    ASSERT_TRUE(environment);
    EXPECT_FALSE(NewController(environment.Get(), &result));
    EXPECT_EQ(result, S_OK);
    EXPECT_TRUE(
        Logged({{"event", "controller-created"}, {"result", "0x00000000"}, {"delivered", false}}));
}

TEST_F(StandInRuntime, SettingsAnswerTheirThreeInterfacesAndLogEverySetter) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    Ref<ICoreWebView2Settings> settings;
    ASSERT_EQ(browser.webview->get_Settings(settings.Put()), S_OK);
    Ref<ICoreWebView2Settings3> settings3;
    ASSERT_EQ(settings->QueryInterface(IID_ICoreWebView2Settings3,
                                       reinterpret_cast<void**>(settings3.Put())),
              S_OK);
    EXPECT_EQ(settings->put_IsScriptEnabled(FALSE), S_OK);
    EXPECT_EQ(settings->put_AreDevToolsEnabled(TRUE), S_OK);
    EXPECT_EQ(settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE), S_OK);
    BOOL value = TRUE;
    settings3->get_IsScriptEnabled(&value);
    EXPECT_FALSE(value);
    EXPECT_TRUE(Logged({{"call", "put_IsScriptEnabled"}, {"on", "settings"}, {"value", false}}));
    EXPECT_TRUE(Logged({{"call", "put_AreDevToolsEnabled"}, {"value", true}}));
    EXPECT_TRUE(Logged(
        {{"call", "put_AreBrowserAcceleratorKeysEnabled"}, {"on", "settings3"}, {"value", false}}));
    EXPECT_TRUE(Logged({{"call", "QueryInterface"},
                        {"on", "settings"},
                        {"interface", "ICoreWebView2Settings3"},
                        {"answered", true}}));
}

TEST_F(StandInRuntime, WithheldInterfacesAreRefused) {
    app_.WriteRuntimeOptions({{"withhold", {"ICoreWebView2Settings3", "ICoreWebView2_2"}}});
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    EXPECT_FALSE(browser.webview2);
    Ref<IUnknown> answer;
    EXPECT_EQ(
        browser.webview->QueryInterface(IID_ICoreWebView2, reinterpret_cast<void**>(answer.Put())),
        S_OK);
    Ref<ICoreWebView2Settings> settings;
    ASSERT_EQ(browser.webview->get_Settings(settings.Put()), S_OK);
    EXPECT_EQ(settings->QueryInterface(IID_ICoreWebView2Settings3,
                                       reinterpret_cast<void**>(answer.Put())),
              E_NOINTERFACE);
    EXPECT_FALSE(answer);
    EXPECT_EQ(settings->QueryInterface(IID_ICoreWebView2Settings2,
                                       reinterpret_cast<void**>(answer.Put())),
              S_OK);
    EXPECT_TRUE(Logged(
        {{"call", "QueryInterface"}, {"interface", "ICoreWebView2_2"}, {"answered", false}}));
}

TEST_F(StandInRuntime, FileSystemInterfacesAreAnsweredUnlessAnOldRuntimeIsAsked) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    auto environment14 =
        As<ICoreWebView2Environment14>(browser.environment.Get(), IID_ICoreWebView2Environment14);
    auto webview23 = As<ICoreWebView2_23>(browser.webview.Get(), IID_ICoreWebView2_23);
    ASSERT_TRUE(environment14);
    ASSERT_TRUE(webview23);
    EXPECT_TRUE(As<IUnknown>(browser.environment.Get(), IID_ICoreWebView2Environment7));
    EXPECT_TRUE(As<IUnknown>(browser.webview.Get(), IID_ICoreWebView2_10));
    // Each intermediate method sits in its own slot and is logged on the interface declaring it.
    LPWSTR text = nullptr;
    EXPECT_EQ(environment14->get_UserDataFolder(&text), E_NOTIMPL);
    UINT32 frame = 0;
    EXPECT_EQ(webview23->get_FrameId(&frame), E_NOTIMPL);
    EXPECT_TRUE(Logged({{"call", "get_UserDataFolder"}, {"on", "environment7"}}));
    EXPECT_TRUE(Logged({{"call", "get_FrameId"}, {"on", "webview20"}, {"implemented", false}}));
    EXPECT_TRUE(Logged({{"call", "QueryInterface"},
                        {"on", "environment"},
                        {"interface", "ICoreWebView2Environment14"},
                        {"answered", true}}));

    app_.WriteRuntimeOptions({{"withhold", {"ICoreWebView2Environment14", "ICoreWebView2_23"}}});
    Browser old = OpenBrowser();
    ASSERT_TRUE(old.webview2);
    EXPECT_FALSE(As<IUnknown>(old.environment.Get(), IID_ICoreWebView2Environment14));
    EXPECT_FALSE(As<IUnknown>(old.webview.Get(), IID_ICoreWebView2_23));
    EXPECT_TRUE(As<IUnknown>(old.environment.Get(), IID_ICoreWebView2Environment13));
    EXPECT_TRUE(As<IUnknown>(old.webview.Get(), IID_ICoreWebView2_22));
    EXPECT_TRUE(Logged(
        {{"call", "QueryInterface"}, {"interface", "ICoreWebView2_23"}, {"answered", false}}));
}

TEST_F(StandInRuntime, FileSystemHandlesGiveBackWhatTheyWereMadeWith) {
    Browser browser = OpenBrowser();
    auto environment14 =
        As<ICoreWebView2Environment14>(browser.environment.Get(), IID_ICoreWebView2Environment14);
    ASSERT_TRUE(environment14);
    Ref<ICoreWebView2FileSystemHandle> folder;
    ASSERT_EQ(
        environment14->CreateWebFileSystemDirectoryHandle(
            L"C:\\app\\www\\", COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE, folder.Put()),
        S_OK);
    ASSERT_TRUE(folder);
    EXPECT_EQ(OtherReferences(folder.Get()), 0u);
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind{};
    EXPECT_EQ(folder->get_Kind(&kind), S_OK);
    EXPECT_EQ(static_cast<int>(kind), 1);
    LPWSTR path = nullptr;
    EXPECT_EQ(folder->get_Path(&path), S_OK);
    EXPECT_EQ(Take(path), L"C:\\app\\www\\");
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission{};
    EXPECT_EQ(folder->get_Permission(&permission), S_OK);
    EXPECT_EQ(permission, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE);
    EXPECT_EQ(Find({{"call", "CreateWebFileSystemDirectoryHandle"}}),
              json({{"call", "CreateWebFileSystemDirectoryHandle"},
                    {"on", "environment14"},
                    {"path", "C:\\app\\www\\"},
                    {"permission", 1}}));

    Ref<ICoreWebView2FileSystemHandle> file;
    ASSERT_EQ(environment14->CreateWebFileSystemFileHandle(
                  L"C:\\a.txt", COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_ONLY, file.Put()),
              S_OK);
    EXPECT_EQ(file->get_Kind(&kind), S_OK);
    EXPECT_EQ(static_cast<int>(kind), 0);
    EXPECT_TRUE(Logged({{"call", "CreateWebFileSystemFileHandle"}, {"permission", 0}}));
    EXPECT_EQ(environment14->CreateWebFileSystemDirectoryHandle(
                  nullptr, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_ONLY, file.Put()),
              E_POINTER);
    EXPECT_FALSE(file);
}

TEST_F(StandInRuntime, FileSystemHandlesNeedAFullyQualifiedPath) {
    Browser browser = OpenBrowser();
    auto environment14 =
        As<ICoreWebView2Environment14>(browser.environment.Get(), IID_ICoreWebView2Environment14);
    ASSERT_TRUE(environment14);
    struct Case {
        const wchar_t* path;
        bool accepted;
    };
    const Case cases[] = {
        {L"C:\\app\\www\\", true},
        {L"z:\\", true},
        {L"\\\\server\\share", true},
        {L"\\\\server\\share\\www\\", true},
        {L"\\\\?\\C:\\app\\", true},
        {L"\\\\?\\UNC\\server\\share\\a", true},
        {L"www\\", false},
        {L"", false},
        {L"C:", false},
        {L"C:www\\", false},
        {L"C:/app/www/", false},
        {L"\\app\\www", false},
        {L"\\\\server", false},
        {L"\\\\server\\", false},
        {L"\\\\.\\C:\\app", false},
        {L"\\\\?\\www", false},
        {L"\\\\?\\UNC\\server", false},
        {L"1:\\app", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        for (const bool directory : {true, false}) {
            Ref<ICoreWebView2FileSystemHandle> handle;
            const HRESULT result =
                directory ? environment14->CreateWebFileSystemDirectoryHandle(
                                c.path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE,
                                handle.Put())
                          : environment14->CreateWebFileSystemFileHandle(
                                c.path, COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE,
                                handle.Put());
            EXPECT_EQ(result, c.accepted ? S_OK : E_INVALIDARG);
            EXPECT_EQ(static_cast<bool>(handle), c.accepted);
        }
    }
}

TEST_F(StandInRuntime, AdditionalObjectsArePostedAsThePageWouldSeeThem) {
    Browser browser = OpenBrowser();
    auto environment14 =
        As<ICoreWebView2Environment14>(browser.environment.Get(), IID_ICoreWebView2Environment14);
    auto webview23 = As<ICoreWebView2_23>(browser.webview.Get(), IID_ICoreWebView2_23);
    ASSERT_TRUE(environment14);
    ASSERT_TRUE(webview23);
    Ref<ICoreWebView2FileSystemHandle> folder;
    environment14->CreateWebFileSystemDirectoryHandle(
        L"D:\\data", COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE, folder.Put());
    auto stranger = Make<WindowCloseRequested>([](ICoreWebView2*, IUnknown*) {});
    IUnknown* items[] = {folder.Get(), nullptr, stranger.Get()};
    Ref<ICoreWebView2ObjectCollection> collection;
    ASSERT_EQ(environment14->CreateObjectCollection(3, items, collection.Put()), S_OK);
    EXPECT_EQ(Find({{"call", "CreateObjectCollection"}}), json({{"call", "CreateObjectCollection"},
                                                                {"on", "environment14"},
                                                                {"length", 3},
                                                                {"nulls", json::array({1})}}));
    EXPECT_EQ(OtherReferences(folder.Get()), 1u) << "the collection holds each item";
    UINT32 count = 0;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 3u);
    Ref<IUnknown> item;
    EXPECT_EQ(collection->GetValueAtIndex(1, item.Put()), S_OK);
    EXPECT_FALSE(item);
    EXPECT_EQ(collection->GetValueAtIndex(3, item.Put()), E_INVALIDARG);
    auto view = As<ICoreWebView2ObjectCollectionView>(collection.Get(),
                                                      IID_ICoreWebView2ObjectCollectionView);
    ASSERT_TRUE(view);

    EXPECT_EQ(webview23->PostWebMessageAsJsonWithAdditionalObjects(
                  L"{\"type\":\"directory-handles\"}", view.Get()),
              S_OK);
    EXPECT_EQ(
        Find({{"call", "PostWebMessageAsJsonWithAdditionalObjects"}}),
        json(
            {{"call", "PostWebMessageAsJsonWithAdditionalObjects"},
             {"on", "webview23"},
             {"json", "{\"type\":\"directory-handles\"}"},
             {"objects",
              {{{"kind", 1}, {"path", "D:\\data"}, {"permission", 1}}, nullptr, json::object()}}}));

    EXPECT_EQ(collection->RemoveValueAtIndex(0), S_OK);
    EXPECT_EQ(OtherReferences(folder.Get()), 0u);
    EXPECT_EQ(collection->InsertValueAtIndex(3, folder.Get()), E_INVALIDARG);
    EXPECT_EQ(collection->InsertValueAtIndex(2, folder.Get()), S_OK);
    EXPECT_EQ(OtherReferences(folder.Get()), 1u);
    collection = nullptr;
    view = nullptr;
    EXPECT_EQ(OtherReferences(folder.Get()), 0u);
    EXPECT_EQ(OtherReferences(stranger.Get()), 0u);
}

TEST_F(StandInRuntime, ScenarioWaitsForNavigateThenPlaysEachLineOnceInOrder) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview2);
    std::vector<std::wstring> seen;
    EventRegistrationToken token{};
    auto title = Make<DocumentTitleChanged>([&](ICoreWebView2* sender, IUnknown*) {
        LPWSTR text = nullptr;
        sender->get_DocumentTitle(&text);
        seen.push_back(L"title " + Take(text));
    });
    browser.webview->add_DocumentTitleChanged(title.Get(), &token);
    auto loaded =
        Make<DOMContentLoaded>([&](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs* a) {
            UINT64 id = 0;
            a->get_NavigationId(&id);
            seen.push_back(L"loaded " + std::to_wstring(id));
        });
    browser.webview2->add_DOMContentLoaded(loaded.Get(), &token);
    EXPECT_TRUE(
        Logged({{"call", "add_DOMContentLoaded"}, {"on", "webview2"}, {"registered", true}}));

    EXPECT_EQ(app_.Play({{"cmd", "dom-content-loaded"}}), 0u);
    EXPECT_EQ(app_.Play({{"cmd", "title"}, {"title", "Caf\u00e9"}}), 1u);
    EXPECT_EQ(app_.Play({{"cmd", "dom-content-loaded"}}), 2u);
    PumpFor(200);
    EXPECT_TRUE(seen.empty()) << "played before Navigate";
    EXPECT_FALSE(Logged({{"event", "done"}}));

    ASSERT_EQ(browser.webview->Navigate(L"https://app.test/index.html"), S_OK);
    ASSERT_TRUE(PumpUntilDone(2));
    PumpFor(100);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1], L"title Caf\u00e9");
    EXPECT_EQ(seen[0].substr(0, 7), L"loaded ");
    EXPECT_LT(std::stoull(seen[0].substr(7)), std::stoull(seen[2].substr(7)));
    std::vector<size_t> done;
    for (const json& entry : app_.RuntimeCalls()) {
        if (entry.value("event", "") == "done") {
            done.push_back(entry["index"].get<size_t>());
        }
    }
    EXPECT_EQ(done, (std::vector<size_t>{0, 1, 2}));
    EXPECT_TRUE(Logged({{"call", "Navigate"}, {"uri", "https://app.test/index.html"}}));

    // A sleep holds the next line back without holding the host's messages.
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(app_.Play({{"cmd", "sleep"}, {"ms", 300}}), 3u);
    app_.Play({{"cmd", "title"}, {"title", "later"}});
    ASSERT_TRUE(PumpUntilDone(4));
    EXPECT_GE(GetTickCount64() - start, 300u);
    EXPECT_EQ(seen.back(), L"title later");
    EXPECT_TRUE(Logged({{"event", "done"}, {"index", 3}}));
}

TEST_F(StandInRuntime, RequestsReachTheHandlerThroughAFilterAndTheResponseIsLogged) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    std::wstring uri;
    std::wstring method;
    std::wstring range;
    auto handler = Make<WebResourceRequested>(
        [&](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
            Ref<ICoreWebView2WebResourceRequest> request;
            args->get_Request(request.Put());
            LPWSTR text = nullptr;
            request->get_Uri(&text);
            uri = Take(text);
            request->get_Method(&text);
            method = Take(text);
            Ref<ICoreWebView2HttpRequestHeaders> headers;
            request->get_Headers(headers.Put());
            BOOL has = FALSE;
            headers->Contains(L"range", &has);
            if (has) {
                headers->GetHeader(L"Range", &text);
                range = Take(text);
            }
            auto body =
                Ref<IStream>::Adopt(SHCreateMemStream(reinterpret_cast<const BYTE*>("ab\0d"), 4));
            Ref<ICoreWebView2WebResourceResponse> response;
            browser.environment->CreateWebResourceResponse(
                body.Get(), 206, L"Partial Content",
                L"Content-Range: bytes 0-3/10\nContent-Length: 4", response.Put());
            args->put_Response(response.Get());
        });
    EventRegistrationToken token{};
    ASSERT_EQ(browser.webview->add_WebResourceRequested(handler.Get(), &token), S_OK);
    ASSERT_EQ(browser.webview->AddWebResourceRequestedFilter(L"https://app.test/*",
                                                             COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL),
              S_OK);
    ASSERT_EQ(browser.webview->Navigate(L"https://app.test/index.html"), S_OK);
    app_.Play({{"cmd", "request"},
               {"uri", "https://app.test/clip.mp4"},
               {"headers", {{"Range", "bytes=0-3"}}}});
    app_.Play({{"cmd", "request"}, {"uri", "https://elsewhere.test/app.test/"}});
    ASSERT_TRUE(PumpUntilDone(1));
    EXPECT_EQ(uri, L"https://app.test/clip.mp4");
    EXPECT_EQ(method, L"GET");
    EXPECT_EQ(range, L"bytes=0-3");
    EXPECT_EQ(Find({{"event", "response"}, {"uri", "https://app.test/clip.mp4"}}),
              json({{"event", "response"},
                    {"uri", "https://app.test/clip.mp4"},
                    {"filtered", true},
                    {"responded", true},
                    {"status", 206},
                    {"reason", "Partial Content"},
                    {"headers", "Content-Range: bytes 0-3/10\nContent-Length: 4"},
                    {"hasBody", true},
                    {"agile", false},  // a memory stream of the shell's
                    {"bodyHex", "61620064"},
                    {"bodyLength", 4}}));
    EXPECT_EQ(Find({{"event", "response"}, {"uri", "https://elsewhere.test/app.test/"}}),
              json({{"event", "response"},
                    {"uri", "https://elsewhere.test/app.test/"},
                    {"filtered", false}}));
}

TEST_F(StandInRuntime, EventCommandsLogWhatTheHandlersDecided) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    EventRegistrationToken token{};
    BOOL redirected = FALSE;
    browser.webview->add_NavigationStarting(
        Make<NavigationStarting>([&](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* a) {
            LPWSTR uri = nullptr;
            a->get_Uri(&uri);
            a->get_IsRedirected(&redirected);
            a->put_Cancel(Take(uri).rfind(L"https://app.test/", 0) != 0);
        }).Get(),
        &token);
    browser.webview->add_PermissionRequested(
        Make<PermissionRequested>([](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* a) {
            a->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
        }).Get(),
        &token);
    browser.webview->add_NewWindowRequested(
        Make<NewWindowRequested>([](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* a) {
            a->put_Handled(TRUE);
        }).Get(),
        &token);
    std::vector<std::wstring> messages;
    browser.webview->add_WebMessageReceived(
        Make<WebMessageReceived>([&](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* a) {
            LPWSTR text = nullptr;
            a->get_Source(&text);
            std::wstring line = Take(text);
            a->get_WebMessageAsJson(&text);
            line += L" " + Take(text);
            const HRESULT result = a->TryGetWebMessageAsString(&text);
            line += result == E_INVALIDARG && text == nullptr ? L" -" : L" " + Take(text);
            messages.push_back(line);
        }).Get(),
        &token);
    BOOL fullScreen = FALSE;
    browser.webview->add_ContainsFullScreenElementChanged(
        Make<FullScreenChanged>([&](ICoreWebView2* sender, IUnknown*) {
            sender->get_ContainsFullScreenElement(&fullScreen);
        }).Get(),
        &token);
    int closes = 0;
    browser.webview->add_WindowCloseRequested(
        Make<WindowCloseRequested>([&](ICoreWebView2*, IUnknown*) { ++closes; }).Get(), &token);
    browser.controller->add_AcceleratorKeyPressed(
        Make<AcceleratorKeyPressed>([](ICoreWebView2Controller*,
                                       ICoreWebView2AcceleratorKeyPressedEventArgs* a) {
            UINT key = 0;
            a->get_VirtualKey(&key);
            a->put_Handled(key == VK_F12);
        }).Get(),
        &token);
    ASSERT_EQ(browser.webview->Navigate(L"https://app.test/index.html"), S_OK);

    app_.Play({{"cmd", "navigate"}, {"uri", "https://elsewhere.test/"}});
    app_.Play({{"cmd", "navigate"}, {"uri", "https://app.test/b.html"}, {"redirect", true}});
    app_.Play({{"cmd", "permission"}, {"uri", "https://app.test/"}, {"kind", 2}});
    app_.Play({{"cmd", "new-window"}, {"uri", "https://elsewhere.test/"}});
    app_.Play({{"cmd", "key"}, {"key", VK_F12}, {"kind", 1}});
    app_.Play({{"cmd", "key"}, {"key", 65}});
    app_.Play({{"cmd", "web-message"}, {"source", "https://app.test/"}, {"string", "hi"}});
    app_.Play({{"cmd", "web-message"}, {"source", "https://app.test/"}, {"json", "{\"a\":1}"}});
    app_.Play({{"cmd", "fullscreen"}, {"on", true}});
    app_.Play({{"cmd", "close"}});
    app_.Play({{"cmd", "no-such-command"}});
    ASSERT_TRUE(PumpUntilDone(10));

    EXPECT_TRUE(Logged({{"event", "navigation-starting"},
                        {"uri", "https://elsewhere.test/"},
                        {"cancelled", true}}));
    EXPECT_TRUE(Logged({{"event", "navigation-starting"},
                        {"uri", "https://app.test/b.html"},
                        {"cancelled", false}}));
    EXPECT_TRUE(redirected);
    EXPECT_TRUE(Logged({{"event", "permission"}, {"kind", 2}, {"state", 1}}));
    EXPECT_TRUE(Logged({{"event", "new-window"}, {"handled", true}}));
    EXPECT_TRUE(Logged({{"event", "key"}, {"key", VK_F12}, {"kind", 1}, {"handled", true}}));
    EXPECT_TRUE(Logged({{"event", "key"}, {"key", 65}, {"handled", false}}));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"https://app.test/ \"hi\" hi",
                                                   L"https://app.test/ {\"a\":1} -"}));
    EXPECT_TRUE(fullScreen);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(Logged({{"event", "error"}, {"index", 10}}));
}

TEST_F(StandInRuntime, HandlersAreHeldUntilTheWebViewGoesAndNeedAToken) {
    Browser browser = OpenBrowser();
    ASSERT_TRUE(browser.webview);
    auto handler = Make<WindowCloseRequested>([](ICoreWebView2*, IUnknown*) {});
    auto key = Make<AcceleratorKeyPressed>(
        [](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs*) {});
    EXPECT_EQ(browser.webview->add_WindowCloseRequested(handler.Get(), nullptr), E_POINTER);
    EXPECT_TRUE(Logged({{"call", "add_WindowCloseRequested"}, {"registered", false}}));
    EXPECT_EQ(OtherReferences(handler.Get()), 0u);
    EventRegistrationToken token{};
    EXPECT_EQ(browser.webview->add_WindowCloseRequested(handler.Get(), &token), S_OK);
    EXPECT_EQ(browser.controller->add_AcceleratorKeyPressed(key.Get(), &token), S_OK);
    EXPECT_EQ(OtherReferences(handler.Get()), 1u);
    EXPECT_EQ(OtherReferences(key.Get()), 1u);
    browser = Browser();
    EXPECT_EQ(OtherReferences(handler.Get()), 0u);
    EXPECT_EQ(OtherReferences(key.Get()), 0u);
    EXPECT_TRUE(Logged({{"call", "destroyed"}, {"object", "webview"}}));
}

TEST_F(StandInRuntime, PlayAndWaitDrivesAHostOnAnotherThread) {
    auto create = Loader();
    ASSERT_NE(create, nullptr);
    DWORD uiThread = 0;
    std::atomic<bool> ready = false;
    std::thread ui([&] {
        uiThread = GetCurrentThreadId();
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
        ready = true;
        HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, nullptr, nullptr);
        Browser browser;
        auto controllerDone = Make<ControllerCompleted>([&](HRESULT, ICoreWebView2Controller* c) {
            browser.controller = Ref<ICoreWebView2Controller>::Share(c);
            browser.controller->get_CoreWebView2(browser.webview.Put());
            EventRegistrationToken token{};
            browser.webview->add_NewWindowRequested(
                Make<NewWindowRequested>([](ICoreWebView2*,
                                            ICoreWebView2NewWindowRequestedEventArgs* a) {
                    a->put_Handled(TRUE);
                }).Get(),
                &token);
            browser.webview->Navigate(L"https://app.test/");
        });
        auto environmentDone =
            Make<EnvironmentCompleted>([&](HRESULT, ICoreWebView2Environment* e) {
                browser.environment = Ref<ICoreWebView2Environment>::Share(e);
                e->CreateCoreWebView2Controller(parent, controllerDone.Get());
            });
        create(nullptr, nullptr, nullptr, environmentDone.Get());
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
        browser = Browser();
        DestroyWindow(parent);
    });
    while (!ready) {
        Sleep(5);
    }
    EXPECT_TRUE(app_.WaitForCall([](const json& e) { return e.value("call", "") == "Navigate"; }));
    const auto entries = app_.PlayAndWait({{"cmd", "new-window"}, {"uri", "https://x.test/"}});
    PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
    ui.join();
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front(),
              json({{"event", "new-window"}, {"uri", "https://x.test/"}, {"handled", true}}));
    EXPECT_FALSE(app_.PlayAndWait({{"cmd", "close"}}, 300).has_value()) << "nobody plays now";
}

TEST(InProcessObjects, RequestArgumentsAndTheResponseEnvironmentWorkWithoutTheDll) {
    const HeaderList headers = {{L"Range", L"bytes=1-2"}, {L"Accept", L"*/*"}};
    auto args = vandrel::testruntime::MakeWebResourceRequestedArgs(L"https://app.test/a", headers);
    EXPECT_FALSE(vandrel::testruntime::ReadResponse(args.Get()).responded);
    Ref<ICoreWebView2WebResourceRequest> request;
    ASSERT_EQ(args->get_Request(request.Put()), S_OK);
    Ref<ICoreWebView2HttpRequestHeaders> requestHeaders;
    ASSERT_EQ(request->get_Headers(requestHeaders.Put()), S_OK);
    LPWSTR value = nullptr;
    EXPECT_EQ(requestHeaders->GetHeader(L"RANGE", &value), S_OK);
    EXPECT_EQ(Take(value), L"bytes=1-2");
    EXPECT_TRUE(FAILED(requestHeaders->GetHeader(L"Cookie", &value)));
    EXPECT_EQ(value, nullptr);
    Ref<ICoreWebView2HttpHeadersCollectionIterator> iterator;
    ASSERT_EQ(requestHeaders->GetIterator(iterator.Put()), S_OK);
    HeaderList listed;
    for (BOOL has = FALSE; SUCCEEDED(iterator->get_HasCurrentHeader(&has)) && has;
         iterator->MoveNext(&has)) {
        LPWSTR name = nullptr;
        iterator->GetCurrentHeader(&name, &value);
        listed.emplace_back(Take(name), Take(value));
    }
    EXPECT_EQ(listed, headers);

    auto environment = vandrel::testruntime::MakeResponseEnvironment();
    Ref<ICoreWebView2WebResourceResponse> response;
    ASSERT_EQ(environment->CreateWebResourceResponse(nullptr, 416, L"Range Not Satisfiable",
                                                     L"Cache-Control: no-store", response.Put()),
              S_OK);
    ASSERT_EQ(args->put_Response(response.Get()), S_OK);
    const auto seen = vandrel::testruntime::ReadResponse(args.Get());
    EXPECT_TRUE(seen.responded);
    EXPECT_EQ(seen.status, 416);
    EXPECT_EQ(seen.reason, L"Range Not Satisfiable");
    EXPECT_EQ(seen.headers, L"Cache-Control: no-store");
    EXPECT_FALSE(seen.hasBody);
    EXPECT_TRUE(seen.body.empty());
}

}  // namespace
