// The window options of package.json and the page's window messages, through the real host:
// full screen at start, size limits, placement, maximised and topmost windows, the remembered
// window of the last run, and a single instance. Everything is read back with Win32 calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

RECT Outer(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool FullScreen(HWND window) {
    const RECT r = Outer(window);
    return (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == 0 &&
           r.right - r.left == GetSystemMetrics(SM_CXSCREEN);
}

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

std::string Package(const std::string& name, const std::string& window,
                    const std::string& settings = "{}") {
    return R"({"name":")" + name + R"(","window":)" + window + R"(,"settings":)" + settings + "}";
}

TEST(WindowOptions, StartsInFullScreenAndLeavesItForTheConfiguredSize) {
    RunningHost run(Package("fs-start", R"({"fullscreen":true,"width":640,"height":480})"));
    // Switched while hidden: it never shows at another size first.
    EXPECT_FALSE(IsWindowVisible(run.window));
    EXPECT_TRUE(FullScreen(run.window));
    run.Play({{"cmd", "dom-content-loaded"}});
    EXPECT_TRUE(IsWindowVisible(run.window));
    EXPECT_TRUE(FullScreen(run.window));
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", false}});
    EXPECT_EQ(ClientSize(run.window).cx, 640);
    EXPECT_EQ(ClientSize(run.window).cy, 480);
    run.Close();
}

TEST(WindowOptions, TheClientAreaStaysWithinItsLimits) {
    RunningHost run(Package(
        "limits",
        R"({"width":1000,"height":100,"min-width":400,"min-height":300,"max-width":800,"max-height":600})"));
    EXPECT_EQ(ClientSize(run.window).cx, 800);  // the configured size, clamped
    EXPECT_EQ(ClientSize(run.window).cy, 300);
    run.Play({{"cmd", "dom-content-loaded"}});
    const struct {
        int width, height, clampedWidth, clampedHeight;
    } sizes[] = {{100, 100, 400, 300}, {2000, 2000, 800, 600}, {500, 450, 500, 450}};
    for (const auto& size : sizes) {
        run.Message({{"type", "set-window-size"},
                     {"windowWidth", size.width},
                     {"windowHeight", size.height}});
        EXPECT_EQ(ClientSize(run.window).cx, size.clampedWidth) << size.width;
        EXPECT_EQ(ClientSize(run.window).cy, size.clampedHeight) << size.height;
    }
    // Sized from outside, as by dragging its frame.
    SetWindowPos(run.window, nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ClientSize(run.window).cx, 400);
    EXPECT_EQ(ClientSize(run.window).cy, 300);
    ShowWindow(run.window, SW_MAXIMIZE);
    EXPECT_TRUE(WaitUntil([&] { return IsZoomed(run.window) != FALSE; }));
    EXPECT_LE(ClientSize(run.window).cx, 800);
    EXPECT_LE(ClientSize(run.window).cy, 600);
    ShowWindow(run.window, SW_RESTORE);
    // Full screen takes the whole monitor, whatever the maximum.
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
    EXPECT_TRUE(FullScreen(run.window));
    run.Close();

    // A minimum above its maximum: both are ignored.
    RunningHost crossed(Package("crossed", R"({"min-width":900,"max-width":800})"));
    crossed.Play({{"cmd", "dom-content-loaded"}});
    crossed.Message({{"type", "set-window-size"}, {"windowWidth", 300}, {"windowHeight", 200}});
    EXPECT_EQ(ClientSize(crossed.window).cx, 300);
    crossed.Close();
}

TEST(WindowOptions, CentredMaximisedAndTopmostWindows) {
    {
        RunningHost run(Package("centred", R"({"position":"center","width":640,"height":480})"));
        const RECT r = Outer(run.window);
        const RECT work = WorkArea();  // the cursor's monitor: the only one here
        EXPECT_NEAR((r.left + r.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((r.top + r.bottom) / 2, (work.top + work.bottom) / 2, 1);
        EXPECT_EQ(GetWindowLongW(run.window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        run.Close();
    }
    for (const bool resizable : {true, false}) {
        SCOPED_TRACE(resizable);
        RunningHost run(Package("maximised", std::string(R"({"maximized":true,"resizable":)") +
                                                 (resizable ? "true" : "false") + "}"));
        EXPECT_FALSE(IsWindowVisible(run.window));
        run.Play({{"cmd", "dom-content-loaded"}});
        EXPECT_EQ(IsZoomed(run.window) != FALSE, resizable);
        // Restored, it has the configured size.
        ShowWindow(run.window, SW_RESTORE);
        EXPECT_TRUE(WaitUntil([&] { return ClientSize(run.window).cx == 1024; }));
        run.Close();
    }
    RunningHost run(Package("topmost", R"({"always-on-top":true})"));
    const auto topmost = [&] { return (GetWindowLongW(run.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EXPECT_TRUE(topmost());
    run.Message({{"type", "set-always-on-top"}, {"onTop", false}});
    EXPECT_FALSE(topmost());
    run.Message({{"type", "set-always-on-top"}, {"onTop", "yes"}});  // dropped
    EXPECT_FALSE(topmost());
    run.Message({{"type", "set-always-on-top"}, {"onTop", true}});
    EXPECT_TRUE(topmost());
    run.Close();
}

TEST(WindowOptions, ThePageSetsAndReadsTheWindowState) {
    RunningHost run(Package("state", R"({"width":640,"height":480})"));
    run.Play({{"cmd", "dom-content-loaded"}});
    const auto lastState = [&] {
        const auto posted = run.Calls("PostWebMessageAsJson");
        return posted.empty() ? json() : json::parse(posted.back()["json"].get<std::string>());
    };
    run.Message({{"type", "get-window-state"}});
    const RECT outer = Outer(run.window);
    EXPECT_EQ(lastState(), (json{{"alwaysOnTop", false}, {"fullscreen", false}, {"height", 480},
                                 {"maximized", false}, {"minimized", false}, {"scale", 1.0},
                                 {"type", "window-state"}, {"width", 640}, {"x", outer.left},
                                 {"y", outer.top}}));

    run.Message({{"type", "set-window-state"}, {"state", "maximized"}});
    EXPECT_TRUE(WaitUntil([&] { return IsZoomed(run.window) != FALSE; }));
    run.Message({{"type", "set-window-state"}, {"state", "minimized"}});
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(run.window) != FALSE; }));
    run.Message({{"type", "get-window-state"}});
    EXPECT_EQ(lastState()["minimized"], true);
    run.Message({{"type", "set-window-state"}, {"state", "normal"}});
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(run.window) && !IsZoomed(run.window); }));
    // Ignored in full screen, and for states it does not know.
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
    run.Message({{"type", "set-window-state"}, {"state", "minimized"}});
    run.Message({{"type", "set-window-state"}, {"state", "hidden"}});
    Sleep(200);
    EXPECT_FALSE(IsIconic(run.window));
    EXPECT_TRUE(FullScreen(run.window));
    run.Message({{"type", "get-window-state"}});
    EXPECT_EQ(lastState()["fullscreen"], true);
    run.Close();
}

TEST(WindowOptions, TheNextRunOpensWhereThePlayerLeftIt) {
    const UserData remembered("remember");
    const std::string window = R"({"remember":true,"fullscreen":true})";
    {
        // The first run has nothing remembered: full screen, as configured. The player leaves it
        // in a window of their own.
        RunningHost run(Package(remembered.Name(), window));
        run.Play({{"cmd", "dom-content-loaded"}});
        EXPECT_TRUE(FullScreen(run.window));
        run.Message({{"type", "set-fullscreen"}, {"fullscreen", false}});
        SetWindowPos(run.window, nullptr, 130, 140, 700, 500, SWP_NOZORDER | SWP_NOACTIVATE);
        run.Close();
    }
    {
        // The remembered state wins over the configured full screen.
        RunningHost run(Package(remembered.Name(), window));
        const RECT r = Outer(run.window);
        EXPECT_EQ(r.left, 130);
        EXPECT_EQ(r.top, 140);
        EXPECT_EQ(r.right - r.left, 700);
        EXPECT_EQ(r.bottom - r.top, 500);
        EXPECT_FALSE(FullScreen(run.window));
        run.Close();
    }
    // A monitor unplugged since: the rectangle is moved onto the one there is.
    remembered.Write(L"window-state.json",
                     R"({"format":1,"fullscreen":false,"maximized":true,"normal":[5000,-3000,5700,-2500]})");
    {
        RunningHost run(Package(remembered.Name(), window));
        const RECT r = Outer(run.window);
        const RECT work = WorkArea();
        EXPECT_EQ(r.right, work.right);
        EXPECT_EQ(r.top, work.top);
        EXPECT_EQ(r.right - r.left, 700);
        run.Play({{"cmd", "dom-content-loaded"}});
        EXPECT_TRUE(IsZoomed(run.window));
        run.Close();
    }
    // A damaged file, or one of another format, is ignored: the configured full screen.
    for (const char* text : {"{\"format\":1,", R"({"format":9,"fullscreen":false,"maximized":false,"normal":[0,0,10,10]})"}) {
        remembered.Write(L"window-state.json", text);
        RunningHost run(Package(remembered.Name(), window));
        EXPECT_TRUE(FullScreen(run.window)) << text;
        run.Close();
    }
}

TEST(WindowOptions, ASecondStartBringsTheFirstWindowBack) {
    const std::string name = "single-" + std::to_string(GetCurrentProcessId());
    RunningHost first(Package(name, "{}", R"({"single-instance":true})"));
    first.Play({{"cmd", "dom-content-loaded"}});
    ShowWindow(first.window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(first.window) != FALSE; }));

    HostProcess second(first.app);
    EXPECT_EQ(second.WaitForExit(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(first.window); }));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first.window; }));
    EXPECT_EQ(first.Calls("CreateCoreWebView2EnvironmentWithOptions").size(), 1u);

    // Another app, and the same app without the setting, open windows of their own.
    RunningHost other(Package(name + "-other", "{}", R"({"single-instance":true})"));
    EXPECT_NE(other.window, nullptr);
    other.Close();
    first.Close();
}

}  // namespace
}  // namespace vandrel::testing
