#pragma once

// Builds asset bundle images byte by byte for tests, with the format's own encoders
// (portable/bundle/bundle_format.h). Nothing here checks the result: tests build broken images
// on purpose.
//
//   BundleBuilder image;
//   image.Header().Chunk(kBlobChunkId, "hello").Chunk(kDirectoryChunkId,
//       BundleDirectory({{"a.txt", 0, 5}}));

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "portable/bundle/asset_bundle.h"

namespace vandrel {

// Four ASCII characters in file order as the u32 the reader compares, e.g. FourCc("blob").
constexpr uint32_t FourCc(const char (&code)[5]) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

class BundleBuilder {
public:
    BundleBuilder& U8(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }
    BundleBuilder& U32(uint32_t value) { return Encoded(value, AppendU32); }
    BundleBuilder& U64(uint64_t value) { return Encoded(value, AppendU64); }
    BundleBuilder& Bytes(std::string_view data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    BundleBuilder& Bytes(const std::vector<uint8_t>& data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }

    // The 16-byte header; the defaults give a valid one whose chunks follow directly.
    BundleBuilder& Header(uint32_t chunkStart = 16, uint32_t magic = kBundleMagic,
                          uint32_t version = 0, uint32_t flags = 0) {
        return U32(magic).U32(version).U32(chunkStart).U32(flags);
    }

    // A chunk header alone; `size` need not match what follows.
    BundleBuilder& ChunkHeader(uint32_t id, uint64_t size) { return U32(id).U64(size); }

    // A whole chunk: header with the payload's true size, then the payload.
    BundleBuilder& Chunk(uint32_t id, std::string_view payload) {
        return ChunkHeader(id, payload.size()).Bytes(payload);
    }
    BundleBuilder& Chunk(uint32_t id, const std::vector<uint8_t>& payload) {
        return ChunkHeader(id, payload.size()).Bytes(payload);
    }

    // One directory entry; the name length defaults to the name's true length.
    BundleBuilder& Entry(std::string_view name, uint64_t offset, uint64_t size, uint64_t extra = 0,
                         uint8_t compression = 0, uint32_t reserved0 = 0, uint32_t reserved1 = 0,
                         std::optional<uint32_t> nameLength = std::nullopt) {
        U32(reserved0).U32(reserved1).U64(offset).U64(size).U64(extra).U8(compression);
        return U32(nameLength.value_or(static_cast<uint32_t>(name.size()))).Bytes(name);
    }

    size_t size() const { return bytes.size(); }

    std::vector<uint8_t> bytes;

private:
    template <typename T>
    BundleBuilder& Encoded(T value, void (*append)(std::string&, T)) {
        std::string encoded;
        append(encoded, value);
        return Bytes(encoded);
    }
};

// Fields of one directory entry, for BundleDirectory: {"name", offset, size} and optionally the
// extra, compression, reserved fields and a name length other than the name's own.
struct BundleEntrySpec {
    BundleEntrySpec(std::string name, uint64_t offset, uint64_t size, uint64_t extra = 0,
                    uint8_t compression = 0, uint32_t reserved0 = 0, uint32_t reserved1 = 0,
                    std::optional<uint32_t> nameLength = std::nullopt)
        : name(std::move(name)),
          offset(offset),
          size(size),
          extra(extra),
          compression(compression),
          reserved0(reserved0),
          reserved1(reserved1),
          nameLength(nameLength) {}

    std::string name;
    uint64_t offset;
    uint64_t size;
    uint64_t extra;
    uint8_t compression;
    uint32_t reserved0;
    uint32_t reserved1;
    std::optional<uint32_t> nameLength;
};

// An fdir payload: the count (the number of entries unless given) and the entries.
inline std::vector<uint8_t> BundleDirectory(const std::vector<BundleEntrySpec>& entries,
                                            std::optional<uint32_t> count = std::nullopt) {
    BundleBuilder payload;
    payload.U32(count.value_or(static_cast<uint32_t>(entries.size())));
    for (const BundleEntrySpec& e : entries) {
        payload.Entry(e.name, e.offset, e.size, e.extra, e.compression, e.reserved0, e.reserved1,
                      e.nameLength);
    }
    return payload.bytes;
}

// A valid image: header, blob chunk holding `blob`, fdir chunk listing `entries`.
inline std::vector<uint8_t> SimpleBundle(std::string_view blob,
                                         const std::vector<BundleEntrySpec>& entries) {
    BundleBuilder image;
    image.Header().Chunk(kBlobChunkId, blob).Chunk(kDirectoryChunkId, BundleDirectory(entries));
    return image.bytes;
}

// A valid image holding these files (name, bytes), stored one after the other in this order.
inline std::string BundleOfFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    return EncodeBundle(files);
}

}  // namespace vandrel
