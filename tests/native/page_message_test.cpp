#include "portable/bridge/page_message.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using K = PageCommandKind;

struct MessageCase {
    std::string text;
    PageCommandKind kind;
    bool fullscreen = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
};

void Expect(const MessageCase& c) {
    SCOPED_TRACE(c.text);
    const PageCommand command = ParsePageMessage(c.text);
    EXPECT_EQ(command.kind, c.kind);
    EXPECT_EQ(command.fullscreen, c.fullscreen);
    EXPECT_EQ(command.width, c.width);
    EXPECT_EQ(command.height, c.height);
    EXPECT_EQ(command.x, c.x);
    EXPECT_EQ(command.y, c.y);
}

TEST(PageMessage, EachTypeWithGoodMissingAndWrongTypedMembers) {
    const MessageCase cases[] = {
        {R"({"type":"wrapper-init"})", K::WrapperInit},
        {R"({"type":"wrapper-init","extra":[1,2]})", K::WrapperInit},
        {R"({"type":"set-fullscreen","fullscreen":true})", K::SetFullScreen, true},
        {R"({"type":"set-fullscreen","fullscreen":false})", K::SetFullScreen, false},
        {R"({"type":"set-fullscreen"})", K::SetFullScreen, false},
        {R"({"type":"set-fullscreen","fullscreen":1})", K::SetFullScreen, false},
        {R"({"type":"set-fullscreen","fullscreen":"true"})", K::SetFullScreen, false},
        {R"({"type":"set-window-size","windowWidth":800,"windowHeight":600})", K::SetWindowSize,
         false, 800, 600},
        {R"({"type":"set-window-size","windowWidth":800})", K::SetWindowSize, false, 800, 0},
        {R"({"type":"set-window-size","windowWidth":"800","windowHeight":600})", K::SetWindowSize,
         false, 0, 600},
        {R"({"type":"set-window-size","windowWidth":800.9,"windowHeight":-2.5})",
         K::SetWindowSize, false, 800, -2},
        {R"({"type":"set-window-size","windowWidth":4294967297,"windowHeight":null})",
         K::SetWindowSize, false, 1, 0},
        {R"({"type":"set-window-position","windowX":10.9,"windowY":-5})", K::SetWindowPosition,
         false, 0, 0, 10, -5},
        {R"({"type":"set-window-position"})", K::SetWindowPosition},
        {R"({"type":"set-window-position","windowX":true,"windowY":[1]})", K::SetWindowPosition},
        {R"({"type":"extension-message","payload":{"a":1}})", K::ExtensionMessage},
    };
    for (const MessageCase& c : cases) {
        Expect(c);
    }
}

TEST(PageMessage, WindowStateAndAlwaysOnTopTakeOnlyTheirListedValues) {
    using S = WindowShowState;
    const struct {
        const char* text;
        K kind;
        S state;
        bool onTop;
    } cases[] = {
        {R"({"type":"set-window-state","state":"minimized"})", K::SetWindowState, S::Minimized},
        {R"({"type":"set-window-state","state":"maximized"})", K::SetWindowState, S::Maximized},
        {R"({"type":"set-window-state","state":"normal"})", K::SetWindowState, S::Normal},
        {R"({"type":"set-window-state","state":"Maximized"})", K::None},
        {R"({"type":"set-window-state","state":"fullscreen"})", K::None},
        {R"({"type":"set-window-state","state":1})", K::None},
        {R"({"type":"set-window-state"})", K::None},
        {R"({"type":"set-always-on-top","onTop":true})", K::SetAlwaysOnTop, S::Normal, true},
        {R"({"type":"set-always-on-top","onTop":false})", K::SetAlwaysOnTop, S::Normal, false},
        {R"({"type":"set-always-on-top","onTop":"true"})", K::None},
        {R"({"type":"set-always-on-top"})", K::None},
        {R"({"type":"get-window-state"})", K::GetWindowState},
        {R"({"type":"get-window-state","extra":1})", K::GetWindowState},
    };
    for (const auto& c : cases) {
        const PageCommand command = ParsePageMessage(c.text);
        EXPECT_EQ(command.kind, c.kind) << c.text;
        EXPECT_EQ(command.state, c.state) << c.text;
        EXPECT_EQ(command.onTop, c.onTop) << c.text;
    }
    WindowStateReport report;
    report.maximized = true;
    report.scale = 1.5;
    report.width = 800;
    report.height = 600;
    report.x = -8;
    report.y = 20;
    EXPECT_EQ(WindowStateMessage(report),
              R"({"alwaysOnTop":false,"fullscreen":false,"height":600,"maximized":true,)"
              R"("minimized":false,"scale":1.5,"type":"window-state","width":800,"x":-8,"y":20})");
}

TEST(PageMessage, LogEntriesNeedALevelAndAText) {
    const struct {
        const char* text;
        K kind;
        LogLevel level;
        const char* message;
    } cases[] = {
        {R"({"type":"log","level":"warn","message":"low memory"})", K::Log, LogLevel::Warn,
         "low memory"},
        {R"({"type":"log","level":"error","message":""})", K::Log, LogLevel::Error, ""},
        {R"({"type":"log","level":"debug","message":"x"})", K::None, LogLevel::Info, ""},
        {R"({"type":"log","level":"info","message":5})", K::None, LogLevel::Info, ""},
        {R"({"type":"log","message":"x"})", K::None, LogLevel::Info, ""},
    };
    for (const auto& c : cases) {
        const PageCommand command = ParsePageMessage(c.text);
        EXPECT_EQ(command.kind, c.kind) << c.text;
        EXPECT_EQ(command.level, c.level) << c.text;
        EXPECT_EQ(command.message, c.message) << c.text;
    }
}

TEST(PageMessage, AnythingMalformedOrUnlistedIsDropped) {
    const char* texts[] = {
        R"({"type":"Wrapper-Init"})",  // letter case matters
        R"({"type":"SET-FULLSCREEN","fullscreen":true})",
        R"({"type":"wrapper-init "})",
        R"({"type":"unknown"})",
        R"({"type":5})",
        R"({"kind":"wrapper-init"})",
        R"({"type":"wrapper-init",})",  // trailing comma
        R"({"type":"wrapper-init"} // comment)",
        R"(/* c */ {"type":"wrapper-init"})",
        R"({"type":"wrapper-init"} {"type":"wrapper-init"})",  // a second value
        R"(["wrapper-init"])",
        R"("wrapper-init")",
        "42",
        "null",
        "",
        "   ",
        "{",
    };
    for (const char* text : texts) {
        Expect({text, K::None});
    }
}

TEST(PageMessage, TextEndsAtItsFirstNulByte) {
    Expect({std::string("{\"type\":\"wrapper-init\"}\0garbage", 31), K::WrapperInit});
    Expect({std::string("{\"type\":\"wrap\0per-init\"}", 24), K::None});
}

TEST(PageMessage, RepliesAreCompactWithMembersInByteOrder) {
    EXPECT_EQ(DirectoryHandlesMessage(), R"({"type":"directory-handles"})");
    EXPECT_EQ(FullScreenChangedMessage(true), R"({"fullscreen":true,"type":"fullscreen-changed"})");
    EXPECT_EQ(FullScreenChangedMessage(false),
              R"({"fullscreen":false,"type":"fullscreen-changed"})");
    EXPECT_EQ(WrapperInitReply({}), R"({"registeredComponentIds":[],"type":"wrapper-init-response"})");
    EXPECT_EQ(WrapperInitReply({"a", "b", "a", ""}),
              R"({"registeredComponentIds":["a","b","a",""],"type":"wrapper-init-response"})");
    // Standard escapes; non-ASCII text stays UTF-8.
    EXPECT_EQ(WrapperInitReply({"q\"b\\s\n\x01", "caf\xC3\xA9"}),
              "{\"registeredComponentIds\":[\"q\\\"b\\\\s\\n\\u0001\",\"caf\xC3\xA9\"],"
              "\"type\":\"wrapper-init-response\"}");
}

TEST(PageMessage, MalformedComponentIdsAreRepairedNotFatal) {
    EXPECT_EQ(WrapperInitReply({"ok", "bad\xFF", "x\xC3"}),
              "{\"registeredComponentIds\":[\"ok\",\"bad\xEF\xBF\xBD\",\"x\xEF\xBF\xBD\"],"
              "\"type\":\"wrapper-init-response\"}");
}

}  // namespace
}  // namespace vandrel
