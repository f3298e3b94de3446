// The player log through the real host and the stand-in runtime: what a run records, the
// failures a player meets, the page's own errors from the DevTools protocol, and the log's
// bounds and switches.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

std::vector<std::string> Lines(const UserData& data, const wchar_t* file = L"vandrel.log") {
    std::vector<std::string> lines;
    std::istringstream text(data.Read(file).value_or(""));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The first line with `text`, after the time stamp; empty when there is none.
std::string Find(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos) {
            return line.substr(25);  // "2026-12-09T09:48:28.123Z "
        }
    }
    return {};
}

std::string Package(const UserData& data, const std::string& more = "") {
    return R"({"name":")" + data.Name() + R"(")" + more + "}";
}

TEST(PlayerLog, ARunRecordsWhereItRanWhatItFoundAndHowItEnded) {
    const UserData data("log-run");
    RunningHost run(Package(data), {{"controllerResult", "0x80004005"}}, false);
    // The control cannot be made: the player is told, and so is the log.
    EXPECT_TRUE(run.host->DismissMessageBox().has_value());
    EXPECT_EQ(run.host->WaitForExit(), 1u);
    const auto lines = Lines(data);
    ASSERT_GE(lines.size(), 4u) << data.Read(L"vandrel.log").value_or("(no log)");
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z info host run of Vandrel \d+\.\d+\.\d+ on Windows \d+\.\d+\.\d+ from .*\\: content mode bundle, distribution mode evergreen)")))
        << lines[0];
    EXPECT_EQ(Find(lines, "runtime 134"), "info runtime runtime 134.0.3124.44, installed");
    EXPECT_EQ(Find(lines, "told the player"),
              "error host told the player: The app's browser view could not be started (Microsoft "
              "Edge WebView2 error 0x80004005). Restart the app to try again; if this keeps "
              "happening, reinstall the Microsoft Edge WebView2 runtime.");
    EXPECT_EQ(lines.back().substr(25), "error host run ended with exit code 1");
}

TEST(PlayerLog, AMissingRuntimeIsRecordedWithTheMessageThePlayerSaw) {
    const UserData data("log-fixed");
    AppFolder app;
    app.Write(L"package.json", Package(data, R"(,"settings":{"distribution-mode":"fixed"})"));
    app.MakeFolder(L"www");
    HostProcess host(app);
    EXPECT_TRUE(host.DismissMessageBox().has_value());
    EXPECT_EQ(host.WaitForExit(), 1u);
    const auto lines = Lines(data);
    EXPECT_EQ(Find(lines, "fixed runtime"),
              "error runtime no usable fixed runtime in the webview2 folder");
    EXPECT_NE(Find(lines, "told the player: This app is set to \"fixed\" distribution mode"), "");
}

TEST(PlayerLog, FailuresOfTheRuntimeAndThePagesErrorsAreRecorded) {
    const UserData data("log-page");
    RunningHost run(Package(data));
    // The page's errors arrive once the host has turned the protocol's Runtime domain on.
    ASSERT_TRUE(run.app.WaitForCall([](const json& e) {
        return e.value("call", "") == "CallDevToolsProtocolMethod" && e["method"] == "Runtime.enable";
    }));
    run.Play({{"cmd", "dom-content-loaded"}});
    run.Play({{"cmd", "devtools-event"},
              {"event", "Runtime.exceptionThrown"},
              {"params",
               {{"timestamp", 1},
                {"exceptionDetails",
                 {{"exceptionId", 1},
                  {"text", "Uncaught"},
                  {"lineNumber", 9},
                  {"columnNumber", 2},
                  {"url", "https://vandrel.localhost/game.js"},
                  {"exception",
                   {{"type", "object"}, {"subtype", "error"}, {"description", "Error: boom"}}}}}}}});
    run.Play({{"cmd", "devtools-event"},
              {"event", "Runtime.consoleAPICalled"},
              {"params",
               {{"type", "error"},
                {"args", {{{"type", "string"}, {"value", "save failed"}}}},
                {"executionContextId", 1},
                {"timestamp", 1}}}});
    run.Message({{"type", "log"}, {"level", "warn"}, {"message", "low on memory"}});
    run.Play({{"cmd", "navigation-completed"}, {"isSuccess", false}, {"webErrorStatus", 6}});
    run.Play({{"cmd", "process-failed"}, {"kind", 6}, {"exitCode", 5}});
    // The browser process goes with the page's window, which had the focus: the main window
    // gets it back and asks the old control for it before the host has heard. That call fails,
    // and the log names it.
    SetForegroundWindow(run.window);
    ASSERT_TRUE(WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(run.window, nullptr), &info);
        return info.hwndFocus != nullptr && info.hwndFocus != run.window;
    }));
    run.Play({{"cmd", "process-failed"}, {"kind", 0}});
    ASSERT_TRUE(WaitUntil([&] { return run.Calls("Navigate").size() == 2; }));
    run.Close();
    const auto lines = Lines(data);
    EXPECT_EQ(Find(lines, "uncaught"),
              "error page uncaught Error: boom (at https://vandrel.localhost/game.js:10)");
    EXPECT_EQ(Find(lines, "console.error"), "error page console.error: save failed");
    EXPECT_EQ(Find(lines, "low on memory"), "warn page low on memory");
    EXPECT_EQ(Find(lines, "navigation"),
              "error runtime navigation to https://vandrel.localhost/index.html failed: "
              "SERVER_UNREACHABLE");
    EXPECT_EQ(Find(lines, "GPU_PROCESS_EXITED"),
              "warn runtime GPU_PROCESS_EXITED (exit code 5, reason CRASHED): left to the runtime");
    EXPECT_EQ(Find(lines, "BROWSER_PROCESS_EXITED"),
              "error runtime BROWSER_PROCESS_EXITED (exit code 1, reason UNEXPECTED): the browser "
              "control is made again");
    // A call the runtime refused, named with its code.
    EXPECT_EQ(Find(lines, "MoveFocus"),
              "warn runtime ICoreWebView2Controller::MoveFocus failed (0x8007139F)");
    EXPECT_EQ(lines.back().substr(25), "info host run ended with exit code 0");
}

TEST(PlayerLog, APageThatFloodsTheLogStaysWithinItsBudget) {
    const UserData data("log-flood");
    RunningHost run(Package(data));
    run.Play({{"cmd", "dom-content-loaded"}});
    for (int i = 0; i < 150; ++i) {
        run.app.Play({{"cmd", "web-message"},
                      {"source", std::string(kAppOrigin) + "index.html"},
                      {"string", json{{"type", "log"}, {"level", "error"}, {"message", std::string(10000, 'x')}}.dump()}});
    }
    run.Play({{"cmd", "sleep"}, {"ms", 1}});
    run.Close();
    const auto lines = Lines(data);
    size_t page = 0;
    for (const std::string& line : lines) {
        if (line.compare(25, 11, "error page ") == 0) {
            ++page;
            EXPECT_LE(line.size(), 25 + 11 + 4096 + 3u);  // cut at 4 KiB
        }
    }
    EXPECT_EQ(page, 60u);
}

TEST(PlayerLog, TheLogIsRotatedAtItsBoundAndFollowsItsSwitch) {
    const UserData data("log-rotate");
    const std::string old(1024 * 1024 - 10, 'o');
    data.Write(L"vandrel.log", old);
    {
        RunningHost run(Package(data));
        run.Close();
    }
    EXPECT_EQ(data.Read(L"vandrel.log.1"), old);
    const auto lines = Lines(data);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("run of Vandrel"), std::string::npos);

    // "errors": the runtime's refusals and worse, no information.
    {
        RunningHost run(Package(data, R"(,"settings":{"log":"errors"})"),
                        {{"withhold", {"ICoreWebView2_23"}}});
        run.Play({{"cmd", "navigation-completed"}, {"isSuccess", false}, {"webErrorStatus", 13}});
        run.Close();
    }
    const auto errors = Lines(data);
    ASSERT_GT(errors.size(), lines.size());
    for (size_t i = lines.size(); i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].find(" info "), std::string::npos) << errors[i];
    }
    EXPECT_NE(Find(errors, "HOST_NAME_NOT_RESOLVED"), "");

    // "off": nothing at all.
    {
        RunningHost run(Package(data, R"(,"settings":{"log":"off"})"));
        run.Close();
    }
    EXPECT_EQ(Lines(data).size(), errors.size());
}

TEST(PlayerLog, ALogThatCannotBeWrittenChangesNothing) {
    const UserData data("log-blocked");
    // A file where the folder should be: neither the folder nor the log can be made.
    const std::wstring folder = data.PathOf(L"");
    HANDLE blocker = CreateFileW(folder.substr(0, folder.size() - 1).c_str(), GENERIC_WRITE, 0,
                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(blocker);
    RunningHost run(Package(data));
    run.Play({{"cmd", "dom-content-loaded"}});
    EXPECT_TRUE(IsWindowVisible(run.window));
    EXPECT_FALSE(run.host->WaitForMessageBox(300).has_value());
    run.Close();
    EXPECT_FALSE(data.Read(L"vandrel.log").has_value());
}

}  // namespace
}  // namespace vandrel::testing
