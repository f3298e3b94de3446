#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/bundle/asset_bundle.h"

namespace vandrel {

// What the www folder holds under one full folder path.
struct FolderEntry {
    bool exists = false;
    bool isDirectory = false;
    uint64_t size = 0;
};

// Looks a full folder path up (appFolder + webSubfolder + request path with "\" separators).
// The Windows host answers it with the file system; tests answer it from a table.
using FolderQuery = std::function<FolderEntry(const std::string& folderPath)>;

enum class BodyKind {
    None,             // no body stream
    NotFoundText,     // the 14 bytes of kNotFoundBody
    BundleBytes,      // bodyLength bytes at GetFileData(bodyOffset)
    WholeFolderFile,  // the whole folder file, streamed from disk
    FolderRange,      // bodyLength bytes from bodyOffset of the mapped folder file
};

// The complete answer to one request, decided without touching Windows.
struct ResponsePlan {
    int status = 0;
    std::string reason;
    std::vector<std::string> headers;  // "Name: value" lines, in order
    BodyKind body = BodyKind::None;
    // BundleBytes: offset into the blob payload (entry offset + range start).
    // FolderRange: the range start. Else 0.
    uint64_t bodyOffset = 0;
    // Bytes of the body: 14 for NotFoundText, the file size for WholeFolderFile, 0 for None.
    uint64_t bodyLength = 0;
    std::string requestPath;  // decoded; the bundle key, the MIME input and the mapping-cache key
    std::string folderPath;   // appFolder + webSubfolder + request path with "\" separators

    // The header lines joined by "\n", with none after the last.
    std::string HeaderText() const;
};

inline constexpr char kNotFoundBody[] = "File not found";
inline constexpr size_t kNotFoundBodyLength = sizeof(kNotFoundBody) - 1;  // 14

// Folder files of this size and more are not served (their size does not fit the signed 32-bit
// size the host reads from the file system).
inline constexpr uint64_t kLargestFolderFile = (uint64_t{1} << 31) - 1;

// Decides the answer to a request for `uri` (UTF-8):
//   1. The first originLength bytes of the URI are dropped (nothing is left when the URI is
//      shorter); the rest, query included, is percent-decoded into the request path.
//   2. The bundle is searched for the request path, exactly. A hit is served from the bundle,
//      whatever the folder holds; a bundle whose Parse failed still serves what it listed.
//   3. Otherwise the folder is asked, but only for a request path that passes
//      IsPlainFolderPath; any other name is answered 404 without asking.
//   When neither has the whole name and the raw path holds a literal "?" or "#", steps 2 and 3
//   are repeated with the text before the first of them, decoded (so "main.js?v=3" finds
//   main.js, while "%3F" stays part of the name). The path that was found becomes the request
//   path: the content type and the mapping-cache key come from it.
//   4. Not present: 404 "Not Found", only "Cache-Control: no-store", body "File not found".
//      A folder path that names a directory is not present either.
//   5. A folder file of 2 GiB or more (size > kLargestFolderFile): 500 "Internal Server Error",
//      only the Cache-Control line, no body.
//   6. Present: Cache-Control, Content-Type (GetMimeType of the request path), Accept-Ranges:
//      bytes; total = the size's low 32 bits. Without a Range header: Content-Length, 200 "OK",
//      the whole file. With one: the value is trimmed and read by ParseRange; invalid gives 416
//      "Range Not Satisfiable" with no body and no further lines; valid gives Content-Range and
//      Content-Length, 206 "Partial Content", and the range (a folder range covering the whole
//      file is streamed like a whole file).
ResponsePlan PlanResponse(std::string_view uri, size_t originLength, const AssetBundle& bundle,
                          const std::string& appFolder, const std::string& webSubfolder,
                          const std::optional<std::string>& rangeHeader, const FolderQuery& folder);

// Adds the lines that make the page cross-origin isolated (so that it gets SharedArrayBuffer):
// Cross-Origin-Opener-Policy: same-origin, Cross-Origin-Embedder-Policy: require-corp and
// Cross-Origin-Resource-Policy: same-origin, after the plan's own lines.
void AddIsolationHeaders(ResponsePlan& plan);

// The answer when a folder file's body cannot be had (its stream cannot be opened, or a range of it
// cannot be mapped): 500 "Internal Server Error", no body, the header lines (Content-Range and
// Content-Length included) kept.
void MarkBodyUnavailable(ResponsePlan& plan);

// Whether a request path may be looked up in the www folder: a plain relative path that cannot
// name anything outside the folder, its alternate data streams, a device, or a name Windows would
// alter. Segments are split at "/" and at "\" (both separate folders on Windows; "%2F" and "%5C"
// have already been decoded into them), and each must be a name Windows takes as it stands
// (WindowsNameFault in portable/util/file_names.h). So an empty path, a leading or trailing
// separator, "a//b", "." and ".." (even when they would stay inside: the host opens files through
// the "\\?\" form, in which they are not resolved), "C:", "file.txt::$DATA", "page?.txt",
// "name." and "NUL.txt" never reach the folder. The bundle lookup does not use this test.
bool IsPlainFolderPath(std::string_view requestPath);

}  // namespace vandrel
