// The host's real request handler, called in-process with request objects of the stand-in
// runtime, and the whole response read back through the published interfaces.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "bundle_builder.h"
#include "host_driver.h"
#include "portable/webview/link_policy.h"
#include "web_resource.h"
#include "win32/server/content_server.h"

namespace vandrel {
namespace {

using testing::AppFolder;
using testruntime::MakeResponseEnvironment;
using testruntime::MakeWebResourceRequestedArgs;
using testruntime::ReadResponse;

std::string Pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + i * 7);
    }
    return bytes;
}

class ContentServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        app.MakeFolder(L"www\\media");
        app.Write(L"www\\assets.dat", BundleOfFiles({{"js/main.js", "console.log('bundle');"},
                                                     {"media/clip.mp4", Pattern(1000, 'a')},
                                                     {"both.txt", "from the bundle"}}));
        app.Write(L"www\\both.txt", "from the folder");
        app.Write(L"www\\only-folder.css", "body{}");
        app.Write(L"www\\media\\song.ogg", Pattern(1000, 'k'));
        app.Write(L"www\\empty.txt", "");
        folders.exeFolder = testing::Utf8(app.Path());
        folders.userDataFolder = "C:\\data";
        bundle = std::make_unique<BundleImage>(folders.WebFolder() + "assets.dat");
        ASSERT_EQ(bundle->GetState(), BundleImage::State::Read);
        content = std::make_unique<ContentServer>(*bundle, folders, sizeof(kAppOrigin) - 1);
        environment = MakeResponseEnvironment();
    }

    // A response's status line, its header text and whether it has a body.
    static void ExpectHead(const testruntime::ResponseSeen& response, int status,
                           const wchar_t* reason, const std::string& headers, bool hasBody) {
        EXPECT_EQ(response.status, status);
        EXPECT_EQ(response.reason, reason);
        EXPECT_EQ(response.headers, testing::Wide(headers));
        EXPECT_EQ(response.hasBody, hasBody);
    }

    testruntime::ResponseSeen Get(const std::string& path, const wchar_t* range = nullptr) {
        std::vector<std::pair<std::wstring, std::wstring>> headers;
        if (range != nullptr) {
            headers.emplace_back(L"Range", range);
        }
        auto args =
            MakeWebResourceRequestedArgs(testing::Wide(std::string(kAppOrigin) + path), headers);
        EXPECT_EQ(content->OnWebResourceRequested(environment.Get(), args.Get()), S_OK);
        return ReadResponse(args.Get());
    }

    AppFolder app;
    AppFolders folders;
    std::unique_ptr<BundleImage> bundle;
    std::unique_ptr<ContentServer> content;
    testruntime::Ref<ICoreWebView2Environment> environment;
};

TEST_F(ContentServerTest, WholeFilesFromTheBundleAndTheFolder) {
    struct Case {
        std::string path;
        std::string type;
        std::string body;
    };
    const Case cases[] = {
        {"js/main.js", "application/javascript; charset=utf-8", "console.log('bundle');"},
        {"both.txt", "text/plain; charset=utf-8", "from the bundle"},  // the bundle wins
        {"only-folder.css", "text/css; charset=utf-8", "body{}"},
        {"empty.txt", "text/plain; charset=utf-8", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto response = Get(c.path);
        ASSERT_TRUE(response.responded);
        ExpectHead(response, 200, L"OK",
                   "Cache-Control: no-store\nContent-Type: " + c.type +
                       "\nAccept-Ranges: bytes\nContent-Length: " + std::to_string(c.body.size()),
                   true);
        EXPECT_EQ(response.body, c.body);
    }
}

TEST_F(ContentServerTest, RangesOfBundleAndFolderFiles) {
    struct Case {
        std::string path;
        const wchar_t* range;
        std::string contentRange;
        std::string body;
    };
    const std::string clip = Pattern(1000, 'a');
    const std::string song = Pattern(1000, 'k');
    const Case cases[] = {
        {"media/clip.mp4", L"bytes=100-199", "bytes 100-199/1000", clip.substr(100, 100)},
        {"media/clip.mp4", L"bytes=-100", "bytes 900-999/1000", clip.substr(900)},
        {"media/song.ogg", L"bytes=0-0", "bytes 0-0/1000", song.substr(0, 1)},
        {"media/song.ogg", L"  bytes=10-20 ", "bytes 10-20/1000", song.substr(10, 11)},
        {"media/song.ogg", L"bytes=0-", "bytes 0-999/1000", song},  // the whole file, streamed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + testing::Utf8(c.range));
        const auto response = Get(c.path, c.range);
        const std::string type = c.path.ends_with(".mp4") ? "video/mp4" : "audio/ogg";
        ExpectHead(response, 206, L"Partial Content",
                   "Cache-Control: no-store\nContent-Type: " + type +
                       "\nAccept-Ranges: bytes\nContent-Range: " + c.contentRange +
                       "\nContent-Length: " + std::to_string(c.body.size()),
                   true);
        EXPECT_EQ(response.body, c.body);
    }
}

TEST_F(ContentServerTest, MissesAndUnsatisfiableRanges) {
    const auto miss = Get("missing.png");
    ExpectHead(miss, 404, L"Not Found", "Cache-Control: no-store", true);
    EXPECT_EQ(miss.body, "File not found");

    const auto directory = Get("media");
    EXPECT_EQ(directory.status, 404);

    const auto empty = Get("empty.txt", L"bytes=0-");
    ExpectHead(empty, 416, L"Range Not Satisfiable",
               "Cache-Control: no-store\nContent-Type: text/plain; charset=utf-8\n"
               "Accept-Ranges: bytes",
               false);

    EXPECT_EQ(Get("media/clip.mp4", L"bytes=500-1000").status, 416);
}

TEST_F(ContentServerTest, FolderRangesReuseOneMappingAndRemapAGrownFile) {
    const std::string song = Pattern(1000, 'k');
    const std::string songPath = testing::Utf8(app.PathOf(L"www\\media\\song.ogg"));
    EXPECT_EQ(Get("media/song.ogg", L"bytes=0-9").body, song.substr(0, 10));
    ASSERT_EQ(content->FolderViewCount(), 1u);
    const auto view = content->FolderView("media/song.ogg", songPath, 0);
    EXPECT_EQ(Get("media/song.ogg", L"bytes=500-509").body, song.substr(500, 10));
    ASSERT_EQ(content->FolderViewCount(), 1u);
    EXPECT_EQ(content->FolderView("media/song.ogg", songPath, 0), view);  // the same mapping

    // A cached view that no longer covers the range asked for (the file has grown since it was
    // mapped) is never read past: the file is mapped again. Here the cache holds a 10-byte view.
    app.Write(L"www\\ten.bin", "0123456789");
    const auto small =
        content->FolderView("other.ogg", testing::Utf8(app.PathOf(L"www\\ten.bin")), 0);
    ASSERT_TRUE(small);
    ASSERT_EQ(small->Size(), 10u);
    const auto grown = content->FolderView("other.ogg", songPath, 990);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->Size(), 1000u);
    EXPECT_EQ(content->FolderView("other.ogg", songPath, 0), grown);
}

TEST_F(ContentServerTest, AFolderFileThatCannotBeMappedGives500) {
    // Held open without sharing, so the host can neither open nor map it.
    HANDLE lock = CreateFileW(app.PathOf(L"www\\media\\song.ogg").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const auto response = Get("media/song.ogg", L"bytes=10-19");
    CloseHandle(lock);
    ExpectHead(response, 500, L"Internal Server Error",
               "Cache-Control: no-store\nContent-Type: audio/ogg\nAccept-Ranges: bytes\n"
               "Content-Range: bytes 10-19/1000\nContent-Length: 10",
               false);
    EXPECT_EQ(content->FolderViewCount(), 0u);  // nothing cached for a failure
}

}  // namespace
}  // namespace vandrel
