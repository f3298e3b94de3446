// The installers that `vandrel build --installer` made (test ToolAppInstallers): installed
// silently for the current user, the app started from where it went, a newer version installed
// over it, and the uninstaller leaving nothing of the app behind but the player's data.
#include <gtest/gtest.h>
#include <windows.h>
#include <knownfolders.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\installed-hello";

fs::path Installers() {
    std::wstring path = L"Z:" + Wide(VANDREL_INSTALLERS);
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

// Runs `commandLine` and waits for it; its exit code.
DWORD RunAndWait(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return GetLastError() | 0x80000000u;
    }
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

// A value of the app's uninstall key, or nullopt when the key or value is missing.
std::optional<std::wstring> KeyValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

std::set<fs::path> Files(const fs::path& folder) {
    std::set<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        files.insert(entry.path().lexically_relative(folder));
    }
    return files;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(InstalledApp, InstallsRunsUpgradesAndUninstalls) {
    const fs::path local = KnownFolderPath(FOLDERID_LocalAppData);
    const fs::path installed = local / L"Programs" / L"installed-hello";
    const fs::path shortcut = fs::path(KnownFolderPath(FOLDERID_Programs)) / L"Installed Hello.lnk";
    const fs::path userData = local / L"installed-hello";
    std::error_code ec;
    fs::remove_all(userData, ec);

    ASSERT_EQ(RunAndWait(L"\"" + (Installers() / L"v1-setup.exe").wstring() + L"\" /S"), 0u);
    for (const wchar_t* file : {L"installed-hello.exe", L"package.json", L"WebView2Loader.dll",
                                L"www\\index.html", L"www\\old.txt", L"uninstall.exe"}) {
        EXPECT_TRUE(fs::is_regular_file(installed / file)) << Utf8(file);
    }
    EXPECT_TRUE(fs::is_regular_file(shortcut));
    EXPECT_EQ(KeyValue(L"DisplayName"), L"Installed Hello");
    EXPECT_EQ(KeyValue(L"DisplayVersion"), L"0.1.0");
    EXPECT_EQ(KeyValue(L"Publisher"), L"Vandrel Tests");
    EXPECT_EQ(KeyValue(L"InstallLocation"), installed.wstring());
    EXPECT_EQ(KeyValue(L"QuietUninstallString"),
              L"\"" + (installed / L"uninstall.exe").wstring() + L"\" /S");
    const std::set<fs::path> installedFiles = Files(installed);

    {
        // Started from where it was installed, with the stand-in runtime, it serves its page.
        AppFolder app(installed.wstring() + L"\\");
        app.InstallEvergreenRuntime();
        HostProcess host(app, L"installed-hello.exe");
        ASSERT_TRUE(host.Started());
        const HWND window = host.WaitForWindow(L"WindowsWebview2Wrapper");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(app.WaitForCall([](const json& e) { return e.value("call", "") == "Navigate"; }));
        const auto entries = app.PlayAndWait(
            {{"cmd", "request"}, {"uri", std::string(kAppOrigin) + "index.html"}});
        ASSERT_TRUE(entries);
        int status = 0;
        for (const json& e : *entries) {
            if (e.value("event", "") == "response") {
                status = e.value("status", 0);
            }
        }
        EXPECT_EQ(status, 200);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(host.WaitForExit(), 0u);
    }
    EXPECT_TRUE(fs::is_directory(userData)) << "the player's data folder";
    // What the stand-in runtime wrote beside the app goes: it is no file of the installer's.
    for (const fs::path& file : Files(installed)) {
        if (installedFiles.count(file) == 0) {
            fs::remove_all(installed / file, ec);
        }
    }

    ASSERT_EQ(RunAndWait(L"\"" + (Installers() / L"v2-setup.exe").wstring() + L"\" /S"), 0u);
    EXPECT_EQ(KeyValue(L"DisplayVersion"), L"0.2.0");
    EXPECT_FALSE(fs::exists(installed / L"www\\old.txt")) << "left from the first version";
    EXPECT_TRUE(fs::is_regular_file(installed / L"www\\index.html"));
    EXPECT_NE(Read(installed / L"package.json").find("\"0.2.0\""), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(shortcut));

    // The uninstaller copies itself away and returns at once; it is done when the folder is.
    const std::optional<std::wstring> uninstall = KeyValue(L"QuietUninstallString");
    ASSERT_TRUE(uninstall);
    ASSERT_EQ(RunAndWait(*uninstall), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(installed) && !KeyValue(L"DisplayName"); },
                          30000))
        << "left: " << Files(installed).size() << " files";
    EXPECT_FALSE(fs::exists(shortcut));
    EXPECT_TRUE(fs::is_directory(userData)) << "the player's data stays";
    fs::remove_all(userData, ec);
}

}  // namespace
}  // namespace vandrel::testing
