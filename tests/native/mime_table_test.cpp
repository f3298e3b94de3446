#include "portable/server/mime_table.h"

#include <cctype>
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

// What pages load most, and the rows whose types differ in small ways.
const MimeCase kSamples[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "application/javascript; charset=utf-8"},
    {".mjs", "application/javascript; charset=utf-8"},  // module scripts and workers
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json; charset=utf-8"},
    {".scon", "application/json"},  // no charset, unlike .json
    {".xml", "text/xml; charset=utf-8"},
    {".scml", "text/xml"},
    {".map", "application/json; charset=utf-8"},
    {".webmanifest", "application/manifest+json"},
    {".wasm", "application/wasm"},
    {".png", "image/png"},
    {".svg", "image/svg+xml"},
    {".mp4", "video/mp4"},
    {".opus", "audio/ogg; codecs=opus"},
    {".woff2", "font/woff2"},
    {".ttf", "application/font-sfnt"},
};

TEST(MimeTableTest, SamplesAnswerInAnyCaseAndAfterAName) {
    for (const MimeCase& row : kSamples) {
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
