// Start-up of the real vandrel-host.exe under Wine, seen as a user sees it: message boxes, the
// main window, the exit code, and what reached the (stand-in) WebView2 runtime.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "bundle_builder.h"
#include "host_driver.h"

namespace vandrel::testing {
namespace {

const std::wstring kFixedCaption = L"Windows WebView2 wrapper";
const std::wstring kLoadFailed =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
const std::wstring kParseFailed =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";
const std::wstring kFixedMissing =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to "
    L"initialize. Check there is a valid fixed distribution of Microsoft Edge WebView2 runtime in "
    L"the \"webview2\" subfolder.";

std::wstring LocalAppData() {
    return KnownFolderPath(FOLDERID_LocalAppData);
}

// One start that must end in a single message box and exit code 1.
struct FailedStart {
    const char* name;
    void (*prepare)(AppFolder&);
    std::wstring caption;
    std::wstring text;
};

void PrintTo(const FailedStart& c, std::ostream* os) {
    *os << c.name;
}

class StartupFailure : public ::testing::TestWithParam<FailedStart> {};

TEST_P(StartupFailure, ShowsOneMessageAndExitsWithOne) {
    AppFolder app;
    GetParam().prepare(app);
    HostProcess host(app);
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(host.DismissMessageBox(),
              (MessageBoxSeen{GetParam().caption, GetParam().text, MB_ICONERROR}))
        << "no message box";
    EXPECT_EQ(host.WaitForExit(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Package, StartupFailure,
    ::testing::Values(
        FailedStart{"Missing", [](AppFolder&) {}, kFixedCaption, kLoadFailed},
        FailedStart{"Empty", [](AppFolder& a) { a.Write(L"package.json", ""); }, kFixedCaption,
                    kLoadFailed},
        FailedStart{"Directory", [](AppFolder& a) { a.MakeFolder(L"package.json"); }, kFixedCaption,
                    kLoadFailed},
        FailedStart{"InvalidJson",
                    [](AppFolder& a) { a.Write(L"package.json", "{\"name\":\"x\",}"); },
                    kFixedCaption, kParseFailed},
        FailedStart{"Comment",
                    [](AppFolder& a) { a.Write(L"package.json", "{\"name\":\"x\"} // hi"); },
                    kFixedCaption, kParseFailed},
        FailedStart{"MissingName",
                    [](AppFolder& a) { a.Write(L"package.json", "{\"main\":\"index.html\"}"); },
                    kFixedCaption, kParseFailed},
        FailedStart{"EmptyName", [](AppFolder& a) { a.Write(L"package.json", "{\"name\":\"\"}"); },
                    kFixedCaption, kParseFailed},
        FailedStart{"InvalidMode",
                    [](AppFolder& a) {
                        a.InstallEvergreenRuntime();
                        a.Write(L"package.json",
                                R"({"name":"x","settings":{"content-mode":"Bundle"}})");
                    },
                    kFixedCaption, kParseFailed},
        FailedStart{"FixedRuntimeMissing",
                    [](AppFolder& a) {
                        a.InstallEvergreenRuntime();  // fixed mode must not fall back to it
                        a.Write(L"package.json",
                                R"({"name":"x","window":{"title":"Castle Run \u00e9"},)"
                                R"("settings":{"distribution-mode":"fixed"}})");
                    },
                    L"Castle Run \u00e9", kFixedMissing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, UnreadablePackageGivesTheLoadFailure) {
    AppFolder app;
    app.Write(L"package.json", R"({"name":"x"})");
    // Held open without sharing, so the host cannot read it.
    HANDLE lock = CreateFileW(app.PathOf(L"package.json").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    HostProcess host(app);
    auto box = host.DismissMessageBox();
    CloseHandle(lock);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, kFixedCaption);
    EXPECT_EQ(box->text, kLoadFailed);
    EXPECT_EQ(host.WaitForExit(), 1u);
}

TEST(Startup, EvergreenWithoutRuntimeShowsInstallThenFailureTexts) {
    AppFolder app;
    app.Write(L"package.json", R"({"name":"x","window":{"title":"My Game"},
        "messages":{"install-webview2":"Installing now","install-webview2-failed":"No luck"}})");
    HostProcess host(app);
    EXPECT_EQ(host.DismissMessageBox(),
              (MessageBoxSeen{L"My Game", L"Installing now", MB_ICONINFORMATION}));
    EXPECT_EQ(host.DismissMessageBox(), (MessageBoxSeen{L"My Game", L"No luck", MB_ICONERROR}));
    EXPECT_EQ(host.WaitForExit(), 1u);
    // Nothing beyond the two runtime checks happened.
    EXPECT_EQ(app.RuntimeCalls("GetAvailableCoreWebView2BrowserVersionString").size(), 2u);
    EXPECT_TRUE(app.RuntimeCalls("CreateCoreWebView2EnvironmentWithOptions").empty());
}

// A start that reaches the message loop, checked window by window.
struct RunningStart {
    const char* name;
    std::string package;
    bool fixedRuntime;
    LONG clientWidth;
    LONG clientHeight;
    bool resizable;
    const char* browserFolder;  // what the runtime receives; null for the installed runtime
    const char* appName;
    const char* arguments;
};

void PrintTo(const RunningStart& c, std::ostream* os) {
    *os << c.name;
}

class RunningHost : public ::testing::TestWithParam<RunningStart> {};

// The host's request for an environment, waited for up to five seconds; nullopt when it was not
// made, or made more than once.
std::optional<nlohmann::json> EnvironmentRequest(const AppFolder& app) {
    std::vector<nlohmann::json> created;
    for (int i = 0; i < 250 && created.empty(); ++i) {
        Sleep(20);
        created = app.RuntimeCalls("CreateCoreWebView2EnvironmentWithOptions");
    }
    if (created.size() != 1) {
        return std::nullopt;
    }
    return created[0];
}

TEST_P(RunningHost, ReachesTheLoopWithAHiddenWindowAndClosesWithZero) {
    const RunningStart& c = GetParam();
    AppFolder app;
    app.Write(L"package.json", c.package);
    if (c.fixedRuntime) {
        app.MakeFolder(L"webview2");
        app.Write(L"webview2\\msedgewebview2.exe", "");
    } else {
        app.InstallEvergreenRuntime();
    }
    HostProcess host(app);
    HWND window = host.WaitForWindow(L"WindowsWebview2Wrapper");
    ASSERT_NE(window, nullptr);

    // The environment is asked for once the window exists.
    const std::optional<nlohmann::json> created = EnvironmentRequest(app);
    ASSERT_TRUE(created.has_value());
    const nlohmann::json& call = *created;
    if (c.browserFolder == nullptr) {
        EXPECT_TRUE(call["browserFolder"].is_null());
    } else {
        EXPECT_EQ(call["browserFolder"], c.browserFolder);
    }
    EXPECT_EQ(call["userDataFolder"], Utf8(LocalAppData()) + "\\" + c.appName);
    EXPECT_EQ(call["additionalBrowserArguments"], c.arguments);
    EXPECT_EQ(call["targetCompatibleBrowserVersion"], "134.0.3124.44");
    EXPECT_TRUE(call["hasHandler"].get<bool>());
    EXPECT_EQ(call["forcedHostingMode"], "");

    EXPECT_FALSE(IsWindowVisible(window));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, c.clientWidth);
    EXPECT_EQ(client.bottom - client.top, c.clientHeight);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ((style & WS_THICKFRAME) != 0, c.resizable);
    EXPECT_EQ((style & WS_MAXIMIZEBOX) != 0, c.resizable);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitForExit(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Window, RunningHost,
    ::testing::Values(
        RunningStart{"Defaults", R"({"name":"Castle Run"})", false, 1024, 768, true, nullptr,
                     "Castle Run", ""},
        RunningStart{"SizedFixedSize",
                     "\xEF\xBB\xBF"
                     R"({"name":"sized","chromium-args":"--disable-gpu --lang=fr",)"
                     R"("window":{"width":640.7,"height":480,"resizable":false}})",
                     false, 640, 480, false, nullptr, "sized", "--disable-gpu --lang=fr"},
        RunningStart{"FixedRuntime",
                     R"({"name":"fixed app","settings":{"distribution-mode":"fixed"}})", true, 1024,
                     768, true, "webview2", "fixed app", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, WindowToVisualHostingSetsTheForcedModeBeforeTheEnvironment) {
    AppFolder app;
    app.InstallEvergreenRuntime();
    app.Write(L"package.json", R"({"name":"x","settings":{"hosting-mode":"window-to-visual"}})");
    HostProcess host(app);
    HWND window = host.WaitForWindow(L"WindowsWebview2Wrapper");
    ASSERT_NE(window, nullptr);
    const std::optional<nlohmann::json> created = EnvironmentRequest(app);
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ((*created)["forcedHostingMode"], "COREWEBVIEW2_HOSTING_MODE_WINDOW_TO_VISUAL");
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitForExit(), 0u);
}

}  // namespace
}  // namespace vandrel::testing

namespace vandrel::testing {
namespace {

// A bundle that cannot be read is reported once; the host then goes on to its window.
struct BadBundle {
    const char* name;
    void (*prepare)(AppFolder&);
};

void PrintTo(const BadBundle& c, std::ostream* os) {
    *os << c.name;
}

class UnreadableBundle : public ::testing::TestWithParam<BadBundle> {};

TEST_P(UnreadableBundle, IsReportedOnceThenTheWindowComes) {
    AppFolder app;
    app.InstallEvergreenRuntime();
    app.Write(L"package.json", R"({"name":"bundled"})");
    app.MakeFolder(L"www");
    GetParam().prepare(app);
    HostProcess host(app);
    EXPECT_EQ(host.DismissMessageBox(),
              (MessageBoxSeen{kFixedCaption, L"Error reading asset bundle", MB_ICONERROR}));
    host.ExpectQuietRunThenClose();  // no second message
}

INSTANTIATE_TEST_SUITE_P(
    Bundle, UnreadableBundle,
    ::testing::Values(
        BadBundle{"Empty", [](AppFolder& a) { a.Write(L"www\\assets.dat", ""); }},
        BadBundle{"Directory", [](AppFolder& a) { a.MakeFolder(L"www\\assets.dat"); }},
        BadBundle{"WrongMagic", [](AppFolder& a) { a.Write(L"www\\assets.dat", "not a bundle"); }},
        BadBundle{"CutShort",
                  [](AppFolder& a) {
                      // A valid header whose only chunk runs past the end of the file.
                      a.Write(L"www\\assets.dat",
                              std::string("vdab\0\0\0\0\0\0\0\x10\0\0\0\0blob\0\0\0\0\0\0\0\x09xy",
                                          30));
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, NoBundleAndAMissingIconGiveNoMessage) {
    AppFolder app;
    app.InstallEvergreenRuntime();
    app.Write(L"package.json", R"({"name":"plain","window":{"icon":"icons/missing.png"}})");
    app.MakeFolder(L"www");
    app.Write(L"www\\index.html", "<p>hi</p>");
    HostProcess(app).ExpectQuietRunThenClose();
}

}  // namespace
}  // namespace vandrel::testing

namespace vandrel::testing {
namespace {

TEST(Startup, AReadableBundleGivesNoMessage) {
    const std::string bundle = BundleOfFiles({{"index.html", "<p>hi</p>"}});
    AppFolder app;
    app.InstallEvergreenRuntime();
    app.Write(L"package.json", R"({"name":"bundled"})");
    app.MakeFolder(L"www");
    app.Write(L"www\\assets.dat", bundle);
    HostProcess(app).ExpectQuietRunThenClose();
}

}  // namespace
}  // namespace vandrel::testing
