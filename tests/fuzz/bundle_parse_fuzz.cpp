// libFuzzer target for the asset bundle reader.
//
// Each input is parsed as a whole bundle image in Memory mode, from a heap copy of exactly the
// input's size so that AddressSanitizer catches any read past the image. Only the reader's own
// exceptions (std::range_error, std::runtime_error) are expected; anything else escapes and counts
// as a crash. After the parse, success or failure, the reader's state must hold:
//   - every chunk lies inside the image, and the blob location is the first "blob" chunk's;
//   - every directory entry lies inside the blob payload, is stored, and is found again by Find
//     with the same fields;
//   - GetFileData hands out pointers inside the image;
//   - the diagnostics fields agree with the outcome.
// The same input is then parsed in File mode through an in-memory stream; that reader must end
// in the same state with the same exception.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "portable/bundle/asset_bundle.h"

namespace {

using vandrel::AssetBundle;
using vandrel::BundleChunk;
using vandrel::BundleFileEntry;
using vandrel::BundleFileInfo;

[[noreturn]] void Violation(const char* what) {
    std::fprintf(stderr, "bundle_parse_fuzz: invariant violated: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) {
        Violation(what);
    }
}

struct Outcome {
    enum class Kind { Ok, RangeError, RuntimeError } kind = Kind::Ok;
    std::string message;

    bool operator==(const Outcome&) const = default;
};

// Parses, catching only what the reader is meant to throw.
Outcome RunParse(AssetBundle& bundle) {
    try {
        bundle.Parse();
    } catch (const std::range_error& e) {
        return {Outcome::Kind::RangeError, e.what()};
    } catch (const std::runtime_error& e) {
        return {Outcome::Kind::RuntimeError, e.what()};
    }
    return {};
}

bool IsFormatRejection(const std::string& message) {
    static const char* const kMessages[] = {
        "bad format",         "unsupported version", "invalid flags",  "bad chunk",
        "missing blob chunk", "missing fdir chunk",  "bad file entry", "bad file compression",
    };
    for (const char* known : kMessages) {
        if (message == known) {
            return true;
        }
    }
    return false;
}

uint32_t BigEndianU32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

// [position, position + size) lies inside [0, length), written without any overflowing sum.
bool InsideImage(uint64_t position, uint64_t size, uint64_t length) {
    return position <= length && size <= length - position;
}

void CheckMemoryState(const AssetBundle& bundle, const Outcome& outcome, const uint8_t* image,
                      size_t length) {
    // Exceptions: exactly the reader's messages, with the right type. Memory mode never reports
    // stream or mode problems.
    if (outcome.kind == Outcome::Kind::RangeError) {
        Require(outcome.message == "bundle read error", "unexpected range_error message");
    } else if (outcome.kind == Outcome::Kind::RuntimeError) {
        Require(IsFormatRejection(outcome.message), "unexpected runtime_error message");
    }

    for (const auto& [id, chunk] : bundle.chunks) {
        Require(chunk.id == id, "chunk id differs from its key");
        Require(chunk.position >= 12, "chunk payload before the first possible chunk header");
        Require(InsideImage(chunk.position, chunk.size, length), "chunk outside the image");
    }

    const auto blob = bundle.chunks.find(vandrel::kBlobChunkId);
    const bool blobLocated = bundle.blobPosition != 0;
    if (blobLocated) {
        Require(blob != bundle.chunks.end(), "blob location without a blob chunk");
        Require(bundle.blobPosition == blob->second.position, "blob position is not the chunk's");
        Require(bundle.blobSize == blob->second.size, "blob size is not the chunk's");
    } else {
        Require(bundle.blobSize == 0, "blob size without a blob position");
    }
    Require(InsideImage(bundle.blobPosition, bundle.blobSize, length), "blob outside the image");

    if (outcome.kind == Outcome::Kind::Ok) {
        Require(blobLocated, "accepted without a blob");
        Require(bundle.chunks.contains(vandrel::kDirectoryChunkId), "accepted without a fdir");
        Require(!bundle.currentEntry.has_value(), "currentEntry left set after success");
        Require(bundle.directory.size() <= bundle.entryCount, "more files than entries");
    }
    if (bundle.currentEntry) {
        Require(outcome.kind != Outcome::Kind::Ok, "currentEntry set after success");
        Require(*bundle.currentEntry < bundle.entryCount, "currentEntry past the entry count");
        Require(bundle.directory.size() <= *bundle.currentEntry,
                "more files than entries before the failing one");
    }
    if (!bundle.directory.empty()) {
        Require(blobLocated, "files without a blob");
        Require(bundle.chunks.contains(vandrel::kDirectoryChunkId), "files without a fdir");
    }

    volatile uint8_t sink = 0;
    for (const auto& [name, entry] : bundle.directory) {
        Require(entry.name == name, "entry name differs from its key");
        Require(entry.compression == 0, "entry not stored");
        Require(InsideImage(entry.offset, entry.size, bundle.blobSize),
                "entry outside the blob payload");

        const BundleFileInfo info = bundle.Find(name);
        Require(info.found, "Find misses a directory name");
        Require(info.offset == entry.offset && info.size == entry.size &&
                    info.extra == entry.extra && info.compression == 0,
                "Find disagrees with the directory");

        // Both checks above keep the whole range inside the image, so the index is valid.
        const uint64_t index = bundle.blobPosition + entry.offset;
        Require(InsideImage(index, entry.size, length), "file bytes outside the image");
        const uint8_t* data = bundle.GetFileData(entry.offset);
        Require(reinterpret_cast<uintptr_t>(data) - reinterpret_cast<uintptr_t>(image) == index,
                "GetFileData points elsewhere");
        // Touch the file's bytes so AddressSanitizer sees them read.
        for (uint64_t i = 0; i < entry.size; ++i) {
            sink = sink ^ data[i];
        }
    }
    (void)sink;
}

bool SameChunks(const AssetBundle& a, const AssetBundle& b) {
    if (a.chunks.size() != b.chunks.size()) {
        return false;
    }
    for (auto i = a.chunks.begin(), j = b.chunks.begin(); i != a.chunks.end(); ++i, ++j) {
        const BundleChunk& x = i->second;
        const BundleChunk& y = j->second;
        if (i->first != j->first || x.id != y.id || x.position != y.position || x.size != y.size) {
            return false;
        }
    }
    return true;
}

bool SameDirectory(const AssetBundle& a, const AssetBundle& b) {
    if (a.directory.size() != b.directory.size()) {
        return false;
    }
    for (auto i = a.directory.begin(), j = b.directory.begin(); i != a.directory.end(); ++i, ++j) {
        const BundleFileEntry& x = i->second;
        const BundleFileEntry& y = j->second;
        if (i->first != j->first || x.name != y.name || x.compression != y.compression ||
            x.offset != y.offset || x.size != y.size || x.extra != y.extra) {
            return false;
        }
    }
    return true;
}

void CheckFileMode(const AssetBundle& memory, const Outcome& memoryOutcome, uint8_t* image,
                   size_t length) {
    if (length == 0) {
        return;  // fmemopen may refuse an empty buffer
    }
    std::FILE* stream = fmemopen(image, length, "rb");
    if (stream == nullptr) {
        return;
    }
    AssetBundle file;
    file.AttachFile(stream, length);
    const Outcome fileOutcome = RunParse(file);
    std::fclose(stream);

    // A memory stream refuses to seek past its end where a regular file would not. The only seek
    // that can go there is the one to a chunk start beyond the image; a file then finds no chunks.
    const bool chunkStartBeyondEnd = length >= 16 && BigEndianU32(image) == vandrel::kBundleMagic &&
                                     BigEndianU32(image + 4) == 0 &&
                                     BigEndianU32(image + 12) == 0 &&
                                     BigEndianU32(image + 8) > length;
    if (chunkStartBeyondEnd) {
        Require(memoryOutcome == Outcome{Outcome::Kind::RuntimeError, "missing blob chunk"},
                "chunk start beyond the end not rejected as missing blob");
        Require(fileOutcome == Outcome{Outcome::Kind::RuntimeError, "file read error"},
                "memory stream seek past the end not reported");
        Require(file.chunks.empty() && file.directory.empty(), "File mode recorded something");
        return;
    }

    Require(fileOutcome == memoryOutcome, "File mode and Memory mode throw differently");
    Require(SameChunks(file, memory), "File mode and Memory mode chunks differ");
    Require(SameDirectory(file, memory), "File mode and Memory mode directories differ");
    Require(file.blobPosition == memory.blobPosition && file.blobSize == memory.blobSize,
            "File mode and Memory mode blob locations differ");
    Require(file.currentEntry == memory.currentEntry && file.entryCount == memory.entryCount,
            "File mode and Memory mode diagnostics differ");
    try {
        file.GetFileData(0);
        Violation("GetFileData works in File mode");
    } catch (const std::runtime_error& e) {
        Require(std::strcmp(e.what(), "wrong read mode") == 0, "GetFileData in File mode");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy of exactly `size` bytes: any read past it lands in a redzone.
    std::unique_ptr<uint8_t[]> image(new uint8_t[size]);
    if (size != 0) {
        std::memcpy(image.get(), data, size);
    }

    AssetBundle memory;
    memory.AttachMemory(image.get(), size);
    const Outcome outcome = RunParse(memory);
    CheckMemoryState(memory, outcome, image.get(), size);
    CheckFileMode(memory, outcome, image.get(), size);
    return 0;
}
