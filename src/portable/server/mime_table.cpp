#include "portable/server/mime_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace vandrel {
namespace {

struct MimeRow {
    std::string_view extension;  // lower case, leading dot included
    std::string_view type;
};

// In table order; the first row for an extension wins (no extension occurs twice).
constexpr MimeRow kMimeRows[] = {
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
    // Module scripts and workers must carry a JavaScript type, or the browser refuses them.
    {".mjs", "application/javascript; charset=utf-8"},
    {".map", "application/json; charset=utf-8"},
    {".webmanifest", "application/manifest+json"},
};

constexpr size_t LongestExtension() {
    size_t longest = 0;
    for (const MimeRow& row : kMimeRows) {
        longest = std::max(longest, row.extension.size());
    }
    return longest;
}
constexpr size_t kLongestExtension = LongestExtension();

struct MimeTable {
    // Sorted by extension, byte-wise; each extension once.
    std::vector<std::pair<std::string_view, std::string>> entries;
    std::string fallback = "application/octet-stream";
};

const MimeTable& Table() {
    static const MimeTable table = [] {
        MimeTable built;
        for (const MimeRow& row : kMimeRows) {
            auto at = std::lower_bound(
                built.entries.begin(), built.entries.end(), row.extension,
                [](const auto& entry, std::string_view key) { return entry.first < key; });
            if (at == built.entries.end() || at->first != row.extension) {
                built.entries.emplace(at, row.extension, std::string(row.type));
            }
        }
        return built;
    }();
    return table;
}

}  // namespace

const std::string& GetMimeType(std::string_view path) {
    const MimeTable& table = Table();
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) {
        return table.fallback;
    }
    const std::string_view extension = path.substr(dot);
    // Longer than every key: no lower-casing can make it match.
    if (extension.size() > kLongestExtension) {
        return table.fallback;
    }
    std::array<char, kLongestExtension> buffer{};
    for (size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        buffer[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view key(buffer.data(), extension.size());
    auto at =
        std::lower_bound(table.entries.begin(), table.entries.end(), key,
                         [](const auto& entry, std::string_view k) { return entry.first < k; });
    if (at == table.entries.end() || at->first != key) {
        return table.fallback;
    }
    return at->second;
}

}  // namespace vandrel
