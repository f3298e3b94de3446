// The real vandrel-host.exe end to end, with the scripted runtime playing the browser: the
// WebView's creation and settings, the event handlers, the main window and its geometry.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "bundle_builder.h"
#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

constexpr const char* kOrigin = kAppOrigin;

bool IsCall(const json& entry, const std::string& call) {
    return entry.value("call", "") == call;
}

// A host run up to its first navigation.
using RunningApp = RunningHost;

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(WebViewHost, BundleModeSettingsRegistrationsAndFirstShow) {
    RunningApp run(R"({"name":"settings","main":"start.html"})");
    ASSERT_NE(run.window, nullptr);
    ASSERT_TRUE(run.navigation.has_value());
    EXPECT_EQ((*run.navigation)["uri"], std::string(kOrigin) + "start.html");

    // What the host asked for, in order, from the controller's arrival to the navigation.
    std::vector<std::string> seen;
    bool started = false;
    for (const json& e : run.app.RuntimeCalls()) {
        if (e.value("event", "") == "controller-created") {
            started = true;
            continue;
        }
        if (!started || !e.contains("call")) {
            continue;
        }
        std::string call = e["call"];
        if (call.starts_with("get_") || call == "QueryInterface") {
            continue;
        }
        if (e.contains("value")) {
            call += "=" + e["value"].dump();
        }
        if (call == "AddWebResourceRequestedFilter") {
            call += " " + e["uri"].get<std::string>() + " " + e["context"].dump();
        }
        if (call.starts_with("add_")) {
            call += "@" + e.value("on", "");
        }
        seen.push_back(call);
        if (call.starts_with("Navigate")) {
            break;
        }
    }
    const std::vector<std::string> expected = {
        "put_IsScriptEnabled=true",
        "put_AreHostObjectsAllowed=false",
        "put_AreDefaultScriptDialogsEnabled=true",
        "put_IsWebMessageEnabled=true",
        "put_IsZoomControlEnabled=false",
        "put_AreDefaultContextMenusEnabled=true",
        "put_AreDevToolsEnabled=true",
        "put_AreBrowserAcceleratorKeysEnabled=false",
        "add_AcceleratorKeyPressed@controller",
        "put_Bounds",
        "add_DocumentTitleChanged@webview",
        std::string("AddWebResourceRequestedFilter ") + kOrigin + "* 0",
        "add_WebResourceRequested@webview",
        "add_NavigationStarting@webview",
        "add_PermissionRequested@webview",
        "add_ContainsFullScreenElementChanged@webview",
        "add_WindowCloseRequested@webview",
        "add_NewWindowRequested@webview",
        "add_WebMessageReceived@webview",
        "add_DOMContentLoaded@webview2",
        "add_NavigationCompleted@webview",
        "add_ProcessFailed@webview",
        // The page's errors, for the player log.
        "GetDevToolsProtocolEventReceiver",
        "add_DevToolsProtocolEventReceived@devtoolsReceiver",
        "GetDevToolsProtocolEventReceiver",
        "add_DevToolsProtocolEventReceived@devtoolsReceiver",
        "CallDevToolsProtocolMethod",
        "Navigate",
    };
    EXPECT_EQ(seen, expected);

    // The bounds are the client area.
    RECT client{};
    GetClientRect(run.window, &client);
    const json bounds = run.Calls("put_Bounds").at(0);
    EXPECT_EQ(bounds["right"], client.right);
    EXPECT_EQ(bounds["bottom"], client.bottom);

    // Hidden until the DOM has loaded; then shown, the control visible and focused.
    EXPECT_FALSE(IsWindowVisible(run.window));
    const auto entries = run.Play({{"cmd", "dom-content-loaded"}});
    EXPECT_TRUE(IsWindowVisible(run.window));
    bool visible = false;
    bool focused = false;
    for (const json& e : entries) {
        visible |= IsCall(e, "put_IsVisible") && e["value"] == true;
        focused |= IsCall(e, "MoveFocus") && e["reason"] == 0;
    }
    EXPECT_TRUE(visible);
    EXPECT_TRUE(focused);
    run.Close();
}

TEST(WebViewHost, RemoteModeServesNothingItself) {
    RunningApp run(
        R"({"name":"remote","main":"https://example.com/app/","settings":{"content-mode":"remote"}})");
    ASSERT_TRUE(run.navigation.has_value());
    EXPECT_EQ((*run.navigation)["uri"], "https://example.com/app/");
    EXPECT_TRUE(run.Calls("AddWebResourceRequestedFilter").empty());
    EXPECT_TRUE(run.Calls("add_WebResourceRequested").empty());
    EXPECT_TRUE(run.Calls("add_NavigationStarting").empty());
    EXPECT_EQ(run.Calls("add_WebMessageReceived").size(), 1u);
    run.Close();
}

TEST(WebViewHost, ARequestIsAnsweredFromTheBundle) {
    RunningApp run(R"({"name":"served"})", json::object(), true, [](AppFolder& app) {
        app.Write(L"www\\assets.dat", BundleOfFiles({{"index.html", "<h1>bundled</h1>"}}));
    });
    json response;
    for (const json& e :
         run.Play({{"cmd", "request"}, {"uri", std::string(kOrigin) + "index.html"}})) {
        if (e.value("event", "") == "response") {
            response = e;
        }
    }
    ASSERT_TRUE(response.value("responded", false)) << response.dump();
    EXPECT_EQ(response["status"], 200);
    EXPECT_EQ(response["reason"], "OK");
    EXPECT_EQ(response["headers"],
              "Cache-Control: no-store\nContent-Type: text/html; charset=utf-8\n"
              "Accept-Ranges: bytes\nContent-Length: 16");
    EXPECT_EQ(response["bodyHex"], "3c68313e62756e646c65643c2f68313e");
    run.Close();
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// The runtime's response event to a request for `path`, with a Range header when `range` is set.
json Request(RunningApp& run, const std::string& path, const char* range = nullptr) {
    json command = {{"cmd", "request"}, {"uri", std::string(kOrigin) + path}};
    if (range != nullptr) {
        command["headers"] = {{"Range", range}};
    }
    for (const json& e : run.Play(command)) {
        if (e.value("event", "") == "response") {
            return e;
        }
    }
    ADD_FAILURE() << "no response to " << path;
    return json::object();
}

TEST(WebViewHost, ModuleScriptsAndCacheBustingQueriesAreServed) {
    RunningApp run(R"({"name":"modules"})", json::object(), true, [](AppFolder& app) {
        app.Write(L"www\\assets.dat", BundleOfFiles({{"build/pdf.mjs", "export {};"},
                                                     {"main.js", "go()"},
                                                     {"app.js?v=7", "listed with its query"}}));
        app.Write(L"www\\style.css", "body{}");
        app.Write(L"www\\pdf.worker.mjs", "onmessage=null");
        app.Write(L"www\\site.webmanifest", "{}");
    });
    struct Case {
        std::string path;
        int status;
        std::string type;
        std::string body;
    };
    const Case cases[] = {
        {"build/pdf.mjs", 200, "application/javascript; charset=utf-8", "export {};"},
        {"pdf.worker.mjs?v=4.2", 200, "application/javascript; charset=utf-8", "onmessage=null"},
        {"main.js?v=3", 200, "application/javascript; charset=utf-8", "go()"},
        {"main.js#start", 200, "application/javascript; charset=utf-8", "go()"},
        {"style.css?v=2", 200, "text/css; charset=utf-8", "body{}"},
        {"site.webmanifest", 200, "application/manifest+json", "{}"},
        // A name the bundle lists with its query still wins.
        {"app.js?v=7", 200, "application/octet-stream", "listed with its query"},
        {"main.js%3Fv=3", 404, "", "File not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const json response = Request(run, c.path);
        EXPECT_EQ(response.value("status", 0), c.status);
        EXPECT_EQ(response.value("bodyHex", ""), Hex(c.body));
        if (!c.type.empty()) {
            EXPECT_NE(response.value("headers", "").find("Content-Type: " + c.type + "\n"),
                      std::string::npos)
                << response.dump();
        }
    }
    run.Close();
}

TEST(WebViewHost, BodiesAreReadOnTheRuntimesThreadEvenAfterTheHostHasShutDown) {
    std::string video(300000, '\0');
    for (size_t i = 0; i < video.size(); ++i) {
        video[i] = static_cast<char>(i * 13 + (i >> 10));
    }
    RunningApp run(R"({"name":"held"})", {{"holdStreams", 3}}, true, [&video](AppFolder& app) {
        app.Write(L"www\\assets.dat",
                  BundleOfFiles({{"index.html", "<p>bundled</p>"}, {"intro.webm", video}}));
        app.Write(L"www\\song.ogg", video);
    });
    // A whole bundle file, a bundle range and a folder range, as a media element asks for them.
    const json page = Request(run, "index.html");
    const json seek = Request(run, "intro.webm", "bytes=150000-");
    const json song = Request(run, "song.ogg", "bytes=1000-1999");
    EXPECT_EQ(page["bodyHex"], Hex("<p>bundled</p>"));
    EXPECT_EQ(seek["status"], 206);
    EXPECT_EQ(seek["bodyHex"], Hex(video.substr(150000)));
    EXPECT_EQ(song["bodyHex"], Hex(video.substr(1000, 1000)));
    for (const json& response : {page, seek, song}) {
        EXPECT_EQ(response["agile"], true) << response["uri"];
    }

    // The host unmaps nothing a stream still reads: the runtime, unloaded after the host has shut
    // its bundle and folder views down, reads every kept body again.
    run.Close();
    std::vector<json> held;
    for (const json& e : run.app.RuntimeCalls()) {
        if (e.value("event", "") == "held-stream") {
            held.push_back(e);
        }
    }
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[0]["bodyHex"], Hex("<p>bundled</p>"));
    EXPECT_EQ(held[1]["bodyHex"], Hex(video.substr(150000)));
    EXPECT_EQ(held[2]["bodyHex"], Hex(video.substr(1000, 1000)));
}

TEST(WebViewHost, AFolderFileThatCannotBeOpenedGives500WithoutABody) {
    RunningApp run(R"({"name":"locked"})", json::object(), true,
                   [](AppFolder& app) { app.Write(L"www\\save.json", "{\"level\":3}"); });
    // Another program holds the file without sharing it.
    HANDLE lock = CreateFileW(run.app.PathOf(L"www\\save.json").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const json locked = Request(run, "save.json");
    CloseHandle(lock);
    EXPECT_EQ(locked["status"], 500);
    EXPECT_EQ(locked["reason"], "Internal Server Error");
    EXPECT_EQ(locked["hasBody"], false);
    const json free = Request(run, "save.json");
    EXPECT_EQ(free["status"], 200);
    EXPECT_EQ(free["bodyLength"], 11);
    run.Close();
}

TEST(WebViewHost, CaptionFollowsTheDocumentTitle) {
    RunningApp run(R"({"name":"titles","window":{"title":"Configured"}})");
    wchar_t caption[256] = {};
    GetWindowTextW(run.window, caption, 256);
    EXPECT_STREQ(caption, L"Configured");
    run.Play({{"cmd", "title"}, {"title", "Level 2 \xE2\x80\x94 Caves"}});
    GetWindowTextW(run.window, caption, 256);
    EXPECT_STREQ(caption, L"Level 2 \u2014 Caves");
    run.Play({{"cmd", "title"}, {"title", ""}});
    GetWindowTextW(run.window, caption, 256);
    EXPECT_STREQ(caption, L"");
    run.Close();
}

TEST(WebViewHost, F12OpensDevToolsOncePerPressOnlyWhenEnabled) {
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        RunningApp run(std::string(R"({"name":"keys","settings":{"enable-devtools":)") +
                       (enabled ? "true" : "false") + "}}");
        EXPECT_EQ(run.Calls("put_AreDevToolsEnabled").at(0)["value"], enabled);
        run.Play({{"cmd", "key"}, {"key", 122}});
        EXPECT_TRUE(run.Calls("OpenDevToolsWindow").empty());
        // A press held long enough to repeat, then released: one window.
        run.Play({{"cmd", "key"}, {"key", 123}, {"kind", 0}});
        run.Play({{"cmd", "key"}, {"key", 123}, {"kind", 0}, {"repeat", true}});
        run.Play({{"cmd", "key"}, {"key", 123}, {"kind", 1}});
        EXPECT_EQ(run.Calls("OpenDevToolsWindow").size(), enabled ? 1u : 0u);
        // With Alt held the press comes as a system key.
        run.Play({{"cmd", "key"}, {"key", 123}, {"kind", 2}});
        run.Play({{"cmd", "key"}, {"key", 123}, {"kind", 3}});
        EXPECT_EQ(run.Calls("OpenDevToolsWindow").size(), enabled ? 2u : 0u);
        run.Close();
    }
}

TEST(WebViewHost, WithoutSettings3TheKeysStayTheBrowsers) {
    // F12 is the browser's own; the host listens only for its full-screen keys, and not at all
    // when they are off.
    for (const bool fullScreenKeys : {true, false}) {
        SCOPED_TRACE(fullScreenKeys);
        RunningApp run(std::string(R"({"name":"old","window":{"fullscreen-keys":)") +
                           (fullScreenKeys ? "true" : "false") + "}}",
                       {{"withhold", {"ICoreWebView2Settings3"}}});
        EXPECT_TRUE(run.Calls("put_AreBrowserAcceleratorKeysEnabled").empty());
        EXPECT_EQ(run.Calls("add_AcceleratorKeyPressed").size(), fullScreenKeys ? 1u : 0u);
        const auto entries = run.Play({{"cmd", "key"}, {"key", VK_F12}});
        EXPECT_TRUE(run.Calls("OpenDevToolsWindow").empty());
        for (const json& e : entries) {
            if (e.value("event", "") == "key") {
                EXPECT_EQ(e["handled"], false);
            }
        }
        EXPECT_EQ(run.Calls("Navigate").size(), 1u);
        run.Close();
    }
}

TEST(WebViewHost, NavigationsLeavingTheOriginAreCancelled) {
    RunningApp run(R"({"name":"nav"})");
    struct Case {
        std::string uri;
        bool cancelled;
    };
    const Case cases[] = {
        {std::string(kOrigin) + "level2.html", false},
        {std::string(kOrigin), false},
        {"https://example.com/", true},
        {"http://vandrel.localhost/index.html", true},
        {"https://vandrel.localhost.example.com/", true},
        {"file:///C:/Windows/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        json outcome;
        for (const json& e : run.Play({{"cmd", "navigate"}, {"uri", c.uri}})) {
            if (e.value("event", "") == "navigation-starting") {
                outcome = e;
            }
        }
        EXPECT_EQ(outcome["cancelled"], c.cancelled);
    }
    run.Close();
}

// The permission state the host leaves on a request from `uri` (0 default, 1 allow).
int PermissionState(RunningApp& run, const std::string& uri, int kind) {
    for (const json& e : run.Play({{"cmd", "permission"}, {"uri", uri}, {"kind", kind}})) {
        if (e.value("event", "") == "permission") {
            return e["state"];
        }
    }
    ADD_FAILURE() << "no permission outcome for " << uri;
    return -1;
}

TEST(WebViewHost, OnlyTheAppsOwnPagesGetPermissionsWithoutAsking) {
    RunningApp run(R"({"name":"perm"})");
    for (int kind = 0; kind <= 6; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(PermissionState(run, std::string(kOrigin) + "index.html", kind), 1);
        EXPECT_EQ(PermissionState(run, kOrigin, kind), 1);
        // A third-party frame is left to the runtime, which asks the user.
        EXPECT_EQ(PermissionState(run, "https://ads.example.com/frame.html", kind), 0);
        EXPECT_EQ(PermissionState(run, "https://vandrel.localhost.example.com/", kind), 0);
        EXPECT_EQ(PermissionState(run, "http://vandrel.localhost/", kind), 0);
    }
    run.Close();

    RunningApp remote(
        R"({"name":"perm","main":"https://game.example.com","settings":{"content-mode":"remote"}})");
    EXPECT_EQ(PermissionState(remote, "https://game.example.com/level1", 2), 1);
    EXPECT_EQ(PermissionState(remote, "https://game.example.com.evil.example/", 2), 0);
    remote.Close();
}

TEST(WebViewHost, RemoteOriginsEndAtTheHost) {
    RunningApp run(
        R"({"name":"origins","main":"https://game.example.com","settings":{"content-mode":"remote"}})");
    const auto replies = [&](const std::string& source) {
        size_t before = run.Calls("PostWebMessageAsJson").size();
        run.Play(
            {{"cmd", "web-message"}, {"source", source}, {"string", R"({"type":"wrapper-init"})"}});
        return run.Calls("PostWebMessageAsJson").size() - before;
    };
    EXPECT_EQ(replies("https://game.example.com.evil.example/"), 0u);
    EXPECT_EQ(replies("https://game.example.com@evil.example/"), 0u);
    EXPECT_EQ(replies("https://game.example.comx/"), 0u);
    EXPECT_EQ(replies("https://game.example.com/"), 1u);
    EXPECT_EQ(replies("https://game.example.com/play?level=2"), 1u);
    EXPECT_EQ(replies("https://game.example.com"), 1u);
    run.Close();
}

TEST(WebViewHost, AFailedFirstNavigationStillShowsTheWindow) {
    RunningApp run(
        R"({"name":"offline","main":"https://game.example.com/","settings":{"content-mode":"remote"}})");
    EXPECT_FALSE(IsWindowVisible(run.window));
    // No DOM ever loads: the address cannot be reached.
    const auto entries =
        run.Play({{"cmd", "navigation-completed"}, {"isSuccess", false}, {"webErrorStatus", 6}});
    EXPECT_TRUE(IsWindowVisible(run.window));
    bool visible = false;
    for (const json& e : entries) {
        visible |= IsCall(e, "put_IsVisible") && e["value"] == true;
    }
    EXPECT_TRUE(visible);
    // Later navigations leave the window as the user has it.
    ShowWindow(run.window, SW_HIDE);
    run.Play({{"cmd", "navigation-completed"}, {"isSuccess", true}});
    EXPECT_FALSE(IsWindowVisible(run.window));
    run.Close();
}

TEST(WebViewHost, NewWindowsGoToTheShellOnlyForWebAndMail) {
    RunningApp run(R"({"name":"popups"})");
    for (const char* uri : {"file:///C:/Windows/System32/calc.exe", "ms-settings:privacy",
                            "javascript:alert(1)", "https://example.com/"}) {
        json outcome;
        for (const json& e : run.Play({{"cmd", "new-window"}, {"uri", uri}})) {
            if (e.value("event", "") == "new-window") {
                outcome = e;
            }
        }
        EXPECT_EQ(outcome["handled"], true) << uri;
    }
    run.Close();
}

TEST(WebViewHost, ThePageClosingItsWindowEndsTheAppWithZero) {
    RunningApp run(R"({"name":"closer"})");
    run.app.Play({{"cmd", "close"}});
    EXPECT_EQ(run.host->WaitForExit(), 0u);
}

TEST(WebViewHost, ABrowserViewThatCannotStartIsReported) {
    const json failures[] = {{{"environmentResult", "0x80004005"}},
                             {{"environmentObject", false}},
                             {{"controllerResult", "0x80070005"}},
                             {{"withhold", {"ICoreWebView2_2"}}}};
    for (const json& options : failures) {
        SCOPED_TRACE(options.dump());
        RunningApp run(R"({"name":"broken","window":{"title":"Broken Game"}})", options, false);
        auto box = run.host->DismissMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, L"Broken Game");
        EXPECT_NE(box->text.find(L"could not be started"), std::wstring::npos) << Utf8(box->text);
        EXPECT_NE(box->text.find(L"0x8"), std::wstring::npos) << Utf8(box->text);
        EXPECT_EQ(box->icon, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(run.host->WaitForExit(), 1u);
    }
}

TEST(WebViewHost, FullScreenRestoresTheExactWindow) {
    for (const char* resizable : {"true", "false"}) {
        SCOPED_TRACE(resizable);
        RunningApp run(
            std::string(R"({"name":"fs","window":{"width":640,"height":480,"resizable":)") +
            resizable + "}}");
        run.Play({{"cmd", "dom-content-loaded"}});
        const LONG style = GetWindowLongW(run.window, GWL_STYLE);
        const LONG exStyle = GetWindowLongW(run.window, GWL_EXSTYLE);
        const RECT before = WindowRect(run.window);

        run.Play({{"cmd", "fullscreen"}, {"on", true}});
        const RECT full = WindowRect(run.window);
        EXPECT_EQ(full.right - full.left, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(full.bottom - full.top, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_EQ(GetWindowLongW(run.window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
        // The controller follows the new client area.
        const json lastBounds = run.Calls("put_Bounds").back();
        EXPECT_EQ(lastBounds["right"], GetSystemMetrics(SM_CXSCREEN));

        // A second enter, and size or position requests while full screen, change nothing.
        run.Play({{"cmd", "fullscreen"}, {"on", true}});
        run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
        run.Message({{"type", "set-window-size"}, {"windowWidth", 300}, {"windowHeight", 200}});
        run.Message({{"type", "set-window-position"}, {"windowX", 5}, {"windowY", 5}});
        EXPECT_TRUE(SameRect(WindowRect(run.window), full));

        run.Play({{"cmd", "fullscreen"}, {"on", false}});
        EXPECT_EQ(GetWindowLongW(run.window, GWL_STYLE), style);
        EXPECT_EQ(GetWindowLongW(run.window, GWL_EXSTYLE), exStyle);
        EXPECT_TRUE(SameRect(WindowRect(run.window), before));  // the dropped requests stay dropped
        run.Close();
    }
}

TEST(WebViewHost, SizeAndPositionFollowThePagesMessages) {
    RunningApp run(R"({"name":"geometry"})");
    run.Play({{"cmd", "dom-content-loaded"}});
    run.Message({{"type", "set-window-size"}, {"windowWidth", 801}, {"windowHeight", 601}});
    RECT client{};
    GetClientRect(run.window, &client);
    EXPECT_EQ(client.right, 801);  // ScaleForDpi at 96 DPI
    EXPECT_EQ(client.bottom, 601);
    EXPECT_EQ(run.Calls("put_Bounds").back()["right"], 801);

    // Wrong types and missing members change nothing.
    run.Message({{"type", "set-window-size"}, {"windowWidth", "500"}, {"windowHeight", 400}});
    run.Message({{"type", "set-window-size"}, {"windowWidth", 500}});
    GetClientRect(run.window, &client);
    EXPECT_EQ(client.right, 801);

    run.Message({{"type", "set-window-position"}, {"windowX", 10.9}, {"windowY", 20}});
    RECT outer = WindowRect(run.window);
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);

    // Foreign, non-string and malformed messages are dropped.
    run.Play({{"cmd", "web-message"},
              {"source", "https://example.com/"},
              {"string", R"({"type":"set-window-position","windowX":300,"windowY":300})"}});
    run.Play({{"cmd", "web-message"},
              {"source", std::string(kOrigin)},
              {"json", R"({"type":"set-window-position","windowX":300,"windowY":300})"}});
    run.Play({{"cmd", "web-message"},
              {"source", std::string(kOrigin)},
              {"string", R"({"type":"set-window-position","windowX":300,})"}});
    outer = WindowRect(run.window);
    EXPECT_EQ(outer.left, 10);
    EXPECT_TRUE(run.Calls("PostWebMessageAsJson").empty());
    run.Close();
}

TEST(WebViewHost, TheKeyboardCannotOpenTheWindowMenu) {
    RunningApp run(R"({"name":"menu"})");
    run.Play({{"cmd", "dom-content-loaded"}});
    const DWORD thread = GetWindowThreadProcessId(run.window, nullptr);
    auto inMenu = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(thread, &info);
        return (info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE | GUI_POPUPMENUMODE)) != 0;
    };
    for (LPARAM lParam : {LPARAM(0), LPARAM(0x20)}) {
        DWORD_PTR result = 1;
        SendMessageTimeoutW(run.window, WM_SYSCOMMAND, SC_KEYMENU, lParam, SMTO_ABORTIFHUNG, 2000,
                            &result);
        EXPECT_EQ(result, 0u);
        EXPECT_FALSE(inMenu()) << lParam;
    }
    // The mouse still opens it (the command carries the hit-test code of the system menu).
    RECT outer = WindowRect(run.window);
    PostMessageW(run.window, WM_SYSCOMMAND, SC_MOUSEMENU | HTSYSMENU,
                 MAKELPARAM(outer.left + 8, outer.top + 8));
    bool opened = false;
    for (int i = 0; i < 100 && !opened; ++i) {
        Sleep(20);
        opened = inMenu();
    }
    EXPECT_TRUE(opened);
    PostMessageW(run.window, WM_CANCELMODE, 0, 0);
    PostMessageW(run.window, WM_KEYDOWN, VK_ESCAPE, 0);
    run.Close();
}

}  // namespace
}  // namespace vandrel::testing

namespace vandrel::testing {
namespace {

// Points the shell's handler for a URL scheme at url_recorder.exe for the life of the object,
// then puts the earlier handler back.
class SchemeHandler {
public:
    SchemeHandler(const std::wstring& scheme, const std::wstring& recorder)
        : key_(L"Software\\Classes\\" + scheme + L"\\shell\\open\\command") {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            wchar_t value[1024] = {};
            DWORD size = sizeof(value);
            if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                 &size) == ERROR_SUCCESS) {
                earlier_ = value;
                hadEarlier_ = true;
            }
            RegCloseKey(key);
        }
        Set(L"\"" + recorder + L"\" \"%1\"");
    }
    ~SchemeHandler() {
        if (hadEarlier_) {
            Set(earlier_);
        } else {
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr);
        }
    }

private:
    void Set(const std::wstring& command) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    std::wstring key_;
    std::wstring earlier_;
    bool hadEarlier_ = false;
};

std::string ReadText(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
}

TEST(WebViewHost, OnlyWebAndMailAddressesReachTheShell) {
    RunningApp run(R"({"name":"shell"})");
    CopyFileW((TestBinaryFolder() + L"url_recorder.exe").c_str(),
              run.app.PathOf(L"url_recorder.exe").c_str(), FALSE);
    const std::wstring recorder = run.app.PathOf(L"url_recorder.exe");
    SchemeHandler https(L"https", recorder);
    SchemeHandler file(L"file", recorder);
    SchemeHandler settings(L"ms-settings", recorder);

    run.Play({{"cmd", "new-window"}, {"uri", "file:///C:/windows/notepad.exe"}});
    run.Play({{"cmd", "new-window"}, {"uri", "ms-settings:privacy"}});
    run.Play({{"cmd", "new-window"}, {"uri", "https://example.com/news?id=7"}});
    // The shell starts the handler asynchronously: wait for its record.
    std::string opened;
    for (int i = 0; i < 250 && opened.empty(); ++i) {
        Sleep(20);
        opened = ReadText(run.app.PathOf(L"opened-addresses.log"));
    }
    Sleep(300);  // room for a wrongly started second handler to show up
    opened = ReadText(run.app.PathOf(L"opened-addresses.log"));
    EXPECT_NE(opened.find("https://example.com/news?id=7"), std::string::npos) << opened;
    EXPECT_EQ(opened.find("file:"), std::string::npos) << opened;
    EXPECT_EQ(opened.find("ms-settings"), std::string::npos) << opened;
    run.Close();
}

}  // namespace
}  // namespace vandrel::testing

namespace vandrel::testing {
namespace {

TEST(WebViewHost, ThePageSwitchesFullScreenWithOnlyTrueAndFalse) {
    RunningApp run(R"({"name":"fs-messages"})");
    run.Play({{"cmd", "dom-content-loaded"}});
    const RECT before = WindowRect(run.window);
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
    const RECT full = WindowRect(run.window);
    EXPECT_EQ(full.right - full.left, GetSystemMetrics(SM_CXSCREEN));
    // Anything but the literal true means false: the window comes back.
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", 1}});
    EXPECT_TRUE(SameRect(WindowRect(run.window), before));
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
    run.Message({{"type", "set-fullscreen"}});
    EXPECT_TRUE(SameRect(WindowRect(run.window), before));
    // A type differing only in letter case does nothing.
    run.Message({{"type", "Set-Fullscreen"}, {"fullscreen", true}});
    EXPECT_TRUE(SameRect(WindowRect(run.window), before));
    run.Close();
}

}  // namespace
}  // namespace vandrel::testing
