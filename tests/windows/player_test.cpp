// What players do to the window and what the browser's processes do to the page, through the real
// host with the stand-in runtime: switching away and back, minimising, F11 and Alt+Enter, crashed
// and hung processes, and the colour before the first frame. Window messages are sent for real;
// the page's own child window is the stand-in's, as the runtime's would be.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

constexpr wchar_t kPageViewClass[] = L"VandrelStandInView";
constexpr char kCrashedText[] =
    "This app stopped working and has to close. Start it again to go on; if this keeps "
    "happening, tell the app's maker.";

// The window with the keyboard focus in `window`'s thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

HWND PageView(HWND window) {
    return FindWindowExW(window, nullptr, kPageViewClass, nullptr);
}

size_t Count(const RunningHost& run, const char* call) {
    return run.Calls(call).size();
}

bool FullScreen(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == 0;
}

// The page messages the host posted, as JSON texts.
std::vector<std::string> Posted(const RunningHost& run) {
    std::vector<std::string> posted;
    for (const json& e : run.Calls("PostWebMessageAsJson")) {
        posted.push_back(e["json"]);
    }
    return posted;
}

// The key messages the page's window has reported to the host so far.
size_t KeysSeen(const RunningHost& run) {
    size_t seen = 0;
    for (const json& e : run.app.RuntimeCalls()) {
        seen += e.value("event", "") == "key" && e.value("fromWindow", false);
    }
    return seen;
}

// Posts a key message to the page's window as the keyboard would, and waits until the runtime
// has reported it.
void Key(RunningHost& run, UINT message, UINT key, bool repeat = false) {
    const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
    const bool alt = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    const LPARAM lParam = 1 | (MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16) | (alt ? 1u << 29 : 0) |
                          (repeat || up ? 1u << 30 : 0) | (up ? 1u << 31 : 0);
    const size_t before = KeysSeen(run);
    PostMessageW(PageView(run.window), message, key, lParam);
    EXPECT_TRUE(WaitUntil([&] { return KeysSeen(run) > before || !IsWindow(run.window); }));
}

// A window of the test's own, to switch to as Alt+Tab would.
class OtherWindow {
public:
    OtherWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  200, 100, nullptr, nullptr, nullptr, nullptr)) {}
    ~OtherWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

// Focused on the page from the start, and again after switching away and back and after each
// full-screen switch: once each time, not in a loop with the control's own focus.
TEST(Player, ThePageGetsTheKeysBackAfterSwitchingAwayAndAfterFullScreen) {
    RunningHost run(R"({"name":"focus"})");
    run.Play({{"cmd", "dom-content-loaded"}});
    const HWND view = PageView(run.window);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(run.window) == view; }));

    const OtherWindow other;
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Handle(); }));
    const size_t before = Count(run, "MoveFocus");
    SetForegroundWindow(run.window);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(run.window) == view; }));
    Sleep(300);
    EXPECT_EQ(Count(run, "MoveFocus"), before + 1);

    for (const bool on : {true, false}) {
        run.Message({{"type", "set-fullscreen"}, {"fullscreen", on}});
        EXPECT_EQ(FullScreen(run.window), on);
        EXPECT_EQ(FocusOf(run.window), view);
    }
    EXPECT_EQ(Count(run, "MoveFocus"), before + 3);
    run.Close();
}

TEST(Player, AMinimisedPageRestsUnlessTheAppKeepsItRunning) {
    for (const bool pause : {true, false}) {
        SCOPED_TRACE(pause);
        RunningHost run(std::string(R"({"name":"rest","window":{"pause-when-minimized":)") +
                        (pause ? "true" : "false") + "}}");
        run.Play({{"cmd", "dom-content-loaded"}});
        const HWND view = PageView(run.window);
        const auto lastVisible = [&] { return run.Calls("put_IsVisible").back()["value"]; };
        const size_t shown = Count(run, "put_IsVisible");

        ShowWindow(run.window, SW_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(run.window) != FALSE; }));
        if (pause) {
            EXPECT_TRUE(WaitUntil([&] { return lastVisible() == false; }));
            EXPECT_FALSE(IsWindowVisible(view));
        } else {
            Sleep(300);
            EXPECT_EQ(Count(run, "put_IsVisible"), shown);
            EXPECT_TRUE(IsWindowVisible(view));
        }

        ShowWindow(run.window, SW_RESTORE);
        ASSERT_TRUE(WaitUntil([&] { return !IsIconic(run.window); }));
        EXPECT_TRUE(WaitUntil([&] { return lastVisible() == true; }));
        EXPECT_EQ(Count(run, "put_IsVisible"), pause ? shown + 2 : shown);
        EXPECT_TRUE(IsWindowVisible(view));
        RECT client{};
        GetClientRect(run.window, &client);
        EXPECT_TRUE(WaitUntil([&] { return run.Calls("put_Bounds").back()["right"] == client.right; }));
        run.Close();
    }
}

TEST(Player, F11AndAltEnterSwitchFullScreenAndThePageHearsOfEveryChange) {
    RunningHost run(R"({"name":"keys"})");
    run.Play({{"cmd", "dom-content-loaded"}});
    const std::string on = R"({"fullscreen":true,"type":"fullscreen-changed"})";
    const std::string off = R"({"fullscreen":false,"type":"fullscreen-changed"})";

    Key(run, WM_KEYDOWN, VK_F11);
    EXPECT_TRUE(FullScreen(run.window));
    Key(run, WM_KEYDOWN, VK_F11, true);  // held: the repeats switch nothing
    Key(run, WM_KEYUP, VK_F11);
    EXPECT_TRUE(FullScreen(run.window));
    Key(run, WM_SYSKEYDOWN, VK_RETURN);
    Key(run, WM_SYSKEYUP, VK_RETURN);
    EXPECT_FALSE(FullScreen(run.window));
    // The page's own switches, and its elements' full screen, are told alike; asking for the
    // state it is in tells nothing.
    run.Message({{"type", "set-fullscreen"}, {"fullscreen", true}});
    run.Play({{"cmd", "fullscreen"}, {"on", true}});
    run.Play({{"cmd", "fullscreen"}, {"on", false}});
    EXPECT_EQ(Posted(run), (std::vector<std::string>{on, off, on, off}));

    // Alt alone opens no menu, and Alt+F4 still closes the window.
    Key(run, WM_SYSKEYDOWN, VK_MENU);
    Key(run, WM_SYSKEYUP, VK_MENU);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(run.window, nullptr), &info);
    EXPECT_EQ(info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE), 0u);
    Key(run, WM_SYSKEYDOWN, VK_F4);
    EXPECT_EQ(run.host->WaitForExit(), 0u);
}

TEST(Player, WithoutFullScreenKeysF11IsThePages) {
    RunningHost run(R"({"name":"nokeys","window":{"fullscreen-keys":false}})");
    run.Play({{"cmd", "dom-content-loaded"}});
    Key(run, WM_KEYDOWN, VK_F11);
    Key(run, WM_SYSKEYDOWN, VK_RETURN);
    EXPECT_FALSE(FullScreen(run.window));
    EXPECT_TRUE(Posted(run).empty());
    run.Close();
}

// A render process that crashes is reloaded, three times within a minute; the fourth time the
// player is told and the app ends with exit code 1. Helper processes are the runtime's business.
TEST(Player, ACrashedPageIsReloadedThreeTimesThenTheAppSaysSoAndEnds) {
    RunningHost run(R"({"name":"crash","window":{"title":"Crashy"}})");
    run.Play({{"cmd", "dom-content-loaded"}});
    for (const int kind : {3, 4, 5, 6, 9}) {  // frame, utility, sandbox helper, GPU, unknown
        run.Play({{"cmd", "process-failed"}, {"kind", kind}});
    }
    EXPECT_EQ(Count(run, "Reload"), 0u);
    for (size_t i = 1; i <= 3; ++i) {
        run.Play({{"cmd", "process-failed"}, {"kind", 1}});
        EXPECT_EQ(Count(run, "Reload"), i);
        run.Play({{"cmd", "dom-content-loaded"}});
    }
    run.Play({{"cmd", "process-failed"}, {"kind", 1}});
    const auto box = run.host->WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(*box, (MessageBoxSeen{L"Crashy", Wide(kCrashedText), MB_ICONERROR}));
    EXPECT_EQ(Count(run, "Reload"), 3u);
    run.host->PressOk();
    EXPECT_EQ(run.host->WaitForExit(), 1u);
}

// The runtime reports a hung page every few seconds; the player is asked once, after 30 seconds
// of it. Two apps at once: one player waits, the other reloads.
TEST(Player, AHungPageIsNotReloadedUntilThePlayerSaysSo) {
    const char* package =
        R"({"name":"hang","messages":{"page-unresponsive":"Still loading. Reload?"}})";
    RunningHost waits(package);
    RunningHost reloads(package);
    for (RunningHost* run : {&waits, &reloads}) {
        run->Play({{"cmd", "dom-content-loaded"}});
        for (int second = 0; second <= 35; second += 5) {
            run->app.Play({{"cmd", "process-failed"}, {"kind", 2}});
            run->app.Play({{"cmd", "sleep"}, {"ms", 5000}});
        }
    }
    Sleep(6000);  // a report or two: nothing happens yet
    EXPECT_FALSE(waits.host->WaitForMessageBox(100).has_value());
    for (RunningHost* run : {&waits, &reloads}) {
        const auto box = run->host->WaitForMessageBox(40000);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, L"Still loading. Reload?");
        EXPECT_EQ(box->icon, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(Count(*run, "Reload"), 0u);
    }
    waits.host->Press(IDNO);
    reloads.host->Press(IDYES);
    EXPECT_TRUE(WaitUntil([&] { return Count(reloads, "Reload") == 1; }));
    // The reports go on; the player who chose to wait is not asked again for this hang.
    EXPECT_FALSE(waits.host->WaitForMessageBox(7000).has_value());
    EXPECT_EQ(Count(waits, "Reload"), 0u);
    waits.Close();
    reloads.Close();
}

// A lost browser process: the control is made again on the same window, with the same settings,
// twice in a run; the third time the player is told and the app ends with exit code 1.
TEST(Player, ALostBrowserIsMadeAgainTwiceThenTheAppSaysSoAndEnds) {
    RunningHost run(R"({"name":"lost","main":"start.html","window":{"background-color":"#102030"}})");
    run.Play({{"cmd", "dom-content-loaded"}});
    for (size_t lost = 1; lost <= 2; ++lost) {
        run.Play({{"cmd", "process-failed"}, {"kind", 0}});
        const size_t told = run.app.RuntimeCalls().size();
        ASSERT_TRUE(WaitUntil([&] { return Count(run, "Navigate") == lost + 1; }));
        EXPECT_EQ(Count(run, "Close"), lost);
        EXPECT_EQ(Count(run, "CreateCoreWebView2EnvironmentWithOptions"), lost + 1);
        EXPECT_EQ(run.Calls("Navigate").back()["uri"], std::string(kAppOrigin) + "start.html");
        EXPECT_EQ(Count(run, "put_DefaultBackgroundColor"), lost + 1);
        EXPECT_EQ(Count(run, "add_WebMessageReceived"), lost + 1);
        // Once the host has heard, nothing reaches the old control. (Its window went first,
        // giving the focus back to the main window, which may have asked the old one for it.)
        const auto calls = run.app.RuntimeCalls();
        for (size_t i = told; i < calls.size(); ++i) {
            EXPECT_FALSE(calls[i].value("browserGone", false)) << calls[i].dump();
        }
        run.Play({{"cmd", "dom-content-loaded"}});
        EXPECT_EQ(FocusOf(run.window), PageView(run.window));
        // The window follows the new control.
        run.Message({{"type", "set-window-size"}, {"windowWidth", 700 + lost}, {"windowHeight", 500}});
        EXPECT_EQ(run.Calls("put_Bounds").back()["right"], 700 + lost);
    }
    run.Play({{"cmd", "process-failed"}, {"kind", 0}});
    const auto box = run.host->WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, Wide(kCrashedText));
    run.host->PressOk();
    EXPECT_EQ(run.host->WaitForExit(), 1u);
    EXPECT_EQ(Count(run, "CreateCoreWebView2EnvironmentWithOptions"), 3u);
}

// The colour on the screen at the middle of the window's client area, once it is on top.
COLORREF ClientColour(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window, &client);
    POINT middle{client.right / 2, client.bottom / 2};
    ClientToScreen(window, &middle);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, middle.x, middle.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The colour under the page until it paints: the window's background and the control's default
// background, set before the first navigation. Without a colour nothing changes.
TEST(Player, TheBackgroundColourIsSetBeforeTheFirstFrame) {
    struct Case {
        const char* window;
        json options;
        bool controlColour;
        COLORREF windowColour;
    };
    const COLORREF dark = RGB(0x10, 0x20, 0x30);
    const COLORREF usual = GetSysColor(COLOR_WINDOW);
    const Case cases[] = {
        {R"({"background-color":"#102030"})", json::object(), true, dark},
        {R"({"background-color":"#102030"})", {{"withhold", {"ICoreWebView2Controller2"}}}, false,
         dark},
        {R"({})", json::object(), false, usual},
        {R"({"background-color":"#12345"})", json::object(), false, usual},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        RunningHost run(std::string(R"({"name":"colour","window":)") + c.window + "}", c.options);
        const auto calls = run.Calls("put_DefaultBackgroundColor");
        ASSERT_EQ(calls.size(), c.controlColour ? 1u : 0u);
        if (c.controlColour) {
            EXPECT_EQ(calls[0]["value"], "#102030");
            EXPECT_EQ(calls[0]["alpha"], 255);
            EXPECT_EQ(calls[0]["taken"], true);
        }
        // The stand-in's page draws nothing: what shows is the window's own background.
        run.Play({{"cmd", "dom-content-loaded"}});
        COLORREF seen = CLR_INVALID;
        EXPECT_TRUE(WaitUntil([&] { return (seen = ClientColour(run.window)) == c.windowColour; }))
            << std::hex << seen;
        run.Close();
    }
}

}  // namespace
}  // namespace vandrel::testing
