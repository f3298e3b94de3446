#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/check.h"
#include "cli/commands.h"
#include "pe_test_util.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

std::string Describe(const std::vector<Finding>& findings) {
    std::ostringstream text;
    PrintFindings(findings, text, false);
    return text.str();
}

std::string Dll(uint16_t machine, std::vector<std::string> exports = {}) {
    TestPe pe;
    pe.machine = machine;
    pe.pe32Plus = machine != 0x014C;
    pe.dll = true;
    pe.exports = std::move(exports);
    return MakeTestPe(pe);
}


const std::vector<std::string> kAllExports = {"Init", "Release", "OnMainWindowCreated",
                                              "OnExtensionMessage"};

struct Expected {
    Severity severity;
    std::string file;
    std::string fragment;
};

TEST(CheckTest, EveryFindingAboutTheFolder) {
    const Severity E = Severity::Error;
    const Severity W = Severity::Warning;
    using Setup = std::function<void(const ScratchFolder&)>;
    const auto package = [](const std::string& json) {
        return [json](const ScratchFolder& f) { WriteFile(f / "app/package.json", json); };
    };
    const auto page = [](const ScratchFolder& f) { WriteFile(f / "app/www/index.html", "<p>hi"); };
    const auto all = [](std::vector<Setup> steps) {
        return [steps](const ScratchFolder& f) {
            for (const Setup& step : steps) {
                step(f);
            }
        };
    };
    const auto file = [](const std::string& name, const std::string& content) {
        return [name, content](const ScratchFolder& f) { WriteFile(f / ("app/" + name), content); };
    };
    const Setup app = all({package(R"({"name":"x"})"), page});
    // A symbolic link at `at` (in the app folder) to `target` (relative to the link).
    const auto link = [](const std::string& target, const std::string& at) {
        return [target, at](const ScratchFolder& f) {
            fs::create_directories((f / ("app/" + at)).parent_path());
            fs::create_symlink(target, f / ("app/" + at));
        };
    };
    const auto fifo = [](const std::string& at) {
        return [at](const ScratchFolder& f) {
            fs::create_directories(f / "app");
            ASSERT_EQ(mkfifo((f / ("app/" + at)).c_str(), 0600), 0);
        };
    };
    struct Case {
        const char* what;
        Setup setup;
        std::vector<Expected> expected;
        uint64_t sizeLimit = kBundleSizeLimit;
    } const cases[] = {
        {"a plain app", app, {}},
        {"no package.json", page, {{E, "package.json", "there is no package.json"}}},
        {"empty package.json", all({package(""), page}), {{E, "package.json", "is empty"}}},
        {"package.json the host refuses",
         all({package(R"({"name":""})"), page}),
         {{E, "package.json", "the name is empty"}}},
        // The start page.
        {"start page with another case",
         all({package(R"({"name":"x"})"), file("www/Index.html", "<p>")}),
         {{E, "package.json", "only as 'Index.html'"}}},
        {"no www folder",
         package(R"({"name":"x"})"),
         {{E, "package.json", "'index.html' is not in the www folder"}}},
        {"start page in the bundle",
         all({package(R"({"name":"x","main":"start.html"})"),
              file("www/assets.dat", EncodeFiles({{"start.html", "<p>"}}))}),
         {}},
        {"start page in the bundle with another case",
         all({package(R"({"name":"x","main":"start.html"})"),
              file("www/assets.dat", EncodeFiles({{"Start.html", "<p>"}}))}),
         {{E, "package.json", "in the bundle or the www folder only as 'Start.html'"}}},
        {"start page with a query",
         all({package(R"({"name":"x","main":"index.html?v=2"})"), page}),
         {}},
        {"start page in a folder",
         all({package(R"({"name":"x","main":"game/start.html"})"),
              file("www/game/start.html", "<p>")}),
         {}},
        {"start page with a leading slash",
         all({package(R"({"name":"x","main":"/index.html"})"), page}),
         {{E, "package.json", "without a leading /"}}},
        {"remote mode serves nothing",
         package(
             R"({"name":"x","main":"https://example.com/","settings":{"content-mode":"remote"}})"),
         {}},
        // The bundle.
        {"damaged bundle",
         all({app, file("www/assets.dat", "not a bundle at all")}),
         {{E, "www/assets.dat", "does not verify: bad format"}}},
        {"bundle near the limit",
         all({app, file("www/assets.dat", EncodeFiles({{"a", std::string(900, 'a')}}))}),
         {{W, "www/assets.dat", "near the limit of 1000 bytes"}},
         1000},
        {"bundle over the limit",
         all({app, file("www/assets.dat", EncodeFiles({{"a", std::string(1000, 'a')}}))}),
         {{E, "www/assets.dat", "smaller than 1000 bytes"}},
         1000},
        {"folder near the limit",
         all({app, file("www/big.bin", std::string(950, 'b'))}),
         {{W, "www", "near the limit of 1000 bytes"}},
         1000},
        // Names the folder rules never serve, and names that differ only in case.
        {"names Windows does not keep",
         all({app, file("www/trailing.", "x"), file("www/space ", "x"), file("www/a:b.js", "x"),
              file("www/q?.js", "x")}),
         {{W, "www/trailing.", "never serves 'trailing.'"},
          {W, "www/space ", "trailing dot or space"},
          {W, "www/a:b.js", "colon"},
          {W, "www/q?.js", "does not allow"}}},
        {"a bundle serves any name",
         all({app, file("www/trailing.", "x"),
              file("www/assets.dat", EncodeFiles({{"index.html", "i"}, {"trailing.", "x"}}))}),
         {}},
        {"names that differ in case",
         all({app, file("www/img/Logo.png", "1"), file("www/img/logo.png", "2")}),
         {{W, "www/img/Logo.png",
           "'www/img/Logo.png' and 'www/img/logo.png' differ only in case"}}},
        // Beside the host.
        {"fixed runtime missing",
         all({package(R"({"name":"x","settings":{"distribution-mode":"fixed"}})"), page}),
         {{E, "webview2/msedgewebview2.exe", "no webview2/msedgewebview2.exe"}}},
        {"fixed runtime present",
         all({package(R"({"name":"x","settings":{"distribution-mode":"fixed"}})"), page,
              file("webview2/msedgewebview2.exe", "MZ")}),
         {}},
        {"32-bit loader",
         all({app, file("WebView2Loader.dll", Dll(0x014C))}),
         {{E, "WebView2Loader.dll", "built for x86, but the host is x64"}}},
        {"loader that is no library",
         all({app, file("WebView2Loader.dll", "text")}),
         {{E, "WebView2Loader.dll", "cannot be loaded: it is not a Windows program"}}},
        {"host without loader",
         all({app, file("Game.exe", MakeTestPe({}))}),
         {{W, "WebView2Loader.dll", "missing beside Game.exe"}}},
        {"host and loader",
         all({app, file("Game.exe", MakeTestPe({})), file("WebView2Loader.dll", Dll(0x8664))}),
         {}},
        {"ARM64 host, x64 loader",
         all({app, file("x.exe", Dll(0xAA64)), file("WebView2Loader.dll", Dll(0x8664))}),
         {{E, "WebView2Loader.dll", "built for x64, but the host is ARM64"}}},
        {"extension of another machine",
         all({app, file("WV2ExtManager.dll", Dll(0x014C, kAllExports))}),
         {{E, "WV2ExtManager.dll", "built for x86"}}},
        {"extension without exports",
         all({app, file("WV2ExtManager.dll", Dll(0x8664))}),
         {{E, "WV2ExtManager.dll",
           "does not export Init, Release, OnMainWindowCreated, OnExtensionMessage"}}},
        {"extension without one export",
         all({app, file("WV2ExtManager.dll",
                        Dll(0x8664, {"Init", "Release", "OnExtensionMessage", "Other"}))}),
         {{E, "WV2ExtManager.dll", "does not export OnMainWindowCreated, so"}}},
        {"whole extension", all({app, file("WV2ExtManager.dll", Dll(0x8664, kAllExports))}), {}},
        // The window icon.
        {"icon missing",
         all({package(R"({"name":"x","window":{"icon":"icon.png"}})"), page}),
         {{W, "icon.png", "does not exist"}}},
        {"icon is text",
         all({package(R"({"name":"x","window":{"icon":"icon.png"}})"), page,
              file("icon.png", "not an image")}),
         {{W, "icon.png", "not an image the host can read"}}},
        {"icon is a JPEG",
         all({package(R"({"name":"x","window":{"icon":"a/i.jpg"}})"), page,
              file("a/i.jpg", "\xFF\xD8\xFF\xE0")}),
         {{W, "a/i.jpg", "JPEG image, which vandrel build cannot"}}},
        {"icon too large",
         all({package(R"({"name":"x","window":{"icon":"www/i.png"}})"), page,
              file("www/i.png", Png(512, 512))}),
         {{W, "www/i.png", "at most 256x256"}}},
        {"icon fine",
         all({package(R"({"name":"x","window":{"icon":"www/i.png"}})"), page,
              file("www/i.png", Png(64, 64))}),
         {}},
        {"icon with an absolute path",
         all({package(R"({"name":"x","window":{"icon":"C:\\art\\i.png"}})"), page}),
         {{W, "C:\\art\\i.png", "not a path relative"}}},
        {"icon given from the current folder",
         all({package(R"({"name":"x","window":{"icon":"./www/i.png"}})"), page,
              file("www/i.png", Png(64, 64))}),
         {}},
        {"icon that is only a PNG header",
         all({package(R"({"name":"x","window":{"icon":"i.png"}})"), page,
              file("i.png", Png(64, 64).substr(0, 33))}),
         {{W, "i.png", "ends before its IEND"}}},
        {"icon that is an 8-byte BMP",
         all({package(R"({"name":"x","window":{"icon":"i.bmp"}})"), page,
              file("i.bmp", "BM\x08\0\0\0\0\0")}),
         {{W, "i.bmp", "not an image the host can read"}}},
        // Files reached through links that lead outside the app folder: build refuses them.
        {"icon through a link outside",
         all({package(R"({"name":"x","window":{"icon":"gfx/id_rsa"}})"), page,
              file("../secret/id_rsa", "PRIVATE KEY"), link("../secret", "gfx")}),
         {{E, "gfx/id_rsa", "the link 'gfx' leads outside"}}},
        {"icon through ..",
         all({package(R"({"name":"x","window":{"icon":"../i.png"}})"), page}),
         {{E, "../i.png", "it lies outside"}}},
        {"loader and extension that are links outside",
         all({app, file("../secret/a.dll", Dll(0x8664)), link("../secret/a.dll",
                                                               "WebView2Loader.dll"),
              link("../secret/a.dll", "WV2ExtManager.dll")}),
         {{E, "WebView2Loader.dll", "the link 'WebView2Loader.dll' leads outside"},
          {E, "WV2ExtManager.dll", "vandrel build refuses to copy it"}}},
        {"runtime folder that is a link outside",
         all({app, file("../secret/msedgewebview2.exe", "MZ"), link("../secret", "webview2")}),
         {{E, "webview2", "the link 'webview2' leads outside"}}},
        {"www that is a link outside",
         all({package(R"({"name":"x"})"), file("../site/index.html", "<p>"),
              link("../site", "www")}),
         {{E, "www", "the link 'www' leads outside"},
          {E, "package.json", "is not in the www folder"}}},
        {"package.json that is a link outside",
         all({page, file("../other/package.json", R"({"name":"x"})"),
              link("../other/package.json", "package.json")}),
         {{E, "package.json", "leads outside"}}},
        {"links that stay inside are followed",
         all({package(R"({"name":"x","window":{"icon":"art/i.png"}})"), page,
              file("gfx/i.png", Png(32, 32)), link("gfx", "art")}),
         {}},
        {"links in www that lead outside or nowhere",
         all({app, file("../secret/key", "k"), link("../../secret/key", "www/key"),
              link("nowhere", "www/gone")}),
         {{W, "www/key", "points outside the folder, so vandrel build and pack leave it out"},
          {W, "www/gone", "broken symbolic link"}}},
        // Files that would block a reader for ever.
        {"pipes for the icon and the loader",
         all({package(R"({"name":"x","window":{"icon":"i.png"}})"), page, fifo("i.png"),
              fifo("WebView2Loader.dll")}),
         {{W, "i.png", "not a regular file"}, {E, "WebView2Loader.dll", "not a regular file"}}},
        {"a pipe for package.json", all({page, fifo("package.json")}),
         {{E, "package.json", "not a regular file"}}},
        // Names the host or build refuse.
        {"a file name that is not UTF-8",
         all({app, file("www/bad\xFFname.js", "x")}),
         {{W, "www/bad\xFFname.js", "not valid UTF-8"}}},
        {"a name that is a device", all({package(R"({"name":"CON"})"), page}),
         {{E, "package.json", "reserved device name"}}},
        {"a title too long for the executable",
         all({package(R"({"name":"x","window":{"title":")" + std::string(3000, 't') + "\"}}"),
              page}),
         {{E, "package.json", "2048 that vandrel build writes"}}},
        {"a name too long for a file name",
         all({package(R"({"name":")" + std::string(200, 'n') + "\\\\" + std::string(200, 'n') +
                      "\"}"),
              page}),
         {{E, "package.json", "more than the 255 Windows allows"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        c.setup(folder);
        ToolEnvironment environment;
        environment.sizeLimit = c.sizeLimit;
        fs::create_directories(folder / "app");
        const std::vector<Finding> findings = CheckAppFolder(folder / "app", environment);
        ASSERT_EQ(findings.size(), c.expected.size()) << Describe(findings);
        for (const Expected& e : c.expected) {
            bool found = false;
            for (const Finding& f : findings) {
                found |= f.severity == e.severity && f.file == e.file &&
                         (f.message + "; " + f.advice).find(e.fragment) != std::string::npos;
            }
            EXPECT_TRUE(found) << e.file << ": " << e.fragment << "\n" << Describe(findings);
        }
    }
}

TEST(CheckTest, ExampleAppHasNothingToReport) {
    const std::vector<Finding> findings =
        CheckAppFolder(fs::path(VANDREL_SOURCE_DIR) / "examples" / "hello", {});
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

// The program itself: lines, the JSON array and the exit codes.
TEST(CheckTest, CommandLineOutputAndExitCodes) {
    ScratchFolder folder;
    WriteFile(folder / "package.json", R"({"name":"x","window":{"resizeable":false,"width":"8"},
        "settings":{"content-mode":"Bundle"}})");
    const std::string tool = VANDREL_TOOL_PATH;
    const std::string path = ShellQuoted(folder.Path().string());
    int status = -1;
    const std::string text = RunCommand(tool + " check " + path + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(text.find("error: package.json: settings.content-mode: \"Bundle\" is not a value of "
                        "settings.content-mode, so the host refuses to start (values are "
                        "case-sensitive); write \"bundle\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("warning: package.json: window.resizeable: unknown key \"resizeable\" "
                        "inside \"window\"; the host ignores it; did you mean \"resizable\"?\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(": 1 error, 2 warnings\n"), std::string::npos) << text;
    EXPECT_LT(text.find("error:"), text.find("warning:")) << "errors come first";

    const std::string json = RunCommand(tool + " check --json " + path, &status);
    EXPECT_EQ(status, 1);
    const nlohmann::json findings = nlohmann::json::parse(json);
    ASSERT_EQ(findings.size(), 3u) << json;
    EXPECT_EQ(findings[0]["severity"], "error");
    EXPECT_EQ(findings[0]["file"], "package.json");
    EXPECT_EQ(findings[0]["key"], "settings.content-mode");
    EXPECT_FALSE(findings[0].contains("line"));

    WriteFile(folder / "package.json", "{\n  \"name\": \"x\",\n}");
    const nlohmann::json syntax =
        nlohmann::json::parse(RunCommand(tool + " check --json " + path, &status));
    EXPECT_EQ(status, 1);
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_EQ(syntax[0]["line"], 3);
    EXPECT_EQ(syntax[0]["column"], 1);

    WriteFile(folder / "package.json", R"({"name":"x","fullscreen":true})");
    WriteFile(folder / "www/index.html", "<p>");
    EXPECT_NE(RunCommand(tool + " check " + path, &status).find("0 errors, 1 warning"),
              std::string::npos);
    EXPECT_EQ(status, 0) << "warnings alone pass";

    RunCommand(tool + " check " + ShellQuoted((folder / "missing").string()) + " 2>&1", &status);
    EXPECT_EQ(status, 2) << "the check could not run";
    RunCommand(tool + " check a b 2>&1", &status);
    EXPECT_EQ(status, 2);
    RunCommand("cd " + path + " && " + tool + " check", &status);
    EXPECT_EQ(status, 0) << "the current folder by default";

    // Keys and names that would move the cursor or reorder the line are shown escaped.
    WriteFile(folder / "package.json",
              "{\"name\":\"Game\\u202egpj.exe\",\"\\u001b[2Jwipe\":1,\"\\u009b1m\":2}");
    WriteFile(folder / "www/\x1B]0;title\x07.js", "x");
    const std::string escaped = RunCommand(tool + " check " + path + " 2>&1", &status);
    EXPECT_EQ(escaped.find_first_of("\x1B\x07"), std::string::npos) << escaped;
    EXPECT_EQ(escaped.find("\u202e"), std::string::npos);
    EXPECT_EQ(escaped.find("\xC2\x9B"), std::string::npos);
    EXPECT_NE(escaped.find("unknown key \"\\u001b[2Jwipe\""), std::string::npos) << escaped;
    EXPECT_NE(escaped.find("www/\\x1b]0;title\\x07.js"), std::string::npos) << escaped;
    EXPECT_NE(escaped.find("invisible character U+202E"), std::string::npos) << escaped;
}

}  // namespace
}  // namespace vandrel::tool
