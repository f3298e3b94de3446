// Every command reads its command line alike: help, both option forms, "--", and mistakes said
// in one line with exit code 2.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

const std::vector<std::string> kCommands = {"check", "build",  "serve",  "pack",
                                            "list",  "verify", "extract"};

TEST(ToolArguments, EveryCommandHasItsOwnHelp) {
    for (const std::string& command : kCommands) {
        for (const char* flag : {"--help", "-h"}) {
            const ToolRun run = Tool({command, flag});
            EXPECT_EQ(run.code, 0) << command;
            EXPECT_TRUE(Contains(run.out, "Usage: vandrel " + command)) << run.out;
            EXPECT_TRUE(Contains(run.out, "-h,--help")) << run.out;
            EXPECT_EQ(run.err, "") << command;
        }
    }
    EXPECT_TRUE(Contains(Tool({"--help"}).out, "'vandrel COMMAND --help'"));
}

TEST(ToolArguments, MistakesAreOneLineWithExitCodeTwo) {
    const std::string tail = " (run 'vandrel --help' for usage)\n";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"check", "--bogus"}, "unknown option '--bogus'"},
        {{"build", "app", "-o", "out", "--zip=1", "--frob"}, "unknown option '--frob'"},
        {{"build", "app", "-o"}, "option --output needs a value"},
        {{"build", "app"}, "build takes one app folder and an output folder"},
        {{"check", "a", "b"}, "check takes one app folder"},
        {{"build", "a", "-o", "b", "--sign", "c.pfx", "--sign-command", "x {file}"},
         "--sign and --sign-command do not go together"},
        {{"build", "a", "-o", "b", "--timestamp", "http://ts"}, "--timestamp goes with --sign"},
        {{"build", "a", "-o", "b", "--sign-command=signtool sign"},
         "--sign-command needs {file}"},
        {{"serve", "--port=70000"}, "--port takes a number from 0 to 65535, not '70000'"},
        {{"serve", "--port", "x1"}, "--port takes a number from 0 to 65535, not 'x1'"},
        {{"serve", "--port"}, "option --port needs a value"},
        {{"serve", "--bind=0.0.0.0"}, "serve listens on 127.0.0.1 only"},
        {{"serve", "a", "b"}, "serve takes one app folder"},
        {{"pack", "dir"}, "pack takes one folder and an output file"},
        {{"list", "--json", "x"}, "unknown option '--json'"},
        {{"extract", "x"}, "extract takes a bundle file and a folder"},
        {{"verify", "x", "y"}, "verify takes one bundle file"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.args);
        EXPECT_EQ(run.code, 2) << c.args[0] << ' ' << c.args[1];
        EXPECT_TRUE(run.err.starts_with("vandrel: " + c.message)) << run.err;
        EXPECT_TRUE(run.err.ends_with(tail)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(ToolArguments, BothOptionFormsAndNamesAfterTheDoubleDash) {
    ScratchFolder scratch;
    MakeTree(scratch / "-www", {{"index.html", "hi"}});
    // A folder whose name starts with '-' is named after "--", relative to the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.Path());
    for (const std::vector<std::string>& output :
         std::vector<std::vector<std::string>>{{"-o", U8(scratch / "a.dat")},
                                               {"--output", U8(scratch / "a.dat")},
                                               {"--output=" + U8(scratch / "a.dat")}}) {
        std::vector<std::string> args = {"pack"};
        args.insert(args.end(), output.begin(), output.end());
        args.push_back("--");
        args.push_back("-www");
        fs::remove(scratch / "a.dat");
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(PackedNames(scratch / "a.dat"), "index.html\n") << output[0];
    }
    fs::current_path(previous);
}

}  // namespace
}  // namespace vandrel::tool
