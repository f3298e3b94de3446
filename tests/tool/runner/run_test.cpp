#include <gtest/gtest.h>

#include "cli/commands.h"
#include "runner/run.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

// The host is a Windows program: elsewhere `run` says what to use instead, and stages nothing.
TEST(ToolRun, OffWindowsPointsToServeWatch) {
    ScratchFolder scratch;
    MakeTree(scratch / "game", {{"package.json", R"({"name":"game"})"}, {"www/index.html", "x"}});
    const ToolRun run = Tool({"run", U8(scratch / "game")});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "'vandrel run' works on Windows")) << run.err;
    EXPECT_TRUE(Contains(run.err, "vandrel serve --watch " + U8(scratch / "game"))) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(RunStagingFolder(scratch / "game")));
    EXPECT_EQ(RunStagingFolder(scratch / "game/"), RunStagingFolder(scratch / "game"));
}

}  // namespace
}  // namespace vandrel::tool
