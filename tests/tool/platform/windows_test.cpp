// The bundle tool's Windows build against links, junction-like folders and names that Windows
// folds together. Runs under Wine, which shows a Unix symbolic link to a Windows program as a
// reparse point (a link to a folder) or as the file it leads to (a link to a file): the links are
// made with the Unix ln, started from here, and the test hook swaps folders for links while a
// command runs.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "cli/commands.h"
#include "platform/file_io.h"
#include "serve/serve_content.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

// The Unix path of a Windows path, through Wine's kernel32.
std::string UnixPath(const fs::path& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) {
        ADD_FAILURE() << "not running under Wine";
        return {};
    }
    char* unix = toUnix(fs::absolute(path).wstring().c_str());
    std::string text = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

// Runs a Unix shell command and waits for it: Wine cannot wait on a Unix process, so the command
// ends by creating a marker file, which is awaited.
void Shell(const std::string& command) {
    static int counter = 0;
    const fs::path marker = fs::path(::testing::TempDir()) /
                            ("vandrel-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter));
    const std::string line = command + " && touch " + Quote(UnixPath(marker));
    std::wstring commandLine = L"/bin/sh -c \"" + PathFromUtf8(line).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    // Wine starts a Unix program without handles to it: hProcess stays null and hThread holds a
    // stale value that may by now name another of this process's handles (once, its standard
    // output), so only handles of a Windows process are closed.
    if (process.hProcess != nullptr) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (GetFileAttributesW(marker.wstring().c_str()) == INVALID_FILE_ATTRIBUTES) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "shell command: " << line;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    DeleteFileW(marker.wstring().c_str());
}

// A Unix symbolic link at `link` to `target`.
void Link(const fs::path& target, const fs::path& link) {
    Shell("ln -s " + Quote(UnixPath(target)) + " " + Quote(UnixPath(link)));
}

// A fresh folder for one test, removed at the end by the Unix rm, which neither follows links
// nor minds deep paths.
class Scratch {
public:
    Scratch() {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::path(::testing::TempDir()) /
                ("vandrel_tool_" + std::string(info->name()) + "_" +
                 std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter));
        fs::create_directories(path_);
    }
    ~Scratch() { Shell("rm -rf " + Quote(UnixPath(path_))); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& relative) const { return path_ / PathFromUtf8(relative); }

private:
    fs::path path_;
};

// Names under `root` as the Unix side sees them, links not followed.
std::string UnixNames(const Scratch& scratch, const fs::path& root) {
    const fs::path list = scratch / "names.txt";
    Shell("cd " + Quote(UnixPath(root)) + " && find . | sort > " + Quote(UnixPath(list)));
    return ReadFile(list);
}

TEST(ToolOnWindows, ExtractRefusesLinksInTheFolder) {
    const std::vector<std::vector<std::pair<std::string, std::string>>> bundles = {
        {{"link/f", "F"}, {"link/sub/g", "G"}},
        {{"link/n1/n2/f", "F"}},
        {{"a-first.txt", "A"}, {"link/x", "X"}},
    };
    for (const auto& files : bundles) {
        Scratch scratch;
        fs::create_directories(scratch / "out");
        fs::create_directories(scratch / "outside");
        Link(scratch / "outside", scratch / "out/link");
        WriteFile(scratch / "b.dat", EncodeFiles(files));
        const ToolRun run = Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")});
        EXPECT_EQ(run.code, 1) << files[0].first;
        EXPECT_TRUE(Contains(run.err, "is a link, junction or other reparse point and could lead "
                                      "outside"))
            << run.err;
        EXPECT_TRUE(Contains(run.err, "nothing was written")) << run.err;
        EXPECT_EQ(UnixNames(scratch, scratch / "outside"), ".\n");
        EXPECT_EQ(UnixNames(scratch, scratch / "out"), ".\n./link\n");
    }
}

TEST(ToolOnWindows, ExtractRaceCannotRedirectWrites) {
    // While d/a is written, d is moved away and a link to a folder outside takes its place.
    Scratch scratch;
    fs::create_directories(scratch / "outside");
    WriteFile(scratch / "b.dat",
              EncodeFiles({{"d/a", std::string(1 << 20, 'A')}, {"d/b", "B"}, {"d/c/e", "E"}}));
    ToolEnvironment environment;
    bool swapped = false;
    environment.testHook = [&](std::string_view point, const std::string& name) {
        if (point == "extract-writing" && name == "d/a" && !swapped) {
            swapped = true;
            ASSERT_TRUE(MoveFileW((scratch / "out/d").wstring().c_str(),
                                  (scratch / "out/d-moved").wstring().c_str()));
            Link(scratch / "outside", scratch / "out/d");
        }
    };
    const ToolRun run = Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")}, environment);
    EXPECT_TRUE(swapped);
    // Windows goes on writing into the moved folder; Wine, which renames by path, fails. Either
    // way nothing reaches the folder outside.
    EXPECT_TRUE(run.code == 0 || Contains(run.err, "vandrel: cannot write")) << run.err;
    EXPECT_EQ(UnixNames(scratch, scratch / "outside"), ".\n");
}

TEST(ToolOnWindows, PackFollowsLinksOnlyInsideTheFolder) {
    Scratch scratch;
    MakeTree(scratch / "app", {{"a.txt", "inside"}, {"sub/b.txt", "below"}});
    MakeTree(scratch / "secret", {{"s.txt", "secret"}});
    WriteFile(scratch / "secret.txt", "secret file");
    Link(scratch / "secret", scratch / "app/out_link");
    Link(scratch / "secret.txt", scratch / "app/out_file_link");
    Link(scratch / "app", scratch / "app/sub/loop");
    Link(scratch / "app/a.txt", scratch / "app/in_file_link");
    Link(scratch / "app/sub", scratch / "app/in_folder_link");
    const ToolRun pack = Tool({"pack", U8(scratch / "app"), "-o", U8(scratch / "app.dat")});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_EQ(PackedNames(scratch / "app.dat"),
              "a.txt\nin_file_link\nin_folder_link/b.txt\nsub/b.txt\n");
    for (const std::string name :
         {"'out_link': symbolic link to ", "'out_file_link': symbolic link to ",
          "'sub/loop': symbolic link to a folder that contains it",
          "'in_folder_link/loop': symbolic link to a folder that contains it"}) {
        EXPECT_TRUE(Contains(pack.err, "vandrel: warning: skipping " + name)) << name << pack.err;
    }
    EXPECT_FALSE(Contains(pack.out + PackedNames(scratch / "app.dat"), "secret"));
}

TEST(ToolOnWindows, PackRefusesAFileSwappedForALinkAfterTheScan) {
    Scratch scratch;
    MakeTree(scratch / "app", {{"a.txt", "a"}, {"small.txt", "s"}});
    WriteFile(scratch / "secret.txt", "secret");
    ToolEnvironment environment;
    environment.testHook = [&](std::string_view point, const std::string&) {
        if (point == "pack-scanned") {
            ASSERT_TRUE(DeleteFileW((scratch / "app/small.txt").wstring().c_str()));
            Link(scratch / "secret.txt", scratch / "app/small.txt");
        }
    };
    const ToolRun run =
        Tool({"pack", U8(scratch / "app"), "-o", U8(scratch / "app.dat")}, environment);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.err, "vandrel: refusing to pack 'small.txt': ")) << run.err;
    EXPECT_TRUE(Contains(run.err, "changed since the folder was read")) << run.err;
    EXPECT_FALSE(fs::exists(scratch / "app.dat"));
}

TEST(ToolOnWindows, NamesThatWindowsFoldsTogetherAreRefusedBeforeWriting) {
    const struct {
        std::vector<std::pair<std::string, std::string>> files;
        std::string message;
    } cases[] = {
        {{{"X", "1"}, {"x", "2"}}, "refusing to extract 'x': on Windows it names the same file as 'X'"},
        {{{"A", "1"}, {"a/b", "2"}}, "refusing to extract 'a/b': 'A' is a file in the bundle, not a folder"},
        {{{"d/\xC3\x89t\xC3\xA9", "1"}, {"d/\xC3\xA9t\xC3\xA9", "2"}},
         "refusing to extract 'd/\xC3\xA9t\xC3\xA9': on Windows it names the same file as "
         "'d/\xC3\x89t\xC3\xA9'"},
        {{{"CONIN$", "1"}}, "refusing to extract 'CONIN$': 'CONIN$' is a reserved device name"},
        {{{"a/conout$.txt", "1"}}, "'CONOUT$' is a reserved device name"},
    };
    for (const auto& c : cases) {
        Scratch scratch;
        WriteFile(scratch / "b.dat", EncodeFiles(c.files));
        const ToolRun run = Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_TRUE(Contains(run.err, "; nothing was written")) << run.err;
        EXPECT_FALSE(fs::exists(scratch / "out"));
    }
}

TEST(ToolOnWindows, PackLeavesOutAHardLinkToTheOutput) {
    Scratch scratch;
    MakeTree(scratch / "app", {{"index.html", "x"}});
    ASSERT_EQ(Tool({"pack", U8(scratch / "app"), "-o", U8(scratch / "out.dat")}).code, 0);
    ASSERT_TRUE(CreateHardLinkW((scratch / "app/previous.bin").wstring().c_str(),
                                (scratch / "out.dat").wstring().c_str(), nullptr));
    const ToolRun again = Tool({"pack", U8(scratch / "app"), "-o", U8(scratch / "out.dat")});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(PackedNames(scratch / "out.dat"), "index.html\n");
}

TEST(ToolOnWindows, LongNamesAndDeepTreesRoundTrip) {
    // Past MAX_PATH in depth, and a name as long as a Unix file system allows.
    Scratch scratch;
    std::string deep;
    for (int level = 0; level < 120; ++level) {
        deep += "dd/";
    }
    const std::string longest(240, 'n');
    const std::map<std::string, std::string> files = {
        {deep + "bottom.txt", "deep"}, {longest, "long"}, {"dd/" + longest, "long too"}};
    for (const auto& [name, content] : files) {
        fs::path path = fs::path(L"\\\\?\\" + fs::absolute(scratch / "app").wstring()) /
                        PathFromUtf8(name);
        WriteFile(path.make_preferred(), content);
    }
    const ToolRun pack = Tool({"pack", U8(scratch / "app"), "-o", U8(scratch / "app.dat")});
    ASSERT_EQ(pack.code, 0) << pack.err;
    const ToolRun extract = Tool({"extract", U8(scratch / "app.dat"), U8(scratch / "out")});
    ASSERT_EQ(extract.code, 0) << extract.err;
    EXPECT_EQ(PackedNames(scratch / "app.dat"),
              deep + "bottom.txt\ndd/" + longest + "\n" + longest + "\n");
    const ToolRun again = Tool({"pack", U8(scratch / "out"), "-o", U8(scratch / "again.dat")});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(ReadFile(scratch / "again.dat"), ReadFile(scratch / "app.dat"));
}

// A small app folder under `scratch`: package.json (with `settings` inside) and a start page.
void MakeApp(const Scratch& scratch, const std::string& packageJson = R"({"name":"x"})") {
    MakeTree(scratch / "app", {{"package.json", packageJson}, {"www/index.html", "<p>"}});
}

ToolRun BuildApp(const Scratch& scratch, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"build", U8(scratch / "app"), "-o", U8(scratch / "out"),
                                     "--zip", "--host", VANDREL_HOST_PATH};
    args.insert(args.end(), more.begin(), more.end());
    return Tool(args);
}

// `build` and `check` read nothing outside the app folder, whether a link leads to a folder
// (a reparse point to Windows) or to a file (which Wine shows as the file itself).
TEST(ToolOnWindows, BuildAndCheckRefuseWhatLeadsOutsideTheApp) {
    const struct {
        const char* refused;
        const char* icon;
        std::function<void(const Scratch&)> link;
    } cases[] = {
        {"gfx/id_rsa", "gfx/id_rsa",
         [](const Scratch& s) {
             MakeTree(s / "home/.ssh", {{"id_rsa", "PRIVATE KEY"}});
             Link(s / "home/.ssh", s / "app/gfx");
         }},
        {"webview2", "",
         [](const Scratch& s) {
             MakeTree(s / "runtime", {{"msedgewebview2.exe", "MZ"}});
             Link(s / "runtime", s / "app/webview2");
         }},
        {"WV2ExtManager.dll", "",
         [](const Scratch& s) {
             WriteFile(s / "lib.dll", "MZ");
             Link(s / "lib.dll", s / "app/WV2ExtManager.dll");
         }},
        {"www", "",
         [](const Scratch& s) {
             MakeTree(s / "site", {{"index.html", "<p>"}});
             Shell("rm -r " + Quote(UnixPath(s / "app/www")));
             Link(s / "site", s / "app/www");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        Scratch scratch;
        MakeApp(scratch, std::string(R"({"name":"x","window":{"icon":")") + c.icon + R"("}})");
        c.link(scratch);
        const ToolRun build = BuildApp(scratch);
        EXPECT_EQ(build.code, 1);
        EXPECT_TRUE(Contains(build.err, std::string("refusing to copy '") + c.refused + "'"))
            << build.err;
        EXPECT_TRUE(Contains(build.err, "leads outside")) << build.err;
        EXPECT_FALSE(fs::exists(scratch / "out"));
        EXPECT_FALSE(fs::exists(scratch / "out.zip"));
        const ToolRun check = Tool({"check", U8(scratch / "app")});
        EXPECT_EQ(check.code, 1);
        EXPECT_TRUE(Contains(check.out, std::string("error: ") + c.refused + ": the link '"))
            << check.out;
    }
    // Links that stay inside the app folder are followed.
    Scratch scratch;
    MakeApp(scratch, R"({"name":"x","window":{"icon":"art/icon.png"}})");
    WriteFile(scratch / "app/gfx/icon.png", ReadFile(fs::path(VANDREL_SOURCE_DIR) /
                                                     "examples/hello/www/icon.png"));
    Link(scratch / "app/gfx", scratch / "app/art");
    const ToolRun build = BuildApp(scratch);
    EXPECT_EQ(build.code, 0) << build.out << build.err;
    EXPECT_TRUE(fs::is_regular_file(scratch / "out/art/icon.png"));
}

// Pipes in the place of the icon or a library are not waited for.
TEST(ToolOnWindows, PipesAreNotWaitedFor) {
    Scratch scratch;
    MakeApp(scratch, R"({"name":"x","window":{"icon":"i.png"}})");
    Shell("mkfifo " + Quote(UnixPath(scratch / "app/i.png")) + " " +
          Quote(UnixPath(scratch / "app/WebView2Loader.dll")));
    const ToolRun check = Tool({"check", U8(scratch / "app")});
    EXPECT_EQ(check.code, 1);
    EXPECT_TRUE(Contains(check.out, "error: WebView2Loader.dll: cannot be loaded")) << check.out;
    const ToolRun build = BuildApp(scratch);
    EXPECT_EQ(build.code, 1);
    EXPECT_FALSE(fs::exists(scratch / "out"));
}

// A zip that another program holds open cannot be replaced: the folder stays as it was too.
TEST(ToolOnWindows, AZipHeldOpenKeepsTheEarlierBuildWhole) {
    Scratch scratch;
    MakeApp(scratch);
    ASSERT_EQ(BuildApp(scratch).code, 0);
    WriteFile(scratch / "app/www/index.html", "<p>new");
    const HANDLE held = CreateFileW((scratch / "out.zip").wstring().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ToolRun blocked = BuildApp(scratch);
    EXPECT_EQ(blocked.code, 1);
    EXPECT_TRUE(Contains(blocked.err, "cannot replace")) << blocked.err;
    EXPECT_TRUE(Contains(blocked.err, "nothing was changed")) << blocked.err;
    EXPECT_EQ(ReadFile(scratch / "out/www/index.html"), "<p>");
    CloseHandle(held);
    EXPECT_EQ(UnixNames(scratch, scratch.Path()).find(".tmp"), std::string::npos)
        << "nothing half-made is left";
    ASSERT_EQ(BuildApp(scratch).code, 0);
    EXPECT_EQ(ReadFile(scratch / "out/www/index.html"), "<p>new");
}

// serve answers nothing through a link that leads out of www.
TEST(ToolOnWindows, ServeFollowsLinksOnlyInsideWww) {
    Scratch scratch;
    MakeApp(scratch);
    MakeTree(scratch / "app/www/sub", {{"inner.txt", "inner"}});
    MakeTree(scratch / "secret", {{"key.txt", "secret"}});
    Link(scratch / "secret", scratch / "app/www/out");
    Link(scratch / "secret/key.txt", scratch / "app/www/key.txt");
    Link(scratch / "app/www/sub", scratch / "app/www/alias");
    const AppContent content(scratch / "app", ReadPackageJson(scratch / "app"), false);
    EXPECT_EQ(content.Answer("/out/key.txt", std::nullopt).plan.status, 404);
    EXPECT_EQ(content.Answer("/key.txt", std::nullopt).plan.status, 404);
    EXPECT_EQ(content.Answer("/alias/inner.txt", std::nullopt).plan.status, 200);
    EXPECT_TRUE(Contains(content.Answer("/out/key.txt", std::nullopt).problem, "leads outside"));
}

}  // namespace
}  // namespace vandrel::tool
