// The Win32 side of the shared utilities, on Wine's real file system and conversions.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "host_driver.h"
#include "win32/util/dpi_win.h"
#include "win32/util/files.h"
#include "win32/util/icon.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"

// gdiplus.h wants min and max from windows.h, which the build turns off.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <objidl.h>

namespace vandrel {
namespace {

using testing::AppFolder;

TEST(TextConversion, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        {"", L""},
        {"A\xFF"
         "B",
         L"A\uFFFDB"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},  // zero bytes are carried
        {"\xF0\x9F\x8E\xAE", L"\U0001F3AE"},                 // outside the BMP: a surrogate pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.utf8;
    }
}

TEST(TextConversion, LoneSurrogatesBecomeReplacementBytes) {
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(std::wstring{L'x', wchar_t(0xDC00)}), "x\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(WideToUtf8(L"\u00e9\u20AC"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(WideToUtf8(Utf8ToWide("Castle Run \xC3\xA9")), "Castle Run \xC3\xA9");
}

TEST(Trace, NamesEachFailedCallAndPassesTheResultOn) {
    std::vector<std::wstring> lines;
    SetTraceSinkForTesting([&lines](const std::wstring& line) { lines.push_back(line); });
    EXPECT_EQ(Traced(S_OK, "ICoreWebView2::Navigate"), S_OK);
    EXPECT_EQ(Traced(S_FALSE, "CoInitializeEx"), S_FALSE);  // a success, though not S_OK
    EXPECT_EQ(Traced(E_NOTIMPL, "ICoreWebView2Settings::put_IsZoomControlEnabled"), E_NOTIMPL);
    SetLastError(ERROR_ACCESS_DENIED);
    TraceFailure("ShellExecuteW");
    SetTraceSinkForTesting(nullptr);
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         L"vandrel: ICoreWebView2Settings::put_IsZoomControlEnabled failed "
                         L"(0x80004001)\n",
                         L"vandrel: ShellExecuteW failed (0x00000005)\n"}));
}

class FilesTest : public ::testing::Test {
protected:
    std::string Path(const std::wstring& relative) { return testing::Utf8(app.PathOf(relative)); }
    AppFolder app;
};

TEST_F(FilesTest, ExistenceAndSize) {
    app.Write(L"seven.txt", "1234567");
    app.Write(L"empty.txt", "");
    app.MakeFolder(L"dir");
    EXPECT_TRUE(FileExists(Path(L"seven.txt")));
    EXPECT_TRUE(FileExists(Path(L"dir")));  // a directory counts
    EXPECT_FALSE(FileExists(Path(L"missing.txt")));
    EXPECT_EQ(GetFileSize32(Path(L"seven.txt")), 7);
    EXPECT_EQ(GetFileSize32(Path(L"empty.txt")), 0);
    EXPECT_EQ(GetFileSize32(Path(L"dir")), 0);
    EXPECT_EQ(GetFileSize32(Path(L"missing.txt")), 0);
    // Forward slashes work like backslashes.
    app.MakeFolder(L"a\\b");
    app.Write(L"a\\b\\c.txt", "xy");
    EXPECT_EQ(GetFileSize32(Path(L"a/b/c.txt")), 2);
}

TEST_F(FilesTest, SizesFrom2GiBUpAreZero) {
    // Sparse files: the size is set without writing the bytes.
    auto make = [&](const std::wstring& name, LONGLONG size) {
        HANDLE file = CreateFileW(app.PathOf(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at{};
        at.QuadPart = size;
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    };
    make(L"just-under.bin", 0x7FFFFFFF);
    make(L"two-gib.bin", 0x80000000LL);
    make(L"four-gib-and-one.bin", 0x100000001LL);
    EXPECT_EQ(GetFileSize32(Path(L"just-under.bin")), 0x7FFFFFFF);
    EXPECT_EQ(GetFileSize32(Path(L"two-gib.bin")), 0);
    EXPECT_EQ(GetFileSize32(Path(L"four-gib-and-one.bin")), 0);
}

TEST_F(FilesTest, ReadWholeFile) {
    const std::string bytes("\xEF\xBB\xBF{}\r\n\0tail", 11);
    app.Write(L"data.bin", bytes);
    app.Write(L"empty.bin", "");
    app.MakeFolder(L"dir");
    EXPECT_EQ(ReadWholeFile(Path(L"data.bin")), bytes);  // no newline translation
    EXPECT_EQ(ReadWholeFile(Path(L"empty.bin")), "");
    EXPECT_EQ(ReadWholeFile(Path(L"missing.bin")), "");
    EXPECT_EQ(ReadWholeFile(Path(L"dir")), "");

    HANDLE lock = CreateFileW(app.PathOf(L"data.bin").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadWholeFile(Path(L"data.bin")), "");  // cannot be opened
    CloseHandle(lock);
}

TEST_F(FilesTest, PathsLongerThanMaxPathWork) {
    std::wstring relative;
    for (int i = 0; i < 12; ++i) {
        relative += L"a-rather-long-folder-name-" + std::to_wstring(i) + L"\\";
    }
    ASSERT_TRUE(std::filesystem::create_directories(
        std::filesystem::path(L"\\\\?\\" + app.Path() + relative)));
    std::ofstream(std::filesystem::path(L"\\\\?\\" + app.Path() + relative + L"file.txt"))
        << "deep";
    const std::string path = Path(relative + L"file.txt");
    ASSERT_GT(path.size(), 260u);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(GetFileSize32(path), 4);
    EXPECT_EQ(ReadWholeFile(path), "deep");
}

TEST(Platform, ExecutablePathAndKnownFolders) {
    const std::string exe = GetExePath();
    EXPECT_EQ(exe, testing::Utf8(testing::TestBinaryFolder()) + "vandrel_windows_tests.exe");
    EXPECT_EQ(GetExePath(), exe);  // cached

    PWSTR expected = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &expected)));
    EXPECT_EQ(GetKnownFolder(FOLDERID_LocalAppData), testing::Utf8(expected));
    CoTaskMemFree(expected);
    EXPECT_NE(GetKnownFolder(FOLDERID_LocalAppData).back(), '\\');
}

TEST(Platform, ScaleForDpiIsTheIdentityAt96Dpi) {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    ASSERT_EQ(dpi, 96) << "the test display runs at 96 DPI";
    for (int v : {0, 1, 801, 1024, -10}) {
        EXPECT_EQ(ScaleForDpi(v), v);
    }
}

// A 24-bit bottom-up BMP of width by height, every pixel the same colour.
std::string SolidBitmap(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
    const int stride = (width * 3 + 3) & ~3;
    const int pixelBytes = stride * height;
    std::string bmp(54 + pixelBytes, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    bmp[26] = 1;
    bmp[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t at = 54 + static_cast<size_t>(y) * stride + x * 3;
            bmp[at] = static_cast<char>(b);
            bmp[at + 1] = static_cast<char>(g);
            bmp[at + 2] = static_cast<char>(r);
        }
    }
    return bmp;
}

class IconTest : public FilesTest {
protected:
    GdiplusSession gdiplus_ = StartGdiplus();
};

TEST_F(IconTest, MakesAnIconAtTheImagesOwnSize) {
    app.MakeFolder(L"img");
    app.Write(L"img\\red.bmp", SolidBitmap(20, 12, 255, 0, 0));
    const UniqueIcon icon = LoadIconFromImage(Path(L"img/red.bmp"));  // forward slashes are fine
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 20);
    EXPECT_EQ(bitmap.bmHeight, 12);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST_F(IconTest, MissingOrUndecodableFilesGiveNoIconAndTheAppTheStockOne) {
    app.Write(L"not-an-image.png", "this is text, not an image");
    app.Write(L"empty.png", "");
    app.MakeFolder(L"folder.png");
    const HICON stock = LoadIconW(nullptr, IDI_APPLICATION);
    for (const wchar_t* name : {L"missing.png", L"not-an-image.png", L"empty.png", L"folder.png"}) {
        EXPECT_FALSE(LoadIconFromImage(Path(name))) << testing::Utf8(name);
        EXPECT_EQ(AppIcon(Path(name)).Get(), stock) << testing::Utf8(name);
    }
    EXPECT_EQ(AppIcon("").Get(), stock);
    app.Write(L"red.bmp", SolidBitmap(4, 4, 255, 0, 0));
    const AppIcon made(Path(L"red.bmp"));
    EXPECT_NE(made.Get(), stock);
    EXPECT_NE(made.Get(), nullptr);
}

}  // namespace
}  // namespace vandrel
