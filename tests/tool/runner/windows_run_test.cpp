// `vandrel run` under Wine with the stand-in runtime: the app starts from its staging folder with
// the developer tools on, its start page is served, the player log reaches the terminal, and the
// host's exit code comes back; a second run reuses the folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "host_driver.h"
#include "runner/run.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;
using nlohmann::json;

// The host's window, once it has one: the window of the given title in any process.
HWND WaitForWindow(const std::wstring& title) {
    HWND found = nullptr;
    testing::WaitUntil(
        [&] {
            found = FindWindowW(L"WindowsWebview2Wrapper", title.c_str());
            return found != nullptr;
        },
        20000);
    return found;
}

struct RunResult {
    int code = -1;
    std::ostringstream out;
    std::ostringstream err;
};

TEST(ToolRun, StartsTheAppInTheHostAndGivesItsExitCode) {
    ScratchFolder scratch;
    const std::string name = "run-test-" + std::to_string(GetCurrentProcessId());
    const fs::path app = scratch / "game";
    WriteFile(app / "package.json",
              R"({"name":")" + name + R"(","window":{"title":")" + name + R"("}})");
    WriteFile(app / "www/index.html", "<p>run</p>");
    // The stand-in runtime plays an installed runtime when this file is beside the executable.
    const fs::path staging = RunStagingFolder(app);
    WriteFile(staging / "evergreen-runtime.txt", "");
    const std::vector<std::string> args = {
        "run",
        U8(app),
        "--host",
        VANDREL_HOST_PATH,
        "--loader",
        U8(fs::path(VANDREL_HOST_PATH).parent_path() / "testruntime" / "WebView2Loader.dll")};

    for (const int wanted : {0, 7}) {
        RunResult result;
        std::thread run([&] { result.code = RunTool(args, result.out, result.err); });
        const HWND window = WaitForWindow(testing::Wide(name));
        ASSERT_NE(window, nullptr) << result.err.str();
        const testing::AppFolder stage(staging.wstring() + L"\\");
        ASSERT_TRUE(
            stage.WaitForCall([](const json& e) { return e.value("call", "") == "Navigate"; }));
        const auto devtools = stage.RuntimeCalls("put_AreDevToolsEnabled");
        ASSERT_FALSE(devtools.empty());
        EXPECT_EQ(devtools.back()["value"], true);
        const auto entries = stage.PlayAndWait(
            {{"cmd", "request"}, {"uri", std::string(testing::kAppOrigin) + "index.html"}});
        ASSERT_TRUE(entries);
        std::string served;
        for (const json& e : *entries) {
            if (e.value("event", "") == "response") {
                served = std::to_string(e.value("status", 0));
            }
        }
        EXPECT_EQ(served, "200");
        if (wanted == 0) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        } else {
            DWORD id = 0;
            GetWindowThreadProcessId(window, &id);
            const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
            TerminateProcess(process, static_cast<UINT>(wanted));
            CloseHandle(process);
        }
        run.join();
        EXPECT_EQ(result.code, wanted) << result.out.str() << result.err.str();
        const std::string out = result.out.str();
        EXPECT_NE(out.find("with the developer tools on"), std::string::npos) << out;
        EXPECT_NE(out.find("the app ended with exit code " + std::to_string(wanted)),
                  std::string::npos)
            << out;
        // The player log's lines, one by one, as the host wrote them.
        EXPECT_NE(out.find("Z info host run of Vandrel"), std::string::npos) << out;
        EXPECT_NE(out.find("\n20"), std::string::npos) << out;
        // Never shipped: the staging folder lies beside the app folder, not in it.
        EXPECT_FALSE(fs::exists(app / (name + ".exe")));
        EXPECT_TRUE(fs::exists(staging / (name + ".exe")));
    }
}

}  // namespace
}  // namespace vandrel::tool
