#include "portable/config/app_config.h"

#include <functional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vandrel {
namespace {

using namespace std::string_literals;

AppConfig Load(const std::string& text) {
    AppConfig config;
    LoadAppConfig(text, config);
    return config;
}

// The what() text of the std::runtime_error that loading `text` throws, or a marker when it
// throws something else or nothing.
std::string LoadError(const std::string& text) {
    try {
        Load(text);
    } catch (const nlohmann::json::exception& e) {
        return std::string("json exception: ") + e.what();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no exception>";
}

void ExpectDefaultsExceptName(const AppConfig& config) {
    EXPECT_EQ(config.main, "index.html");
    EXPECT_EQ(config.title, "Windows WebView2 wrapper");
    EXPECT_EQ(config.width, 1024);
    EXPECT_EQ(config.height, 768);
    EXPECT_EQ(config.icon, "");
    EXPECT_TRUE(config.resizable);
    EXPECT_EQ(config.chromiumArgs, "");
    EXPECT_EQ(config.contentMode, ContentMode::Bundle);
    EXPECT_EQ(config.distributionMode, DistributionMode::Evergreen);
    EXPECT_EQ(config.hostingMode, HostingMode::Windowed);
    EXPECT_TRUE(config.enableDevtools);
    EXPECT_EQ(config.installWebView2Message,
              "This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
              "installed for you now.");
    EXPECT_EQ(config.downloadingMessage, "Downloading...");
    EXPECT_EQ(config.installWebView2FailedMessage,
              "Failed to install the Microsoft Edge WebView2 runtime. Check that you have "
              "permission to install it, and that your Internet connection is working. Run the "
              "app again to try again.");
    EXPECT_FALSE(config.backgroundColor.has_value());
    EXPECT_TRUE(config.pauseWhenMinimized);
    EXPECT_TRUE(config.fullscreenKeys);
    EXPECT_FALSE(config.crossOriginIsolation);
    EXPECT_EQ(config.pageCrashedMessage, kDefaultPageCrashedMessage);
    EXPECT_EQ(config.pageUnresponsiveMessage, kDefaultPageUnresponsiveMessage);
}

TEST(AppConfigTest, NameAloneYieldsEveryDefault) {
    const AppConfig config = Load(R"({"name":"x"})");
    EXPECT_EQ(config.name, "x");
    ExpectDefaultsExceptName(config);
}

TEST(AppConfigTest, DefaultConstantsMatchTheLoadedDefaults) {
    const AppConfig config = Load(R"({"name":"x"})");
    EXPECT_EQ(config.main, kDefaultMain);
    EXPECT_EQ(config.title, kDefaultWindowTitle);
    EXPECT_EQ(config.width, kDefaultWindowWidth);
    EXPECT_EQ(config.height, kDefaultWindowHeight);
    EXPECT_EQ(config.installWebView2Message, kDefaultInstallWebView2Message);
    EXPECT_EQ(config.downloadingMessage, kDefaultDownloadingMessage);
    EXPECT_EQ(config.installWebView2FailedMessage, kDefaultInstallWebView2FailedMessage);
}

TEST(AppConfigTest, OverwritesEveryField) {
    AppConfig config;
    config.name = "old";
    config.main = "old.html";
    config.title = "old";
    config.width = 1;
    config.height = 2;
    config.icon = "old.png";
    config.resizable = false;
    config.chromiumArgs = "--old";
    config.contentMode = ContentMode::Remote;
    config.distributionMode = DistributionMode::Fixed;
    config.hostingMode = HostingMode::WindowToVisual;
    config.enableDevtools = false;
    config.installWebView2Message = "old";
    config.downloadingMessage = "old";
    config.installWebView2FailedMessage = "old";
    config.backgroundColor = 0x123456;
    config.pauseWhenMinimized = false;
    config.fullscreenKeys = false;
    config.crossOriginIsolation = true;
    config.pageCrashedMessage = "old";
    config.pageUnresponsiveMessage = "old";

    LoadAppConfig(R"({"name":"x"})", config);
    EXPECT_EQ(config.name, "x");
    ExpectDefaultsExceptName(config);
}

TEST(AppConfigTest, EveryKeyIsRead) {
    const AppConfig config = Load(R"({
        "name": "My App",
        "main": "https://example.com/start",
        "chromium-args": "--disable-gpu --lang=fr",
        "window": {"title": "T\u00edtulo", "width": 640, "height": 480, "icon": "img/icon.png",
                   "resizable": false, "background-color": "#0a1B2c",
                   "pause-when-minimized": false, "fullscreen-keys": false},
        "settings": {"distribution-mode": "fixed", "hosting-mode": "window-to-visual",
                     "content-mode": "remote", "enable-devtools": false,
                     "cross-origin-isolation": true},
        "messages": {"install-webview2": "I", "downloading": "D", "install-webview2-failed": "F",
                     "page-crashed": "C", "page-unresponsive": "U"},
        "unknown": {"anything": [1, 2, 3]}
    })");
    EXPECT_EQ(config.name, "My App");
    EXPECT_EQ(config.main, "https://example.com/start");
    EXPECT_EQ(config.chromiumArgs, "--disable-gpu --lang=fr");
    EXPECT_EQ(config.title, "T\xC3\xADtulo");
    EXPECT_EQ(config.width, 640);
    EXPECT_EQ(config.height, 480);
    EXPECT_EQ(config.icon, "img/icon.png");
    EXPECT_FALSE(config.resizable);
    EXPECT_EQ(config.distributionMode, DistributionMode::Fixed);
    EXPECT_EQ(config.hostingMode, HostingMode::WindowToVisual);
    EXPECT_EQ(config.contentMode, ContentMode::Remote);
    EXPECT_FALSE(config.enableDevtools);
    EXPECT_EQ(config.installWebView2Message, "I");
    EXPECT_EQ(config.downloadingMessage, "D");
    EXPECT_EQ(config.installWebView2FailedMessage, "F");
    EXPECT_EQ(config.backgroundColor, 0x0A1B2Cu);
    EXPECT_FALSE(config.pauseWhenMinimized);
    EXPECT_FALSE(config.fullscreenKeys);
    EXPECT_TRUE(config.crossOriginIsolation);
    EXPECT_EQ(config.pageCrashedMessage, "C");
    EXPECT_EQ(config.pageUnresponsiveMessage, "U");
}

TEST(AppConfigTest, OnlyAWrittenColourIsAColour) {
    const struct {
        const char* text;
        std::optional<uint32_t> color;
    } cases[] = {
        {"#000000", 0x000000}, {"#FFFFFF", 0xFFFFFF}, {"#a0B1c2", 0xA0B1C2},
        {"", std::nullopt},    {"#FFF", std::nullopt}, {"000000", std::nullopt},
        {"#0000000", std::nullopt}, {"#00000g", std::nullopt}, {"# 00000", std::nullopt},
        {"black", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseColor(c.text), c.color) << c.text;
        const nlohmann::json package = {{"name", "x"}, {"window", {{"background-color", c.text}}}};
        EXPECT_EQ(Load(package.dump()).backgroundColor, c.color) << c.text;
    }
    // Not a string: the default, white, as for every key of the wrong type.
    EXPECT_EQ(Load(R"({"name":"x","window":{"background-color":0}})").backgroundColor, 0xFFFFFFu);
}

TEST(AppConfigTest, ModeValuesMapToTheirEnumerators) {
    struct Case {
        const char* settings;
        DistributionMode distribution;
        HostingMode hosting;
        ContentMode content;
    } const cases[] = {
        {R"({"distribution-mode":"evergreen"})", DistributionMode::Evergreen, HostingMode::Windowed,
         ContentMode::Bundle},
        {R"({"distribution-mode":"fixed"})", DistributionMode::Fixed, HostingMode::Windowed,
         ContentMode::Bundle},
        {R"({"hosting-mode":"windowed"})", DistributionMode::Evergreen, HostingMode::Windowed,
         ContentMode::Bundle},
        {R"({"hosting-mode":"window-to-visual"})", DistributionMode::Evergreen,
         HostingMode::WindowToVisual, ContentMode::Bundle},
        {R"({"content-mode":"bundle"})", DistributionMode::Evergreen, HostingMode::Windowed,
         ContentMode::Bundle},
        {R"({"content-mode":"remote"})", DistributionMode::Evergreen, HostingMode::Windowed,
         ContentMode::Remote},
        {R"({"distribution-mode":"fixed","hosting-mode":"window-to-visual","content-mode":"remote"})",
         DistributionMode::Fixed, HostingMode::WindowToVisual, ContentMode::Remote},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        const AppConfig config = Load(std::string(R"({"name":"x","settings":)") + c.settings + "}");
        EXPECT_EQ(config.distributionMode, c.distribution);
        EXPECT_EQ(config.hostingMode, c.hosting);
        EXPECT_EQ(config.contentMode, c.content);
    }
}

TEST(AppConfigTest, EnumerationsAre32BitWithFixedValues) {
    static_assert(sizeof(DistributionMode) == 4 && sizeof(HostingMode) == 4 &&
                  sizeof(ContentMode) == 4);
    EXPECT_EQ(static_cast<int32_t>(DistributionMode::Evergreen), 0);
    EXPECT_EQ(static_cast<int32_t>(DistributionMode::Fixed), 1);
    EXPECT_EQ(static_cast<int32_t>(HostingMode::Windowed), 0);
    EXPECT_EQ(static_cast<int32_t>(HostingMode::WindowToVisual), 1);
    EXPECT_EQ(static_cast<int32_t>(ContentMode::Bundle), 0);
    EXPECT_EQ(static_cast<int32_t>(ContentMode::Remote), 1);
}

struct RejectCase {
    std::string text;
    const char* error;
};

TEST(AppConfigTest, RejectionsCarryTheirExactText) {
    const RejectCase cases[] = {
        // Name missing, empty, of another type, or a root that is not an object.
        {R"({"name":""})", "invalid name"},
        {R"({})", "invalid name"},
        {R"([])", "invalid name"},
        {R"(["name","x"])", "invalid name"},
        {R"("x")", "invalid name"},
        {R"(5)", "invalid name"},
        {R"(null)", "invalid name"},
        {R"(true)", "invalid name"},
        {R"({"name":5})", "invalid name"},
        {R"({"name":null})", "invalid name"},
        {R"({"name":["x"]})", "invalid name"},
        {R"({"name":{"name":"x"}})", "invalid name"},
        {R"({"Name":"x"})", "invalid name"},
        {R"({"window":{"name":"x"}})", "invalid name"},
        // Mode strings are compared exactly and case-sensitively.
        {R"({"name":"x","settings":{"distribution-mode":"Fixed"}})", "invalid distribution mode"},
        {R"({"name":"x","settings":{"distribution-mode":"EVERGREEN"}})",
         "invalid distribution mode"},
        {R"({"name":"x","settings":{"distribution-mode":""}})", "invalid distribution mode"},
        {R"({"name":"x","settings":{"distribution-mode":"fixed "}})", "invalid distribution mode"},
        {R"({"name":"x","settings":{"distribution-mode":"windowed"}})",
         "invalid distribution mode"},
        {R"({"name":"x","settings":{"hosting-mode":"Windowed"}})", "invalid hosting mode"},
        {R"({"name":"x","settings":{"hosting-mode":"window_to_visual"}})", "invalid hosting mode"},
        {R"({"name":"x","settings":{"hosting-mode":""}})", "invalid hosting mode"},
        {R"({"name":"x","settings":{"hosting-mode":"bundle"}})", "invalid hosting mode"},
        {R"({"name":"x","settings":{"content-mode":"Remote"}})", "invalid content mode"},
        {R"({"name":"x","settings":{"content-mode":" bundle"}})", "invalid content mode"},
        {R"({"name":"x","settings":{"content-mode":""}})", "invalid content mode"},
        {R"({"name":"x","settings":{"content-mode":"fixed"}})", "invalid content mode"},
        // A zero byte inside the mode string makes it differ from every accepted value.
        {R"({"name":"x","settings":{"content-mode":"remote\u0000"}})", "invalid content mode"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LoadError(c.text), c.error);
    }
}

TEST(AppConfigTest, RejectionsFollowTheOrderOfTheChecks) {
    const RejectCase cases[] = {
        {R"({"name":"","settings":{"distribution-mode":"x","hosting-mode":"x","content-mode":"x"}})",
         "invalid name"},
        {R"({"name":"a","settings":{"distribution-mode":"x","hosting-mode":"x","content-mode":"x"}})",
         "invalid distribution mode"},
        {R"({"name":"a","settings":{"content-mode":"x","hosting-mode":"x"}})",
         "invalid hosting mode"},
        {R"({"name":"a","settings":{"content-mode":"x","distribution-mode":"fixed"}})",
         "invalid content mode"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LoadError(c.text), c.error);
    }
}

TEST(AppConfigTest, RejectionIsAStandardRuntimeError) {
    AppConfig config;
    EXPECT_THROW(LoadAppConfig(R"({"name":""})", config), std::runtime_error);
    EXPECT_THROW(LoadAppConfig(R"({"name":"x","settings":{"content-mode":"?"}})", config),
                 std::runtime_error);
}

TEST(AppConfigTest, ValuesOfTheWrongTypeTakeTheDefault) {
    const char* const texts[] = {
        R"({"name":"x","main":5,"chromium-args":["--a"],
            "window":{"title":null,"width":"800","height":true,"icon":7,"resizable":0},
            "settings":{"distribution-mode":1,"hosting-mode":{},"content-mode":[],
                        "enable-devtools":"false"},
            "messages":{"install-webview2":1,"downloading":false,"install-webview2-failed":{}}})",
        R"({"name":"x","window":5,"settings":"fixed","messages":[]})",
        R"({"name":"x","window":null,"settings":null,"messages":null})",
        R"({"name":"x","window":[{"width":5}],"settings":[{"content-mode":"remote"}],
            "messages":"Downloading"})",
        R"({"name":"x","window":{},"settings":{},"messages":{}})",
        R"({"name":"x","window":{"resizable":1},"settings":{"enable-devtools":0}})",
        R"({"name":"x","window":{"resizable":"false"},"settings":{"enable-devtools":null}})",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ExpectDefaultsExceptName(Load(text));
    }
}

TEST(AppConfigTest, KeysAreReadOnlyFromTheirOwnSection) {
    // Every key placed in a section it does not belong to is ignored.
    const AppConfig config = Load(R"({
        "name": "x",
        "title": "T", "width": 1, "height": 2, "icon": "i", "resizable": false,
        "distribution-mode": "fixed", "hosting-mode": "window-to-visual",
        "content-mode": "remote", "enable-devtools": false,
        "install-webview2": "I", "downloading": "D", "install-webview2-failed": "F",
        "window": {"chromium-args": "--a", "main": "m", "name": "n", "content-mode": "remote",
                   "downloading": "D"},
        "settings": {"chromium-args": "--b", "title": "T", "width": 3, "resizable": false},
        "messages": {"chromium-args": "--c", "content-mode": "remote", "enable-devtools": false}
    })");
    EXPECT_EQ(config.name, "x");
    ExpectDefaultsExceptName(config);
}

TEST(AppConfigTest, SectionsNestedDeeperAreIgnored) {
    const AppConfig config = Load(
        R"({"name":"x","window":{"window":{"width":5}},"settings":{"settings":{"content-mode":"bogus"}}})");
    EXPECT_EQ(config.width, 1024);
    EXPECT_EQ(config.contentMode, ContentMode::Bundle);
}

TEST(AppConfigTest, NumbersBecomeInt32WithoutRangeCheck) {
    struct Case {
        const char* width;
        int32_t expected;
    } const cases[] = {
        {"800.9", 800},    {"-2.5", -2},
        {"4294967297", 1}, {"0", 0},
        {"-100", -100},    {"2147483648", INT32_MIN},
        {"1e3", 1000},     {"4294967296.5", INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const std::string text = std::string(R"({"name":"x","window":{"width":)") + c.width +
                                 R"(,"height":)" + c.width + "}}";
        const AppConfig config = Load(text);
        EXPECT_EQ(config.width, c.expected);
        EXPECT_EQ(config.height, c.expected);
    }
}

TEST(AppConfigTest, DuplicateKeysKeepTheLastValue) {
    EXPECT_EQ(Load(R"({"name":"a","name":"b"})").name, "b");
    EXPECT_EQ(Load(R"({"name":"","name":"b"})").name, "b");
    EXPECT_EQ(LoadError(R"({"name":"b","name":""})"), "invalid name");
    EXPECT_EQ(Load(R"({"name":"x","window":{"width":1},"window":{"height":2}})").width, 1024);
    EXPECT_EQ(LoadError(R"({"name":"x","settings":{"content-mode":"remote","content-mode":"R"}})"),
              "invalid content mode");
    EXPECT_EQ(
        Load(R"({"name":"x","settings":{"content-mode":"R","content-mode":"remote"}})").contentMode,
        ContentMode::Remote);
}

TEST(AppConfigTest, LeadingByteOrderMarkIsAccepted) {
    const AppConfig config = Load("\xEF\xBB\xBF{\"name\":\"bom\",\"window\":{\"width\":5}}");
    EXPECT_EQ(config.name, "bom");
    EXPECT_EQ(config.width, 5);
}

TEST(AppConfigTest, TextIsReadUpToTheFirstZeroByte) {
    const std::string trailing = "{\"name\":\"x\"}\0 this is not JSON {"s;
    ASSERT_EQ(trailing.size(), 32u);
    EXPECT_EQ(Load(trailing).name, "x");

    // The zero byte cuts the document short, so what is left is incomplete.
    const std::string cut = "{\"name\":\"x\"\0}"s;
    AppConfig config;
    EXPECT_THROW(LoadAppConfig(cut, config), nlohmann::json::parse_error);

    const std::string leading = "\0{\"name\":\"x\"}"s;
    EXPECT_THROW(LoadAppConfig(leading, config), nlohmann::json::parse_error);
}

TEST(AppConfigTest, SyntaxErrorsPropagateAsJsonExceptions) {
    const std::string texts[] = {
        "",
        "   ",
        R"({"name":"x"} // comment)",
        "// comment\n{\"name\":\"x\"}",
        R"({"name":"x" /* comment */})",
        R"({"name":"x"} {"name":"y"})",
        R"({"name":"x"} 1)",
        R"({"name":"x"},)",
        R"({"name":"x",})",
        R"({'name':'x'})",
        R"({name:"x"})",
        R"({"name":"x")",
        R"({"name":"x","window":{"width":NaN}})",
        R"({"name":"x","window":{"width":0x10}})",
        R"({"name":"x","window":{"width":+1}})",
        R"({"name":"x","window":{"width":01}})",
        "{\"name\":\"\xFF\"}",                       // invalid UTF-8
        "\xEF\xBB{\"name\":\"x\"}",                  // incomplete byte-order mark
        "\xEF\xBB\xBF\xEF\xBB\xBF{\"name\":\"x\"}",  // two byte-order marks
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        AppConfig config;
        EXPECT_THROW(LoadAppConfig(text, config), nlohmann::json::parse_error);
    }
}

TEST(AppConfigTest, NumberTooLargeForADoubleIsAJsonException) {
    AppConfig config;
    EXPECT_THROW(LoadAppConfig(R"({"name":"x","window":{"width":1e400}})", config),
                 nlohmann::json::exception);
}

TEST(AppConfigTest, WhitespaceAroundTheDocumentIsAllowed) {
    EXPECT_EQ(Load(" \t\r\n{\"name\":\"x\"} \t\r\n").name, "x");
}

TEST(AppConfigTest, NameIsTakenVerbatim) {
    struct Case {
        const char* text;
        std::string name;
    } const cases[] = {
        {R"({"name":" "})", " "},
        {R"({"name":"a/b\\c"})", "a/b\\c"},
        {R"({"name":"\u00e9"})", "\xC3\xA9"},
        {R"({"name":"\u0000"})", std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Load(c.text).name, c.name);
    }
}

}  // namespace
}  // namespace vandrel
