#include "portable/server/response_plan.h"

#include <charconv>
#include <cstdint>

#include "portable/server/mime_table.h"
#include "portable/server/range.h"
#include "portable/server/url_decode.h"
#include "portable/util/file_names.h"

namespace vandrel {
namespace {

void AppendNumber(std::string& line, uint64_t value) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof(digits), value);
    static_cast<void>(error);  // 24 digits hold every uint64_t
    line.append(digits, end);
}

std::string NumberLine(std::string_view name, uint64_t value) {
    std::string line;
    line.reserve(name.size() + 12);
    line.append(name);
    AppendNumber(line, value);
    return line;
}

std::string ContentRangeLine(uint32_t start, uint32_t end, uint32_t total) {
    std::string line = "Content-Range: bytes ";
    AppendNumber(line, start);
    line.push_back('-');
    AppendNumber(line, end);
    line.push_back('/');
    AppendNumber(line, total);
    return line;
}

bool IsFolderSeparator(char c) {
    return c == '/' || c == '\\';
}

}  // namespace

std::string ResponsePlan::HeaderText() const {
    std::string text;
    size_t length = 0;
    for (const std::string& line : headers) {
        length += line.size() + 1;
    }
    text.reserve(length);
    for (size_t i = 0; i < headers.size(); ++i) {
        if (i != 0) {
            text.push_back('\n');
        }
        text.append(headers[i]);
    }
    return text;
}

bool IsPlainFolderPath(std::string_view requestPath) {
    if (requestPath.empty()) {
        return false;
    }
    size_t start = 0;
    while (true) {
        size_t end = start;
        while (end < requestPath.size() && !IsFolderSeparator(requestPath[end])) {
            ++end;
        }
        if (WindowsNameFault(requestPath.substr(start, end - start)) != NameFault::None) {
            return false;
        }
        if (end == requestPath.size()) {
            return true;
        }
        start = end + 1;  // a separator at the very end leaves an empty, refused segment
    }
}

namespace {

// Where a request path was found: in the bundle, in the folder, or nowhere.
struct Found {
    BundleFileInfo entry;
    FolderEntry onDisk;
    bool Present() const { return entry.found || (onDisk.exists && !onDisk.isDirectory); }
};

std::string FolderPathOf(const std::string& appFolder, const std::string& webSubfolder,
                         const std::string& requestPath) {
    std::string path;
    path.reserve(appFolder.size() + webSubfolder.size() + requestPath.size());
    path.append(appFolder).append(webSubfolder);
    for (const char c : requestPath) {
        path.push_back(c == '/' ? '\\' : c);
    }
    return path;
}

// The bundle first; the folder only for names the bundle does not list and that pass
// IsPlainFolderPath.
Found Look(const std::string& requestPath, const std::string& folderPath, const AssetBundle& bundle,
           const FolderQuery& folder) {
    Found found;
    found.entry = bundle.Find(requestPath);
    if (!found.entry.found && IsPlainFolderPath(requestPath) && folder) {
        found.onDisk = folder(folderPath);
    }
    return found;
}

}  // namespace

ResponsePlan PlanResponse(std::string_view uri, size_t originLength, const AssetBundle& bundle,
                          const std::string& appFolder, const std::string& webSubfolder,
                          const std::optional<std::string>& rangeHeader,
                          const FolderQuery& folder) {
    ResponsePlan plan;
    const std::string_view raw = uri.size() > originLength ? uri.substr(originLength) : "";
    plan.requestPath = PercentDecodePath(raw);
    plan.folderPath = FolderPathOf(appFolder, webSubfolder, plan.requestPath);

    plan.headers.reserve(5);
    plan.headers.emplace_back("Cache-Control: no-store");

    Found found = Look(plan.requestPath, plan.folderPath, bundle, folder);
    // A query or fragment ("main.js?v=3") names the file before it when the whole text names
    // nothing. Only a literal "?" or "#" counts: an escaped one ("%3F") is part of the name.
    const size_t suffix = raw.find_first_of("?#");
    if (!found.Present() && suffix != std::string_view::npos) {
        std::string path = PercentDecodePath(raw.substr(0, suffix));
        std::string folderPath = FolderPathOf(appFolder, webSubfolder, path);
        Found stripped = Look(path, folderPath, bundle, folder);
        if (stripped.Present()) {
            found = stripped;
            plan.requestPath = std::move(path);
            plan.folderPath = std::move(folderPath);
        }
    }
    const BundleFileInfo& entry = found.entry;
    const FolderEntry& onDisk = found.onDisk;
    if (!found.Present()) {
        plan.status = 404;
        plan.reason = "Not Found";
        plan.body = BodyKind::NotFoundText;
        plan.bodyLength = kNotFoundBodyLength;
        return plan;
    }
    if (!entry.found && onDisk.size > kLargestFolderFile) {
        plan.status = 500;
        plan.reason = "Internal Server Error";
        return plan;
    }

    std::string contentType = "Content-Type: ";
    contentType.append(GetMimeType(plan.requestPath));
    plan.headers.push_back(std::move(contentType));
    plan.headers.emplace_back("Accept-Ranges: bytes");
    const auto total = static_cast<uint32_t>(entry.found ? entry.size : onDisk.size);

    if (!rangeHeader) {
        plan.headers.push_back(NumberLine("Content-Length: ", total));
        plan.status = 200;
        plan.reason = "OK";
        plan.body = entry.found ? BodyKind::BundleBytes : BodyKind::WholeFolderFile;
        plan.bodyOffset = entry.found ? entry.offset : 0;
        plan.bodyLength = total;
        return plan;
    }

    const ByteRange range = ParseRange(TrimRangeValue(*rangeHeader), total);
    if (!range.valid) {
        plan.status = 416;
        plan.reason = "Range Not Satisfiable";
        return plan;
    }
    const uint32_t length = range.end - range.start + 1;
    plan.headers.push_back(ContentRangeLine(range.start, range.end, total));
    plan.headers.push_back(NumberLine("Content-Length: ", length));
    plan.status = 206;
    plan.reason = "Partial Content";
    plan.bodyLength = length;
    if (entry.found) {
        plan.body = BodyKind::BundleBytes;
        plan.bodyOffset = entry.offset + range.start;
    } else if (length == total) {
        plan.body = BodyKind::WholeFolderFile;
    } else {
        plan.body = BodyKind::FolderRange;
        plan.bodyOffset = range.start;
    }
    return plan;
}

void AddIsolationHeaders(ResponsePlan& plan) {
    plan.headers.emplace_back("Cross-Origin-Opener-Policy: same-origin");
    plan.headers.emplace_back("Cross-Origin-Embedder-Policy: require-corp");
    plan.headers.emplace_back("Cross-Origin-Resource-Policy: same-origin");
}

void MarkBodyUnavailable(ResponsePlan& plan) {
    plan.status = 500;
    plan.reason = "Internal Server Error";
    plan.body = BodyKind::None;
    plan.bodyOffset = 0;
    plan.bodyLength = 0;
}

}  // namespace vandrel
