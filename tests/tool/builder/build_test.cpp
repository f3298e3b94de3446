#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_folder.h"
#include "builder/build.h"
#include "app/kit_files.h"
#include "cli/commands.h"
#include "pe_test_util.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

const fs::path kHello = fs::path(VANDREL_SOURCE_DIR) / "examples" / "hello";

ToolRun Build(std::vector<std::string> args, ToolEnvironment environment = {}) {
    args.insert(args.begin(), "build");
    return Tool(args, environment);
}

// A stand-in host (a small x64 program) and loader in `folder`.
std::string MakeHost(const ScratchFolder& folder) {
    WriteFile(folder / "host/vandrel-host.exe", MakeTestPe({}));
    TestPe loader;
    loader.dll = true;
    WriteFile(folder / "host/WebView2Loader.dll", MakeTestPe(loader));
    return (folder / "host/vandrel-host.exe").string();
}

std::string Resource(const fs::path& exe, const std::string& selection) {
    return RunCommand(std::string(VANDREL_WRESTOOL) + " -x --raw " + selection + " " +
                      ShellQuoted(exe.string()));
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        out += std::string{c, '\0'};
    }
    return out;
}

std::map<std::string, std::string> Unzipped(const fs::path& zip, const fs::path& into) {
    int status = -1;
    RunCommand(
        "python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' " +
            ShellQuoted(zip.string()) + " " + ShellQuoted(into.string()),
        &status);
    EXPECT_EQ(status, 0);
    return TreeFiles(into);
}

TEST(BuildTest, ExampleWithBundleAndZip) {
    ScratchFolder folder;
    const std::string host = MakeHost(folder);
    const fs::path out = folder / "dist/hello";
    const ToolRun run =
        Build({kHello.string(), "-o", out.string(), "--bundle", "--zip", "--host", host});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("no problems found"), std::string::npos) << run.out;

    EXPECT_EQ(TreeNames(out),
              (std::vector<std::string>{".vandrel-build", "WebView2Loader.dll", "hello-vandrel.exe",
                                        "package.json", "www", "www/assets.dat", "www/icon.png"}));
    EXPECT_EQ(ReadFile(out / "package.json"), ReadFile(kHello / "package.json"));
    EXPECT_EQ(ReadFile(out / "WebView2Loader.dll"), ReadFile(folder / "host/WebView2Loader.dll"));
    const DecodedBundle bundle = DecodeStrict(ReadFile(out / "www/assets.dat"));
    std::map<std::string, std::string> packed;
    for (const RawEntry& entry : bundle.entries) {
        packed[entry.name] = bundle.Content(entry);
    }
    // The example's files, and the page library it imports, which the kit adds.
    std::map<std::string, std::string> withLibrary = TreeFiles(kHello / "www");
    withLibrary["vandrel.js"] = std::string(*FindKitFile("vandrel.js"));
    EXPECT_TRUE(packed == withLibrary);

    // The executable carries the example's icon and name, read back by wrestool.
    const fs::path exe = out / "hello-vandrel.exe";
    EXPECT_EQ(Resource(exe, "--type=3 --name=1"), ReadFile(kHello / "www/icon.png"));
    const std::string version = Resource(exe, "--type=16");
    EXPECT_NE(version.find(Utf16("ProductName")), std::string::npos);
    EXPECT_NE(version.find(Utf16("Hello from Vandrel")), std::string::npos);
    EXPECT_NE(version.find(Utf16("0.1.0")), std::string::npos);
    EXPECT_NE(version.find(Utf16("hello-vandrel.exe")), std::string::npos);

    // The zip holds the same files under the folder's name, and is made again byte for byte.
    const std::string zip = ReadFile(folder / "dist/hello.zip");
    std::map<std::string, std::string> expected;
    for (const auto& [name, content] : TreeFiles(out)) {
        expected["hello/" + name] = content;
    }
    expected.erase("hello/.vandrel-build");  // the mark of a build's folder is not shipped
    EXPECT_EQ(Unzipped(folder / "dist/hello.zip", folder / "unzipped"), expected);
    ASSERT_EQ(
        Build({kHello.string(), "-o", out.string(), "--bundle", "--zip", "--host", host}).code, 0);
    EXPECT_EQ(ReadFile(folder / "dist/hello.zip"), zip);
    EXPECT_EQ(
        TreeNames(folder / "dist"),
        (std::vector<std::string>{"hello", "hello.zip", "hello/.vandrel-build",
                                  "hello/WebView2Loader.dll",
                                  "hello/hello-vandrel.exe", "hello/package.json", "hello/www",
                                  "hello/www/assets.dat", "hello/www/icon.png"}));
}

TEST(BuildTest, LooseFilesExtensionRuntimeAndIcon) {
    ScratchFolder folder;
    TestPe extension;
    extension.dll = true;
    extension.exports = {"Init", "Release", "OnMainWindowCreated", "OnExtensionMessage"};
    WriteFile(folder / "app/package.json",
              R"({"name":"Studio\\Castle","window":{"icon":"art/castle.png"},
                  "settings":{"distribution-mode":"fixed"}})");
    WriteFile(folder / "app/www/index.html", "<p>castle");
    WriteFile(folder / "app/www/js/game.js", "go()");
    WriteFile(folder / "app/www/assets.dat", EncodeFiles({{"extra.txt", "x"}}));
    WriteFile(folder / "app/art/castle.png", ReadFile(kHello / "www/icon.png"));
    WriteFile(folder / "app/WV2ExtManager.dll", MakeTestPe(extension));
    WriteFile(folder / "app/webview2/msedgewebview2.exe", "MZ runtime");
    WriteFile(folder / "app/notes.txt", "not shipped");
    WriteFile(folder / "app/WebView2Loader.dll", ReadFile(folder / "app/WV2ExtManager.dll"));
    WriteFile(folder / "bin/vandrel-host.exe", MakeTestPe({}));
    // The host is found beside the tool.
    ToolEnvironment environment;
    environment.programPath = folder / "bin/vandrel";
    const ToolRun run =
        Build({(folder / "app").string(), "-o", (folder / "out").string()}, environment);
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(
        TreeNames(folder / "out"),
        (std::vector<std::string>{".vandrel-build", "Studio-Castle.exe", "WV2ExtManager.dll",
                                  "WebView2Loader.dll",
                                  "art", "art/castle.png", "package.json", "webview2",
                                  "webview2/msedgewebview2.exe", "www", "www/assets.dat",
                                  "www/index.html", "www/js", "www/js/game.js", "www/vandrel.js"}));
    EXPECT_EQ(ReadFile(folder / "out/www/assets.dat"), ReadFile(folder / "app/www/assets.dat"));
    EXPECT_EQ(ReadFile(folder / "out/WebView2Loader.dll"),
              ReadFile(folder / "app/WebView2Loader.dll"))
        << "the app's own loader comes first";
    EXPECT_NE(run.out.find("not copied from"), std::string::npos);
    EXPECT_NE(run.out.find("'notes.txt'"), std::string::npos) << run.out;
    EXPECT_EQ(Resource(folder / "out/Studio-Castle.exe", "--type=3 --name=1"),
              ReadFile(kHello / "www/icon.png"));
}

TEST(BuildTest, FailuresLeaveNothingHalfMade) {
    struct Case {
        const char* what;
        std::function<void(const ScratchFolder&)> setup;
        std::vector<std::string> extra;
        uint64_t sizeLimit = kBundleSizeLimit;
        const char* fragment;
        int code = 1;
    } const cases[] = {
        {"package.json the host refuses",
         [](const ScratchFolder& f) { WriteFile(f / "app/package.json", R"({"name":""})"); },
         {},
         kBundleSizeLimit,
         "nothing was built"},
        {"no host",
         [](const ScratchFolder& f) { fs::remove(f / "host/vandrel-host.exe"); },
         {},
         kBundleSizeLimit,
         "cannot find the host"},
        {"host that is no program",
         [](const ScratchFolder& f) { WriteFile(f / "host/vandrel-host.exe", "text"); },
         {},
         kBundleSizeLimit,
         "not a Windows program"},
        {"bundle over the limit", [](const ScratchFolder&) {}, {"--bundle"}, 100, "2"},
        {"old bundle with --bundle",
         [](const ScratchFolder& f) { WriteFile(f / "app/www/assets.dat", EncodeFiles({})); },
         {"--bundle"},
         kBundleSizeLimit,
         "--bundle packs the www folder itself"},
        {"loader missing",
         [](const ScratchFolder&) {},
         {"--loader", "/no/such.dll"},
         kBundleSizeLimit,
         "cannot find the loader"},
        {"no output", [](const ScratchFolder&) {}, {"-o"}, kBundleSizeLimit, "needs a value", 2},
        // Nothing outside the app folder is copied, through any link.
        {"icon through a link to a private folder",
         [](const ScratchFolder& f) {
             WriteFile(f / "home/.ssh/id_rsa", "PRIVATE KEY");
             fs::create_symlink(f / "home/.ssh", f / "app/gfx");
             WriteFile(f / "app/package.json", R"({"name":"x","window":{"icon":"gfx/id_rsa"}})");
         },
         {"--zip"},
         kBundleSizeLimit,
         "refusing to copy 'gfx/id_rsa' (window.icon): the link 'gfx' leads outside"},
        {"runtime folder that is a link",
         [](const ScratchFolder& f) {
             WriteFile(f / "home/runtime/msedgewebview2.exe", "MZ");
             fs::create_symlink(f / "home/runtime", f / "app/webview2");
         },
         {},
         kBundleSizeLimit,
         "refusing to copy 'webview2' (the fixed-version runtime): the link 'webview2'"},
        {"libraries that are links",
         [](const ScratchFolder& f) {
             WriteFile(f / "home/lib.dll", "MZ");
             fs::create_symlink(f / "home/lib.dll", f / "app/WV2ExtManager.dll");
         },
         {},
         kBundleSizeLimit,
         "refusing to copy 'WV2ExtManager.dll' (the extension library)"},
        {"loader that is a link",
         [](const ScratchFolder& f) {
             WriteFile(f / "home/lib.dll", "MZ");
             fs::create_symlink(f / "home/lib.dll", f / "app/WebView2Loader.dll");
         },
         {},
         kBundleSizeLimit,
         "refusing to copy 'WebView2Loader.dll' (the WebView2 loader)"},
        {"bundle that is a link",
         [](const ScratchFolder& f) {
             WriteFile(f / "home/assets.dat", EncodeFiles({}));
             fs::create_symlink(f / "home/assets.dat", f / "app/www/assets.dat");
         },
         {},
         kBundleSizeLimit,
         "refusing to copy 'www/assets.dat' (the app's bundle)"},
        {"www that is a link",
         [](const ScratchFolder& f) {
             fs::rename(f / "app/www", f / "home");
             fs::create_symlink(f / "home", f / "app/www");
         },
         {},
         kBundleSizeLimit,
         "refusing to copy 'www' (the app's files)"},
        // Pipes are not read: a build does not wait for ever.
        {"icon that is a pipe",
         [](const ScratchFolder& f) {
             WriteFile(f / "app/package.json", R"({"name":"x","window":{"icon":"i.png"}})");
             ASSERT_EQ(mkfifo((f / "app/i.png").c_str(), 0600), 0);
         },
         {},
         kBundleSizeLimit,
         "not a regular file"},
        // What cannot go into the executable is refused before anything is written.
        {"title too long",
         [](const ScratchFolder& f) {
             WriteFile(f / "app/package.json",
                       R"({"name":"x","window":{"title":")" + std::string(5000, 't') + "\"}}");
         },
         {},
         kBundleSizeLimit,
         "cannot go into the executable"},
        // A zip that cannot take the new one's place keeps the folder from changing too.
        {"a folder where the zip goes",
         [](const ScratchFolder& f) { fs::create_directories(f / "dist/out.zip"); },
         {"--zip"},
         kBundleSizeLimit,
         "something other than a file is in the way"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        const std::string host = MakeHost(folder);
        WriteFile(folder / "app/package.json", R"({"name":"x"})");
        WriteFile(folder / "app/www/index.html", std::string(200, 'i'));
        WriteFile(folder / "dist/out/old.txt", "the earlier build");
        WriteFile(folder / "dist/out/.vandrel-build", "");
        c.setup(folder);
        std::vector<std::string> args = {(folder / "app").string(), "-o",
                                         (folder / "dist/out").string(), "--host", host};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ToolEnvironment environment;
        environment.sizeLimit = c.sizeLimit;
        const ToolRun run = Build(args, environment);
        EXPECT_EQ(run.code, c.code) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.fragment), std::string::npos) << run.out << run.err;
        std::vector<std::string> names = TreeNames(folder / "dist");
        std::erase(names, "out.zip");
        EXPECT_EQ(names, (std::vector<std::string>{"out", "out/.vandrel-build", "out/old.txt"}))
            << "the earlier build stays as it was, and nothing else is left";
    }
}

TEST(BuildTest, OutputMustNotHoldOrLieInTheApp) {
    ScratchFolder folder;
    const std::string host = MakeHost(folder);
    WriteFile(folder / "app/package.json", R"({"name":"x"})");
    WriteFile(folder / "app/www/index.html", "<p>");
    for (const char* out : {"app", "app/www/dist", "."}) {
        SCOPED_TRACE(out);
        const ToolRun run =
            Build({(folder / "app").string(), "-o", (folder / out).string(), "--host", host});
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find("choose another one"), std::string::npos) << run.err;
    }
    EXPECT_EQ(TreeNames(folder / "app"),
              (std::vector<std::string>{"package.json", "www", "www/index.html"}));
    // Inside the app folder but outside www is fine, and a rebuild replaces it.
    ASSERT_EQ(
        Build({(folder / "app").string(), "-o", (folder / "app/dist").string(), "--host", host})
            .code,
        0);
    WriteFile(folder / "app/dist/stale.txt", "old");
    const ToolRun again =
        Build({(folder / "app").string(), "-o", (folder / "app/dist").string(), "--host", host});
    ASSERT_EQ(again.code, 0) << again.out << again.err;
    EXPECT_FALSE(fs::exists(folder / "app/dist/stale.txt"));
    EXPECT_EQ(again.out.find("not copied"), std::string::npos) << "the output is not the app's";
}

// OUT is replaced only when a build made it, together with OUT.zip, and never half.
TEST(BuildTest, OutputIsReplacedWholeOrNotAtAll) {
    ScratchFolder folder;
    const std::string host = MakeHost(folder);
    WriteFile(folder / "app/package.json", R"({"name":"x"})");
    WriteFile(folder / "app/www/index.html", "<p>");
    const fs::path out = folder / "dist/out";
    const auto build = [&](ToolEnvironment environment = {}) {
        return Build({(folder / "app").string(), "-o", out.string(), "--zip", "--host", host},
                     environment);
    };
    // A folder a build did not make is left alone, unless it is empty.
    WriteFile(folder / "dist/out/thesis.docx", "years of work");
    ToolRun run = build();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("it is a folder that vandrel build did not make"), std::string::npos)
        << run.err;
    EXPECT_EQ(TreeNames(folder / "dist"), (std::vector<std::string>{"out", "out/thesis.docx"}));
    fs::remove(folder / "dist/out/thesis.docx");
    ASSERT_EQ(build().code, 0);
    const std::string zip = ReadFile(folder / "dist/out.zip");
    const std::vector<std::string> built = TreeNames(folder / "dist");

    // The zip cannot take its place at the last step: the folder is put back too.
    WriteFile(folder / "app/www/index.html", "<p>changed");
    ToolEnvironment blocked;
    std::string tempZip;
    blocked.testHook = [&](std::string_view point, const std::string& target) {
        if (point == "build-replacing" && target.ends_with(".zip")) {
            for (const auto& entry : fs::directory_iterator(folder / "dist")) {
                const std::string bytes = ReadFile(entry.path());
                if (entry.is_regular_file() && bytes.starts_with("PK") && bytes != zip) {
                    fs::remove(entry.path());  // the new zip, gone before it is placed
                }
            }
        }
    };
    run = build(blocked);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << run.err;
    EXPECT_EQ(TreeNames(folder / "dist"), built);
    EXPECT_EQ(ReadFile(folder / "dist/out/www/index.html"), "<p>") << "the old folder is back";
    EXPECT_TRUE(ReadFile(folder / "dist/out.zip") == zip) << "and the old zip";

    // An interruption (Ctrl+C) while the app is made removes what was made so far.
    ASSERT_EQ(build().code, 0);
    ToolEnvironment interrupted;
    interrupted.testHook = [](std::string_view point, const std::string&) {
        if (point == "build-staging") {
            std::raise(SIGINT);
        }
    };
    WriteFile(folder / "app/www/index.html", "<p>interrupted");
    run = build(interrupted);
    EXPECT_EQ(run.code, kExitInterrupted);
    EXPECT_NE(run.err.find("vandrel: interrupted"), std::string::npos) << run.err;
    EXPECT_EQ(TreeNames(folder / "dist"), built) << "nothing left behind, nothing replaced";
    EXPECT_EQ(ReadFile(folder / "dist/out/www/index.html"), "<p>changed");
}

TEST(BuildTest, ExecutableNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"Castle Run", "Castle Run.exe"},
        {"a\\b", "a-b.exe"},
        {"what? <now>", "what- -now-.exe"},
        {"dots...", "dots.exe"},
        {"  padded ", "padded.exe"},
        {"CON", "app.exe"},
        {"...", "app.exe"},
        {"caf\xC3\xA9", "caf\xC3\xA9.exe"},
        {"Game\xE2\x80\xAEgpj.exe", "Game-gpj.exe.exe"},
        {"tab\there", "tab-here.exe"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(AppExecutableName(name), file);
    }
}

}  // namespace
}  // namespace vandrel::tool
