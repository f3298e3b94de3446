#pragma once

// The assets.dat layout, known here once: its constants, the encoding and decoding of its
// fixed-size parts, a whole small image, and the typed rejections of the reader.
//
// Layout (every integer big-endian):
//   header  "vdab" magic, u32 version (0), u32 chunk start, u32 flags (0)
//   chunks  from the chunk start to the end of the image: u32 id, u64 size, `size` payload bytes
//   "blob"  the bytes of every file, back to back
//   "fdir"  u32 count, then `count` entries: u32 0, u32 0, u64 offset, u64 size, u64 extra,
//           u8 compression (0 = stored), u32 name length, name bytes (UTF-8, "/"-separated)

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vandrel {

inline constexpr uint32_t kBundleMagic = 0x76646162;       // "vdab"
inline constexpr uint32_t kBlobChunkId = 0x626C6F62;       // "blob"
inline constexpr uint32_t kDirectoryChunkId = 0x66646972;  // "fdir"

inline constexpr uint64_t kBundleHeaderSize = 16;
inline constexpr uint64_t kChunkHeaderSize = 12;  // u32 id, u64 size
inline constexpr uint64_t kEntryFixedSize = 37;   // an entry without its name
// Where the name length lies in an entry's fixed part.
inline constexpr uint64_t kEntryNameLengthOffset = 33;
// The host learns the bundle's length from a signed 32-bit file size, so a bundle must stay
// below 2 GiB.
inline constexpr uint64_t kBundleSizeLimit = uint64_t{1} << 31;

struct BundleHeader {
    uint32_t magic = kBundleMagic;
    uint32_t version = 0;
    uint32_t chunkStart = static_cast<uint32_t>(kBundleHeaderSize);
    uint32_t flags = 0;
};

// The fixed part of a directory entry; `nameLength` bytes of name follow it.
struct EntryFields {
    uint32_t reserved0 = 0;
    uint32_t reserved1 = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t extra = 0;
    uint8_t compression = 0;
    uint32_t nameLength = 0;
};

// Big-endian integers.
void AppendU32(std::string& out, uint32_t value);
void AppendU64(std::string& out, uint64_t value);
uint32_t LoadU32(const uint8_t* bytes);
uint64_t LoadU64(const uint8_t* bytes);

void AppendHeader(std::string& out, const BundleHeader& header = {});
void AppendChunkHeader(std::string& out, uint32_t id, uint64_t size);
// The fixed part as given (its nameLength too), then `name`.
void AppendEntry(std::string& out, const EntryFields& fields, std::string_view name);
// An entry of a stored file: reserved fields 0, extra 0, the name's own length.
void AppendEntry(std::string& out, std::string_view name, uint64_t offset, uint64_t size);

// Decode kBundleHeaderSize, kChunkHeaderSize and kEntryFixedSize bytes.
BundleHeader DecodeHeader(const uint8_t* bytes);
std::pair<uint32_t, uint64_t> DecodeChunkHeader(const uint8_t* bytes);  // id, size
EntryFields DecodeEntryFields(const uint8_t* bytes);

// A whole image: the header, a blob chunk with `blob` and an fdir chunk with `directory`.
std::string EncodeBundleImage(std::string_view blob, std::string_view directory);
// A whole image: the header, a blob chunk with these files' bytes back to back in the given
// order, and a directory listing them in that order. For small images (a kit file, tests);
// the bundle tool writes large ones piece by piece.
std::string EncodeBundle(const std::vector<std::pair<std::string, std::string>>& files);

// Why the reader rejected an image.
enum class BundleFault {
    ReadPastEnd,         // "bundle read error": a read would pass the end bound
    FileRead,            // "file read error": a short read or failed seek of a stream
    InvalidReadMode,     // "invalid read mode": nothing attached
    WrongReadMode,       // "wrong read mode": file bytes asked of a stream
    BadFormat,           // "bad format": the magic
    UnsupportedVersion,  // "unsupported version"
    InvalidFlags,        // "invalid flags"
    BadChunk,            // "bad chunk": a payload runs past the end of the image
    MissingBlob,         // "missing blob chunk"
    MissingDirectory,    // "missing fdir chunk"
    ReservedNotZero,     // "bad file entry": a reserved field of an entry is not 0
    EntryOutsideBlob,    // "bad file entry": an entry's bytes run past the blob payload
    BadCompression,      // "bad file compression"
};

// The reader's fixed text for a fault.
const char* BundleFaultText(BundleFault fault);

// What every rejection carries: the fault, the offset in the image where the failing read or
// check happened, and the directory entry (counting from 0) being read, when there was one.
class BundleError {
public:
    BundleError(BundleFault fault, uint64_t offset, std::optional<uint32_t> entry)
        : fault(fault), offset(offset), entry(entry) {}
    virtual ~BundleError() = default;

    BundleFault fault;
    uint64_t offset;
    std::optional<uint32_t> entry;
};

// ReadPastEnd is thrown as a std::range_error, every other fault as a std::runtime_error; both
// are BundleErrors and carry the fault's text.
class BundleRangeError : public std::range_error, public BundleError {
public:
    BundleRangeError(uint64_t offset, std::optional<uint32_t> entry)
        : std::range_error(BundleFaultText(BundleFault::ReadPastEnd)),
          BundleError(BundleFault::ReadPastEnd, offset, entry) {}
};
class BundleFormatError : public std::runtime_error, public BundleError {
public:
    BundleFormatError(BundleFault fault, uint64_t offset, std::optional<uint32_t> entry)
        : std::runtime_error(BundleFaultText(fault)), BundleError(fault, offset, entry) {}
};

[[noreturn]] void ThrowBundleError(BundleFault fault, uint64_t offset,
                                   std::optional<uint32_t> entry = std::nullopt);

}  // namespace vandrel
