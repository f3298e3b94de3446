#pragma once

// Writes assets.dat bundles (layout: portable/bundle/bundle_format.h): the header, a "blob" chunk
// with the file bytes and an "fdir" chunk with one entry per file. Entries are sorted by name in
// byte order and files with identical content are stored once, their entries sharing the bytes, so
// the same input always gives the same bundle. File contents are streamed through one buffer:
// memory use does not grow with the bundle.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "portable/bundle/bundle_format.h"

namespace vandrel::tool {

// Where the blob payload starts in the bundles the tool writes.
inline constexpr uint64_t kBlobPayloadStart = kBundleHeaderSize + kChunkHeaderSize;

// 64-bit content hash, fed in pieces of any size: four multiply-rotate lanes over 8-byte words,
// several GB/s. It only picks candidates for sharing; equal content is confirmed byte by byte.
class ContentHasher {
public:
    ContentHasher();
    void Update(const void* data, size_t n);
    uint64_t Finish() const;

private:
    void Stripe(const uint8_t* p);

    uint64_t lanes_[4];
    uint8_t pending_[32];
    size_t pendingLength_ = 0;
    uint64_t totalLength_ = 0;
};

uint64_t HashBytes(const void* data, size_t n);

// One file to pack: its name in the bundle and where its bytes are read from.
struct BundleInput {
    std::string name;
    std::filesystem::path source;  // read by path unless PackOptions::open is set
    uint64_t size = 0;             // its size when it was found; the file may not grow past it
    uint32_t node = 0;             // for PackOptions::open: which file of the scan this is
};

class InputFile;

struct PackStats {
    uint64_t files = 0;        // entries in the directory
    uint64_t bytes = 0;        // sum of all entries' sizes
    uint64_t storedBytes = 0;  // size of the blob payload
    uint64_t savedBytes = 0;   // bytes - storedBytes: what sharing identical files saved
    uint64_t sharedFiles = 0;  // non-empty entries that share an earlier identical file's bytes
    uint64_t bundleBytes = 0;  // size of the finished bundle file
};

struct PackOptions {
    uint64_t sizeLimit = kBundleSizeLimit;  // the finished bundle must be smaller than this
    // The bits of the content hash that pick candidates for sharing. Every candidate is compared
    // byte by byte, so a narrower mask only costs time; tests narrow it to force comparisons.
    uint64_t hashMask = ~uint64_t{0};
    // Called after each file with the number of files and input bytes done so far.
    std::function<void(uint64_t files, uint64_t bytes)> progress;
    // Opens an input for reading; when unset, inputs are opened by their source path.
    std::function<std::unique_ptr<InputFile>(const BundleInput&)> open;
};

// The size limit in words: "2 GiB (2147483648 bytes)" for the host's.
std::string LimitText(uint64_t limit);

// Throws ToolError when files holding `totalBytes` cannot fit a bundle smaller than `limit`.
void CheckBundleSize(uint64_t totalBytes, uint64_t fileCount, uint64_t limit = kBundleSizeLimit);

// Writes the bundle of `inputs` to `output`: first to a temporary file beside it, renamed over
// `output` at the end. Refuses inputs whose planned sizes reach the limit before creating any
// file, and duplicate names. A file that turns out larger than its planned size is refused as soon
// as it passes it, so no input can make the bundle grow past what was planned. On any failure
// throws ToolError and leaves no file behind (an existing `output` stays as it was).
PackStats WriteBundle(std::vector<BundleInput> inputs, const std::filesystem::path& output,
                      const PackOptions& options = {});

}  // namespace vandrel::tool
