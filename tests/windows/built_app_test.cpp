// The finished app that `vandrel build examples/hello --bundle` made (test ToolBuiltApp): its
// version resource as Windows reads it, and the renamed executable starting with the stand-in
// runtime and serving the example's start page from its bundle.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

constexpr char kOrigin[] = "https://vandrel.localhost/";

// A path of the build machine as this Windows program sees it.
std::filesystem::path HostPath(const char* unixPath) {
    std::wstring path = L"Z:" + Wide(unixPath);
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

std::string Hex(const std::string& bytes) {
    static const char* kDigits = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[(static_cast<unsigned char>(c) >> 4) & 15]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}

std::wstring VersionText(const std::wstring& file, const wchar_t* key) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        return L"<no version resource>";
    }
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return L"<missing>";
    }
    return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(BuiltApp, StartsAndServesTheExamplePage) {
    AppFolder app;
    // The finished folder over the app folder's own host and stand-in runtime.
    const std::filesystem::path built = HostPath(VANDREL_BUILT_APP);
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(built, ec)) {
        const std::filesystem::path target =
            std::filesystem::path(app.Path()) / entry.path().lexically_relative(built);
        if (entry.is_directory()) {
            std::filesystem::create_directories(target);
        } else {
            ASSERT_TRUE(CopyFileW(entry.path().c_str(), target.c_str(), FALSE)) << target;
        }
    }
    ASSERT_FALSE(ec) << ec.message();
    const std::wstring exe = app.PathOf(L"hello-vandrel.exe");
    ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(VersionText(exe, L"ProductName"), L"Hello from Vandrel");
    EXPECT_EQ(VersionText(exe, L"FileDescription"), L"Hello from Vandrel");
    EXPECT_EQ(VersionText(exe, L"ProductVersion"), L"0.1.0");
    HICON large = nullptr;
    ASSERT_EQ(ExtractIconExW(exe.c_str(), 0, &large, nullptr, 1), 1u);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_GT(bitmap.bmWidth, 0);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(large);

    app.InstallEvergreenRuntime();
    HostProcess host(app, L"hello-vandrel.exe");
    ASSERT_TRUE(host.Started());
    const HWND window = host.WaitForWindow(L"WindowsWebview2Wrapper");
    ASSERT_NE(window, nullptr);
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    EXPECT_STREQ(caption, L"Hello from Vandrel");
    const auto navigation =
        app.WaitForCall([](const json& e) { return e.value("call", "") == "Navigate"; });
    ASSERT_TRUE(navigation);
    EXPECT_EQ((*navigation)["uri"], std::string(kOrigin) + "index.html");

    const auto entries =
        app.PlayAndWait({{"cmd", "request"}, {"uri", std::string(kOrigin) + "index.html"}});
    ASSERT_TRUE(entries);
    json response;
    for (const json& e : *entries) {
        if (e.value("event", "") == "response") {
            response = e;
        }
    }
    std::ifstream page(HostPath(VANDREL_EXAMPLE) / "www" / "index.html", std::ios::binary);
    std::ostringstream expected;
    expected << page.rdbuf();
    ASSERT_FALSE(expected.str().empty());
    EXPECT_EQ(response.value("status", 0), 200) << response.dump();
    EXPECT_EQ(response.value("bodyHex", ""), Hex(expected.str()));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(app.Path()) / "www" / "index.html"))
        << "served from the bundle";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitForExit(), 0u);
}

}  // namespace
}  // namespace vandrel::testing
