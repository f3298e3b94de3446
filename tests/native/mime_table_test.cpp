#include "portable/server/mime_table.h"

#include <cctype>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using namespace std::string_literals;

constexpr const char* kDefault = "application/octet-stream";

struct MimeCase {
    std::string path;
    std::string expected;
};

// The whole table, written out independently of the implementation's copy.
const MimeCase kRows[] = {
    {".html", "text/html; charset=utf-8"},
    {".htm", "text/html; charset=utf-8"},
    {".js", "application/javascript; charset=utf-8"},
    {".ts", "application/typescript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json; charset=utf-8"},
    {".xml", "text/xml; charset=utf-8"},
    {".csv", "text/csv; charset=utf-8"},
    {".tsv", "text/tab-separated-values; charset=utf-8"},
    {".txt", "text/plain; charset=utf-8"},
    {".md", "text/markdown; charset=utf-8"},
    {".ini", "text/plain; charset=utf-8"},
    {".wasm", "application/wasm"},
    {".wast", "application/wast"},
    {".png", "image/png"},
    {".apng", "image/apng"},
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".jxl", "image/jxl"},
    {".svg", "image/svg+xml"},
    {".webp", "image/webp"},
    {".gif", "image/gif"},
    {".tif", "image/tiff"},
    {".tiff", "image/tiff"},
    {".bmp", "image/bmp"},
    {".ico", "image/x-icon"},
    {".avif", "image/avif"},
    {".webm", "video/webm"},
    {".m4a", "audio/mp4"},
    {".mp3", "audio/mpeg"},
    {".mp4", "video/mp4"},
    {".mpg", "video/mpeg"},
    {".mpeg", "video/mpeg"},
    {".opus", "audio/ogg; codecs=opus"},
    {".ogg", "audio/ogg"},
    {".ogv", "video/ogg"},
    {".flac", "audio/flac"},
    {".wav", "audio/wav"},
    {".mid", "audio/midi"},
    {".midi", "audio/midi"},
    {".kar", "audio/midi"},
    {".woff", "application/font-woff"},
    {".woff2", "font/woff2"},
    {".ttf", "application/font-sfnt"},
    {".otf", "application/font-sfnt"},
    {".eot", "application/vnd.ms-fontobject"},
    {".zip", "application/zip"},
    {".pdf", "application/pdf"},
    {".scml", "text/xml"},
    {".scon", "application/json"},
    {".mjs", "application/javascript; charset=utf-8"},
    {".map", "application/json; charset=utf-8"},
    {".webmanifest", "application/manifest+json"},
};

TEST(MimeTableTest, TableHasFiftyThreeDistinctRows) {
    std::set<std::string> extensions;
    for (const MimeCase& row : kRows) {
        extensions.insert(row.path);
    }
    EXPECT_EQ(std::size(kRows), 53u);
    EXPECT_EQ(extensions.size(), 53u);
}

TEST(MimeTableTest, EveryRowAnswersInLowerUpperAndMixedCaseAndAfterAName) {
    for (const MimeCase& row : kRows) {
        std::string upper = row.path;
        std::string mixed = row.path;
        for (size_t i = 0; i < upper.size(); ++i) {
            upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
            if (i % 2 == 1) {
                mixed[i] = upper[i];
            }
        }
        for (const std::string& path :
             {row.path, upper, mixed, "dir/name" + row.path, "a.b/c.d/FILE" + upper}) {
            SCOPED_TRACE(path);
            EXPECT_EQ(GetMimeType(path), row.expected);
        }
    }
}

TEST(MimeTableTest, ExtensionIsTextFromTheLastDot) {
    const MimeCase cases[] = {
        {"Scripts/Main.JS", "application/javascript; charset=utf-8"},
        {"archive.tar.gz", kDefault},
        {"page.gz.html", "text/html; charset=utf-8"},
        {"media.d/track", kDefault},
        {"css.dir/style", kDefault},
        {"noextension", kDefault},
        {"", kDefault},
        {"trailing.", kDefault},
        {"style.css.", kDefault},
        {"index.html?v=3", kDefault},
        {"app.js?v=1.css", "text/css; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".", kDefault},
        {"dir.html/", kDefault},
        // No trimming or prefix matching: the extension must equal a key exactly.
        {"a.html ", kDefault},
        {"a. html", kDefault},
        {"a.htmlx", kDefault},
        {"a.htm", "text/html; charset=utf-8"},
        {"a.wo", kDefault},
        {"a.woff22", kDefault},
        {"a.js\0"s, kDefault},
        // Only ASCII letters are folded.
        {"a.\xC3\x89PUB", kDefault},
        {"a.JSON", "application/json; charset=utf-8"},
        {"a.SCON", "application/json"},
        {"a.xml", "text/xml; charset=utf-8"},
        {"a.scml", "text/xml"},
        // Longer than every key.
        {"a.averyverylongextension", kDefault},
    };
    for (const MimeCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetMimeType(c.path), c.expected);
    }
}

TEST(MimeTableTest, AnswerIsStableStorage) {
    const std::string& first = GetMimeType("a.png");
    const std::string& second = GetMimeType("b.PNG");
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(&GetMimeType("x"), &GetMimeType("y.unknown"));
}

}  // namespace
}  // namespace vandrel
