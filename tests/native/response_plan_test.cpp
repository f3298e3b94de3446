#include "portable/server/response_plan.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bundle_builder.h"

namespace vandrel {
namespace {

using namespace std::string_literals;

constexpr std::string_view kOrigin = "https://vandrel.invalid/";
const std::string kAppFolder = "C:\\app\\";
const std::string kWeb = "www\\";
const std::string kWww = kAppFolder + kWeb;
// The headers of bytes 100-199 of a 1000-byte MP4 file.
const std::string kMovieRangeHeaders =
    "Cache-Control: no-store\nContent-Type: video/mp4\nAccept-Ranges: bytes\n"
    "Content-Range: bytes 100-199/1000\nContent-Length: 100";

const char* BodyName(BodyKind body) {
    static const char* const kNames[] = {"None", "NotFoundText", "BundleBytes", "WholeFolderFile",
                                         "FolderRange"};
    return kNames[static_cast<size_t>(body)];
}

// A file's bytes: `size` bytes whose values follow from their position, so a wrong offset shows.
std::string Pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + i * 7 % 61);
    }
    return bytes;
}

// Files laid back to back in one blob, with the directory that lists them.
class BlobBuilder {
public:
    BlobBuilder& Add(const std::string& name, const std::string& bytes) {
        offsets[name] = blob.size();
        entries.emplace_back(name, blob.size(), bytes.size());
        blob += bytes;
        return *this;
    }
    std::string blob;
    std::vector<BundleEntrySpec> entries;
    std::map<std::string, uint64_t> offsets;
};

// The www folder as the host's file system would answer, "." and ".." resolved the way Windows
// resolves them in a path without the long-path prefix, so that a request that escapes the
// folder would reach the files planted outside it.
class FakeDisk {
public:
    void Put(const std::string& path, uint64_t size) { entries[path] = {true, false, size}; }
    void PutDirectory(const std::string& path) { entries[path] = {true, true, 0}; }

    FolderEntry Query(const std::string& path) {
        queried.push_back(path);
        const auto at = entries.find(Resolve(path));
        return at == entries.end() ? FolderEntry{} : at->second;
    }
    FolderQuery AsQuery() {
        return [this](const std::string& path) { return Query(path); };
    }

    static std::string Resolve(const std::string& path) {
        std::vector<std::string> parts;
        std::string part;
        for (size_t i = 0; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\' || path[i] == '/') {
                if (part == "..") {
                    if (parts.size() > 1) {
                        parts.pop_back();
                    }
                } else if (part != "." && !part.empty()) {
                    parts.push_back(part);
                }
                part.clear();
            } else {
                part.push_back(path[i]);
            }
        }
        std::string joined;
        for (const std::string& p : parts) {
            joined += (joined.empty() ? "" : "\\") + p;
        }
        return joined;
    }

    std::map<std::string, FolderEntry> entries;
    std::vector<std::string> queried;
};

class PlanTest : public testing::Test {
protected:
    void SetUp() override {
        files.Add("js/main.js", Pattern(20, 'a'))
            .Add("video.mp4", Pattern(1000, 'v'))
            .Add("my file.txt", "space")
            .Add("\xE2\x82\xAC.txt", "euro")
            .Add("page.html?v=1", "<p>versioned</p>")
            .Add("../outside.txt", "listed under a dotted name")
            .Add("empty.bin", "")
            .Add("Scripts/Main.JS", "x");
        image = SimpleBundle(files.blob, files.entries);
        bundle.AttachMemory(image.data(), image.size());
        bundle.Parse();

        disk.Put(kWww + "js\\main.js", 999);
        disk.Put(kWww + "movie.mp4", 1000);
        disk.Put(kWww + "style.css", 321);
        disk.Put(kWww + "empty.dat", 0);
        disk.Put(kWww + "sub\\dir\\file.txt", 5);
        disk.PutDirectory(kWww + "media");
        disk.Put(kWww + "huge.bin", uint64_t{1} << 31);
        disk.Put(kWww + "largest.bin", (uint64_t{1} << 31) - 1);
        // Outside www: no request may reach these.
        disk.Put(kAppFolder + "secret.txt", 10);
        disk.Put("C:\\secret.txt", 10);
        disk.Put(kWww + "page.txt", 10);
    }

    ResponsePlan Plan(const std::string& path, std::optional<std::string> range = std::nullopt) {
        return PlanResponse(std::string(kOrigin) + path, kOrigin.size(), bundle, kAppFolder, kWeb,
                            range, disk.AsQuery());
    }

    uint64_t BundleOffset(const std::string& name) { return files.offsets.at(name); }
    // `path` is answered 404, asked whole and from byte 0 on.
    void ExpectNotFound(const std::string& path);

    BlobBuilder files;
    std::vector<uint8_t> image;
    AssetBundle bundle;
    FakeDisk disk;
};

struct Expected {
    int status;
    std::string reason;
    std::string headers;
    BodyKind body;
    uint64_t bodyOffset;
    uint64_t bodyLength;
};

void ExpectPlan(const ResponsePlan& plan, const Expected& expected) {
    EXPECT_EQ(plan.status, expected.status);
    EXPECT_EQ(plan.reason, expected.reason);
    EXPECT_EQ(plan.HeaderText(), expected.headers);
    EXPECT_STREQ(BodyName(plan.body), BodyName(expected.body));
    EXPECT_EQ(plan.bodyOffset, expected.bodyOffset);
    EXPECT_EQ(plan.bodyLength, expected.bodyLength);
}

const std::string kNotFoundHeaders = "Cache-Control: no-store";
const Expected kNotFound = {404, "Not Found", kNotFoundHeaders, BodyKind::NotFoundText, 0, 14};

void PlanTest::ExpectNotFound(const std::string& path) {
    SCOPED_TRACE(path);
    ExpectPlan(Plan(path), kNotFound);
    ExpectPlan(Plan(path, "bytes=0-"), kNotFound);
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

TEST_F(PlanTest, RangeOfAFolderFileHasTheFiveLineHeader) {
    const ResponsePlan plan = Plan("movie.mp4", "bytes=100-199");
    ExpectPlan(plan, {206, "Partial Content", kMovieRangeHeaders, BodyKind::FolderRange, 100, 100});
    EXPECT_EQ(plan.requestPath, "movie.mp4");
    EXPECT_EQ(plan.folderPath, kWww + "movie.mp4");
}

TEST_F(PlanTest, RangeOfABundleFileStartsAtTheEntryOffsetPlusTheStart) {
    const ResponsePlan plan = Plan("video.mp4", "bytes=100-199");
    ExpectPlan(plan, {206, "Partial Content", kMovieRangeHeaders, BodyKind::BundleBytes,
                      BundleOffset("video.mp4") + 100, 100});
    // The planned bytes are the file's bytes 100..199.
    const auto* data = reinterpret_cast<const char*>(bundle.GetFileData(plan.bodyOffset));
    EXPECT_EQ(std::string(data, plan.bodyLength), Pattern(1000, 'v').substr(100, 100));
}

TEST_F(PlanTest, WholeFiles) {
    const uint64_t js = BundleOffset("js/main.js");
    const std::string jsHead =
        "Cache-Control: no-store\nContent-Type: application/javascript; charset=utf-8\n"
        "Accept-Ranges: bytes\n";
    struct Case {
        std::string path;
        Expected expected;
    };
    const Case cases[] = {
        // In the bundle and in the folder: the bundle's 20 bytes, not the folder's 999.
        {"js/main.js", {200, "OK", jsHead + "Content-Length: 20", BodyKind::BundleBytes, js, 20}},
        {"style.css",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: text/css; charset=utf-8\nAccept-Ranges: "
          "bytes\nContent-Length: 321",
          BodyKind::WholeFolderFile, 0, 321}},
        {"movie.mp4",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: video/mp4\nAccept-Ranges: bytes\n"
          "Content-Length: 1000",
          BodyKind::WholeFolderFile, 0, 1000}},
        {"empty.dat",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: application/octet-stream\nAccept-Ranges: "
          "bytes\nContent-Length: 0",
          BodyKind::WholeFolderFile, 0, 0}},
        {"empty.bin",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: application/octet-stream\nAccept-Ranges: "
          "bytes\nContent-Length: 0",
          BodyKind::BundleBytes, BundleOffset("empty.bin"), 0}},
        {"largest.bin",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: application/octet-stream\nAccept-Ranges: "
          "bytes\nContent-Length: 2147483647",
          BodyKind::WholeFolderFile, 0, 2147483647}},
        // The MIME lookup sees the request path as it is.
        {"Scripts/Main.JS",
         {200, "OK",
          "Cache-Control: no-store\nContent-Type: application/javascript; charset=utf-8\n"
          "Accept-Ranges: bytes\nContent-Length: 1",
          BodyKind::BundleBytes, BundleOffset("Scripts/Main.JS"), 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ExpectPlan(Plan(c.path), c.expected);
    }
}

TEST_F(PlanTest, BundleHitNeverAsksTheFolder) {
    Plan("js/main.js");
    Plan("video.mp4", "bytes=0-");
    EXPECT_TRUE(disk.queried.empty());
    Plan("style.css");
    EXPECT_EQ(disk.queried, std::vector<std::string>{kWww + "style.css"});
}

TEST_F(PlanTest, ValidRanges) {
    struct Case {
        std::string path;
        std::string range;
        std::string contentRange;  // after "bytes "
        BodyKind body;
        uint64_t offset;
        uint64_t length;
    };
    const uint64_t video = BundleOffset("video.mp4");
    const Case cases[] = {
        // A range over the whole folder file streams the file instead of mapping it.
        {"movie.mp4", "bytes=0-", "0-999/1000", BodyKind::WholeFolderFile, 0, 1000},
        {"movie.mp4", "bytes=0-999", "0-999/1000", BodyKind::WholeFolderFile, 0, 1000},
        {"movie.mp4", "bytes=-1000", "0-999/1000", BodyKind::WholeFolderFile, 0, 1000},
        {"movie.mp4", "bytes=0-0", "0-0/1000", BodyKind::FolderRange, 0, 1},
        {"movie.mp4", "bytes=-100", "900-999/1000", BodyKind::FolderRange, 900, 100},
        {"movie.mp4", "bytes=1-", "1-999/1000", BodyKind::FolderRange, 1, 999},
        {"movie.mp4", "bytes=0-1,5-6", "0-1/1000", BodyKind::FolderRange, 0, 2},
        {"movie.mp4", "  bytes=10-20 \t", "10-20/1000", BodyKind::FolderRange, 10, 11},
        {"movie.mp4", "\r\nbytes=10-20\r\n", "10-20/1000", BodyKind::FolderRange, 10, 11},
        {"video.mp4", "bytes=0-", "0-999/1000", BodyKind::BundleBytes, video, 1000},
        {"video.mp4", "bytes=0-0", "0-0/1000", BodyKind::BundleBytes, video, 1},
        {"video.mp4", "bytes=-100", "900-999/1000", BodyKind::BundleBytes, video + 900, 100},
        {"video.mp4", "bytes=999-", "999-999/1000", BodyKind::BundleBytes, video + 999, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + c.range);
        ExpectPlan(Plan(c.path, c.range),
                   {206, "Partial Content",
                    Lines({"Cache-Control: no-store", "Content-Type: video/mp4",
                           "Accept-Ranges: bytes", "Content-Range: bytes " + c.contentRange,
                           "Content-Length: " + std::to_string(c.length)}),
                    c.body, c.offset, c.length});
    }
}

TEST_F(PlanTest, InvalidRangesAnswer416WithoutBodyOrFurtherLines) {
    const std::string head =
        "Cache-Control: no-store\nContent-Type: video/mp4\nAccept-Ranges: bytes";
    const char* ranges[] = {
        "bytes=500-1000", "bytes=1000-", "bytes=-1001", "bytes=7-3", "Bytes=0-10", "bytes=",
        "bytes=-",        "bytes=abc-",  "items=0-5",   "",          "   ",        "bytes=0--1",
        "bytes=-0"};
    for (const char* path : {"movie.mp4", "video.mp4"}) {
        for (const char* range : ranges) {
            SCOPED_TRACE(std::string(path) + " [" + range + "]");
            ExpectPlan(Plan(path, range),
                       {416, "Range Not Satisfiable", head, BodyKind::None, 0, 0});
        }
    }
}

TEST_F(PlanTest, AnyRangeOfAnEmptyFileIs416) {
    for (const char* path : {"empty.dat", "empty.bin"}) {
        for (const char* range : {"bytes=0-", "bytes=-0", "bytes=0-0", "bytes=-1"}) {
            SCOPED_TRACE(std::string(path) + " " + range);
            ExpectPlan(Plan(path, range), {416, "Range Not Satisfiable",
                                           "Cache-Control: no-store\nContent-Type: "
                                           "application/octet-stream\nAccept-Ranges: bytes",
                                           BodyKind::None, 0, 0});
        }
    }
}

TEST_F(PlanTest, MissingNamesAnswer404WithOnlyCacheControl) {
    const char* paths[] = {
        "missing.txt",
        // A query falls back to a name that does not exist either.
        "index.html?v=2",
        "missing.css?v=2#x",
        // An escaped "?" or "#" is part of the name: no fallback.
        "js/main.js%3Fv=2",
        "js/main.js%23top",
        // No "index.html" in place of an empty path, no case folding, no leading "/" dropped.
        "",
        "JS/main.js",
        "/js/main.js",
        "./js/main.js",
        "js//main.js",
    };
    for (const char* path : paths) {
        ExpectNotFound(path);
    }
    EXPECT_EQ(std::string(kNotFoundBody), "File not found");
    EXPECT_EQ(sizeof(kNotFoundBody) - 1, 14u);
}

TEST_F(PlanTest, TheWholeNameWinsOverTheNameBeforeItsQuery) {
    const ResponsePlan plan = Plan("page.html?v=1");
    EXPECT_EQ(plan.requestPath, "page.html?v=1");
    ExpectPlan(plan, {200, "OK",
                      "Cache-Control: no-store\nContent-Type: application/octet-stream\n"
                      "Accept-Ranges: bytes\nContent-Length: 16",
                      BodyKind::BundleBytes, BundleOffset("page.html?v=1"), 16});
}

TEST_F(PlanTest, AQueryOrFragmentFallsBackToTheNameBeforeIt) {
    struct Case {
        const char* uri;
        const char* requestPath;
        BodyKind body;
        const char* type;
    };
    const Case cases[] = {
        {"js/main.js?v=3", "js/main.js", BodyKind::BundleBytes,
         "application/javascript; charset=utf-8"},
        {"js/main.js#top", "js/main.js", BodyKind::BundleBytes,
         "application/javascript; charset=utf-8"},
        {"js/main.js?v=1#a?b", "js/main.js", BodyKind::BundleBytes,
         "application/javascript; charset=utf-8"},
        {"my%20file.txt?x=%20", "my file.txt", BodyKind::BundleBytes, "text/plain; charset=utf-8"},
        // From the folder: a Windows name can never hold "?".
        {"style.css?v=2", "style.css", BodyKind::WholeFolderFile, "text/css; charset=utf-8"},
        {"sub/dir/file.txt?", "sub/dir/file.txt", BodyKind::WholeFolderFile,
         "text/plain; charset=utf-8"},
        // The type follows the file, not the query text.
        {"page.html?v=1.css", "page.html?v=1.css", BodyKind::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        const ResponsePlan plan = Plan(c.uri);
        if (c.body == BodyKind::None) {
            ExpectPlan(plan, kNotFound);
            continue;
        }
        EXPECT_EQ(plan.status, 200);
        EXPECT_EQ(plan.requestPath, c.requestPath);
        EXPECT_EQ(plan.body, c.body);
        ASSERT_GE(plan.headers.size(), 2u);
        EXPECT_EQ(plan.headers[1], std::string("Content-Type: ") + c.type);
    }
    const ResponsePlan folder = Plan("style.css?v=2");
    EXPECT_EQ(folder.folderPath, kWww + "style.css");
    EXPECT_EQ(folder.bodyLength, 321u);
    // A range request takes the same way.
    const ResponsePlan range = Plan("video.mp4?t=5", "bytes=100-199");
    EXPECT_EQ(range.status, 206);
    EXPECT_EQ(range.bodyOffset, BundleOffset("video.mp4") + 100);
}

TEST_F(PlanTest, PercentEscapesAreDecodedBeforeTheLookups) {
    const ResponsePlan space = Plan("my%20file.txt");
    EXPECT_EQ(space.requestPath, "my file.txt");
    EXPECT_EQ(space.status, 200);
    EXPECT_EQ(space.bodyOffset, BundleOffset("my file.txt"));

    const ResponsePlan euro = Plan("%E2%82%AC.txt");
    EXPECT_EQ(euro.requestPath, "\xE2\x82\xAC.txt");
    EXPECT_EQ(euro.status, 200);
    EXPECT_EQ(euro.bodyOffset, BundleOffset("\xE2\x82\xAC.txt"));

    const ResponsePlan folder = Plan("sub%2Fdir/file%2etxt");
    EXPECT_EQ(folder.requestPath, "sub/dir/file.txt");
    EXPECT_EQ(folder.folderPath, kWww + "sub\\dir\\file.txt");
    EXPECT_EQ(folder.status, 200);
    EXPECT_EQ(folder.bodyLength, 5u);

    // A "+" is not a space.
    EXPECT_EQ(Plan("my+file.txt").status, 404);
}

TEST_F(PlanTest, OnlyTheOriginsBytesAreDropped) {
    const auto plan = [&](std::string_view uri, size_t originLength) {
        return PlanResponse(uri, originLength, bundle, kAppFolder, kWeb, std::nullopt,
                            disk.AsQuery());
    };
    EXPECT_EQ(plan("xyzjs/main.js", 3).status, 200);
    EXPECT_EQ(plan("xyzjs/main.js", 3).requestPath, "js/main.js");
    EXPECT_EQ(plan("xyzjs/main.js", 2).requestPath, "zjs/main.js");
    EXPECT_EQ(plan("js/main.js", 0).status, 200);
    // A URI shorter than the origin, or exactly the origin, leaves an empty path.
    for (const ResponsePlan& p :
         {plan("https://short", kOrigin.size()), plan(kOrigin, kOrigin.size())}) {
        EXPECT_EQ(p.requestPath, "");
        EXPECT_EQ(p.folderPath, kWww);
        ExpectPlan(p, kNotFound);
    }
    // Only the one plain name that missed the bundle reached the folder.
    EXPECT_EQ(disk.queried, std::vector<std::string>{kWww + "zjs\\main.js"});
}

TEST_F(PlanTest, NamesThatCouldLeaveTheFolderAreNeverLookedUpThere) {
    // Each of these reaches a planted file (or www itself) if the folder is asked.
    const char* paths[] = {
        "../secret.txt",
        "..\\secret.txt",
        "..%5Csecret.txt",
        "%2e%2e%2fsecret.txt",
        "%2E%2E%5Csecret.txt",
        ".%2E/secret.txt",
        "sub/../../secret.txt",
        "sub\\..\\..\\secret.txt",
        "../../secret.txt",
        "../www/page.txt",
        "./page.txt",
        "sub/./dir/file.txt",
        // Dot segments that stay inside are refused too: the host opens "\\?\" paths, in which
        // Windows does not resolve them.
        "sub/../page.txt",
        "sub/dir/../../page.txt",
        // Names Windows would alter or read as something else.
        "... /secret.txt",
        ".. /secret.txt",
        "../ secret.txt",
        "page.txt.",
        "page.txt ",
        "page.txt::$DATA",
        "page.txt:stream",
        "C:/secret.txt",
        "C:%5Csecret.txt",
        "c:secret.txt",
        "/C:/secret.txt",
        "\\secret.txt",
        "/page.txt",
        "%5Cpage.txt",
        "\\\\?\\C:\\secret.txt",
        "%5C%5C%3F%5CC:%5Csecret.txt",
        "//server/share/secret.txt",
        "sub//dir/file.txt",
        "sub/dir/",
        "sub/dir\\",
        "page*.txt",
        "page%3F.txt",
        "pa<ge.txt",
        "pa>ge.txt",
        "pa\"ge.txt",
        "pa|ge.txt",
        "page%01.txt",
        "page%0A.txt",
        // Devices, whatever the extension.
        "NUL",
        "con.txt",
        "sub/aux.js",
    };
    for (const char* path : paths) {
        ExpectNotFound(path);
        EXPECT_FALSE(IsPlainFolderPath(Plan(path).requestPath)) << path;
    }
    EXPECT_TRUE(disk.queried.empty());
}

TEST_F(PlanTest, PlainRelativeNamesReachTheFolder) {
    const char* names[] = {"page.txt",  "sub/dir/file.txt", "sub\\dir\\file.txt", ".hidden", "a..b",
                           "..a",       "a b.txt",          "\xE2\x82\xAC.txt",   "x/.y/z",  "%",
                           "~page.txt", "file.tar.gz"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsPlainFolderPath(name));
    }
    EXPECT_EQ(Plan("sub\\dir\\file.txt").status, 200);
    EXPECT_EQ(Plan("sub\\dir\\file.txt").folderPath, kWww + "sub\\dir\\file.txt");
}

TEST_F(PlanTest, BundleLookupStaysExactForDottedNames) {
    const ResponsePlan plan = Plan("../outside.txt");
    EXPECT_EQ(plan.status, 200);
    EXPECT_EQ(plan.body, BodyKind::BundleBytes);
    EXPECT_EQ(plan.bodyOffset, BundleOffset("../outside.txt"));
    EXPECT_EQ(plan.bodyLength, 26u);
    EXPECT_EQ(Plan("%2E%2E/outside.txt").bodyOffset, BundleOffset("../outside.txt"));
    EXPECT_TRUE(disk.queried.empty());
}

TEST_F(PlanTest, DirectoriesAreNotFiles) {
    for (const char* path : {"media", "sub", "sub/dir"}) {
        disk.PutDirectory(kWww + "sub");
        disk.PutDirectory(kWww + "sub\\dir");
        ExpectNotFound(path);
    }
}

TEST_F(PlanTest, FolderFilesOf2GiBOrMoreAnswer500) {
    const Expected tooLarge = {
        500, "Internal Server Error", "Cache-Control: no-store", BodyKind::None, 0, 0};
    disk.Put(kWww + "huge2.bin", uint64_t{1} << 32);
    disk.Put(kWww + "huge3.bin", (uint64_t{1} << 32) + 1000);
    for (const char* path : {"huge.bin", "huge2.bin", "huge3.bin"}) {
        SCOPED_TRACE(path);
        ExpectPlan(Plan(path), tooLarge);
        ExpectPlan(Plan(path, "bytes=0-99"), tooLarge);
        ExpectPlan(Plan(path, "bytes=abc"), tooLarge);
    }
}

TEST_F(PlanTest, MarkBodyUnavailableKeepsTheHeaderLines) {
    ResponsePlan plan = Plan("movie.mp4", "bytes=100-199");
    ASSERT_EQ(plan.body, BodyKind::FolderRange);
    MarkBodyUnavailable(plan);
    ExpectPlan(plan, {500, "Internal Server Error", kMovieRangeHeaders, BodyKind::None, 0, 0});
    EXPECT_EQ(plan.requestPath, "movie.mp4");
    EXPECT_EQ(plan.folderPath, kWww + "movie.mp4");
}

TEST(PlanBundleTest, FailedParseStillServesTheListedEntries) {
    // The third entry reaches past the blob: Parse stops there with "bad file entry".
    BundleBuilder image;
    image.Header()
        .Chunk(kBlobChunkId, "firstsecond")
        .Chunk(kDirectoryChunkId,
               BundleDirectory({{"first.txt", 0, 5}, {"second.txt", 5, 6}, {"third.txt", 5, 99}}));
    AssetBundle bundle;
    bundle.AttachMemory(image.bytes.data(), image.bytes.size());
    EXPECT_THROW(bundle.Parse(), std::runtime_error);

    std::vector<std::string> asked;
    const FolderQuery folder = [&](const std::string& path) {
        asked.push_back(path);
        return path == "D:\\w\\www\\third.txt" ? FolderEntry{true, false, 3} : FolderEntry{};
    };
    const auto plan = [&](const std::string& path) {
        return PlanResponse("o/" + path, 2, bundle, "D:\\w\\", "www\\", std::nullopt, folder);
    };
    const ResponsePlan second = plan("second.txt");
    ExpectPlan(second, {200, "OK",
                        "Cache-Control: no-store\nContent-Type: text/plain; charset=utf-8\n"
                        "Accept-Ranges: bytes\nContent-Length: 6",
                        BodyKind::BundleBytes, 5, 6});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bundle.GetFileData(second.bodyOffset)),
                          second.bodyLength),
              "second");
    EXPECT_EQ(plan("first.txt").body, BodyKind::BundleBytes);
    EXPECT_TRUE(asked.empty());
    // The entry that failed its checks is not in the bundle; the folder's copy answers.
    EXPECT_EQ(plan("third.txt").body, BodyKind::WholeFolderFile);
    EXPECT_EQ(plan("third.txt").bodyLength, 3u);
}

TEST(PlanBundleTest, WithoutABundleEverythingComesFromTheFolder) {
    AssetBundle empty;
    const FolderQuery folder = [](const std::string& path) {
        return path == "C:\\app\\www\\index.html" ? FolderEntry{true, false, 42} : FolderEntry{};
    };
    const ResponsePlan plan =
        PlanResponse("o/index.html", 2, empty, "C:\\app\\", "www\\", std::nullopt, folder);
    ExpectPlan(plan, {200, "OK",
                      "Cache-Control: no-store\nContent-Type: text/html; charset=utf-8\n"
                      "Accept-Ranges: bytes\nContent-Length: 42",
                      BodyKind::WholeFolderFile, 0, 42});
    // No folder query at all: a miss.
    ExpectPlan(PlanResponse("o/index.html", 2, empty, "C:\\app\\", "www\\", std::nullopt, {}),
               kNotFound);
}

TEST(PlanHeaderTextTest, JoinsWithLineFeedsAndNoneAfterTheLast) {
    ResponsePlan plan;
    EXPECT_EQ(plan.HeaderText(), "");
    plan.headers = {"A: 1"};
    EXPECT_EQ(plan.HeaderText(), "A: 1");
    plan.headers = {"A: 1", "B: 2", ""};
    EXPECT_EQ(plan.HeaderText(), "A: 1\nB: 2\n");
}

}  // namespace
}  // namespace vandrel
