#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace vandrel {

// Reader for assets.dat, the file that packs the application's files into one image.
//
// Layout (every integer big-endian):
//   header  "vdab" magic, u32 version (0), u32 chunk start, u32 flags (0)
//   chunks  from the chunk start to the end of the image: u32 id, u64 size, `size` payload bytes
//   "blob"  the bytes of every file, back to back
//   "fdir"  u32 count, then `count` entries: u32 0, u32 0, u64 offset, u64 size, u64 extra,
//           u8 compression (0 = stored), u32 name length, name bytes (UTF-8, "/"-separated)
//
// Each entry's [offset, offset + size) lies inside the blob payload. The first chunk with a given
// id and the first entry with a given name count; later ones are skipped.
//
// Rejections are exceptions: std::range_error("bundle read error") when a read would pass the end
// bound, std::runtime_error with a fixed message for everything else.

struct BundleChunk {
    uint32_t id = 0;
    uint64_t position = 0;  // offset of the first payload byte in the image
    uint64_t size = 0;
};

struct BundleFileEntry {
    std::string name;
    uint32_t compression = 0;
    uint64_t offset = 0;  // counted from the first byte of the blob payload
    uint64_t size = 0;
    uint64_t extra = 0;
};

// Result of a lookup; every field is 0 when found is false.
struct BundleFileInfo {
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t extra = 0;
    uint32_t compression = 0;
    bool found = false;
};

enum class BundleReadMode : int32_t { None = 0, Memory = 1, File = 2 };

inline constexpr uint32_t kBundleMagic = 0x76646162;       // "vdab"
inline constexpr uint32_t kBlobChunkId = 0x626C6F62;       // "blob"
inline constexpr uint32_t kDirectoryChunkId = 0x66646972;  // "fdir"

// One reader per bundle image. Attach the image (a mapped view, or a stdio stream opened in binary
// mode whose offset 0 is the image's first byte), call Parse once, then Find and GetFileData any
// number of times. The reader owns its maps only: the view or the stream stays the caller's and
// must outlive every use of the reader. Not thread-safe; after Parse it is only read.
//
// A Parse that throws keeps what it recorded up to the failure: the chunks read so far and, when
// the failure came inside the directory, the entries that had passed their checks. Those entries
// stay findable and their bytes lie inside the blob payload.
class AssetBundle {
public:
    // Read from `length` bytes at `base`: position 0, end bound `length`.
    void AttachMemory(const uint8_t* base, uint64_t length);
    // Read from `stream` with fread and 64-bit seeks: position 0, end bound `length`. The stream
    // is not moved here; the first read happens wherever it stands, seeks are absolute.
    void AttachFile(std::FILE* stream, uint64_t length);

    // Clears both maps and the blob location, then reads the header, walks the chunks and reads
    // the directory. Throws "invalid read mode" when nothing is attached. Reads from the current
    // position with the current end bound and leaves the end bound narrowed to the end of the
    // directory chunk: parsing again needs a fresh attach.
    void Parse();

    // Exact, byte-wise lookup: no case folding, no separator or escape handling. Never throws.
    BundleFileInfo Find(const std::string& name) const;

    // Pointer to blob payload byte `offset` inside the attached image. Memory mode only (else
    // std::runtime_error "wrong read mode"). `offset` must come from a Find hit, which keeps
    // it inside the blob payload; nothing else is checked.
    const uint8_t* GetFileData(uint64_t offset) const;

    // Empties the chunk table and the directory.
    void Clear();

    // Bounded reads from the current position, which each advances by what it consumed.
    // Multi-byte values are decoded big-endian.
    uint8_t ReadU8();
    uint32_t ReadU32();
    uint64_t ReadU64();
    void ReadBytes(void* destination, uint64_t n);
    // Sets the position; in File mode also seeks the stream there (absolute offset).
    void Seek(uint64_t position);

    std::map<uint32_t, BundleChunk> chunks;
    std::map<std::string, BundleFileEntry> directory;
    uint64_t blobPosition = 0;
    uint64_t blobSize = 0;
    BundleReadMode readMode = BundleReadMode::None;
    uint64_t position = 0;
    uint64_t endBound = 0;
    std::FILE* stream = nullptr;
    const uint8_t* base = nullptr;
    // For diagnostics (the bundle tool's "verify"): while Parse reads the directory, the index of
    // the entry being read and the entry count; after a failure inside the directory they name the
    // failing entry. Parse resets both to nullopt/0 when it starts and sets currentEntry to nullopt
    // on success.
    std::optional<uint32_t> currentEntry;
    uint32_t entryCount = 0;
};

}  // namespace vandrel
