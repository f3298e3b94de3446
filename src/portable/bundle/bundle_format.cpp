#include "portable/bundle/bundle_format.h"

#include <iterator>

namespace vandrel {

void AppendU32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>(value >> shift));
    }
}

void AppendU64(std::string& out, uint64_t value) {
    AppendU32(out, static_cast<uint32_t>(value >> 32));
    AppendU32(out, static_cast<uint32_t>(value));
}

uint32_t LoadU32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
}

uint64_t LoadU64(const uint8_t* bytes) {
    return (uint64_t{LoadU32(bytes)} << 32) | LoadU32(bytes + 4);
}

void AppendHeader(std::string& out, const BundleHeader& header) {
    AppendU32(out, header.magic);
    AppendU32(out, header.version);
    AppendU32(out, header.chunkStart);
    AppendU32(out, header.flags);
}

void AppendChunkHeader(std::string& out, uint32_t id, uint64_t size) {
    AppendU32(out, id);
    AppendU64(out, size);
}

void AppendEntry(std::string& out, const EntryFields& fields, std::string_view name) {
    AppendU32(out, fields.reserved0);
    AppendU32(out, fields.reserved1);
    AppendU64(out, fields.offset);
    AppendU64(out, fields.size);
    AppendU64(out, fields.extra);
    out.push_back(static_cast<char>(fields.compression));
    AppendU32(out, fields.nameLength);
    out.append(name);
}

void AppendEntry(std::string& out, std::string_view name, uint64_t offset, uint64_t size) {
    EntryFields fields;
    fields.offset = offset;
    fields.size = size;
    fields.nameLength = static_cast<uint32_t>(name.size());
    AppendEntry(out, fields, name);
}

BundleHeader DecodeHeader(const uint8_t* bytes) {
    return BundleHeader{LoadU32(bytes), LoadU32(bytes + 4), LoadU32(bytes + 8),
                        LoadU32(bytes + 12)};
}

std::pair<uint32_t, uint64_t> DecodeChunkHeader(const uint8_t* bytes) {
    return {LoadU32(bytes), LoadU64(bytes + 4)};
}

EntryFields DecodeEntryFields(const uint8_t* bytes) {
    EntryFields fields;
    fields.reserved0 = LoadU32(bytes);
    fields.reserved1 = LoadU32(bytes + 4);
    fields.offset = LoadU64(bytes + 8);
    fields.size = LoadU64(bytes + 16);
    fields.extra = LoadU64(bytes + 24);
    fields.compression = bytes[32];
    fields.nameLength = LoadU32(bytes + kEntryNameLengthOffset);
    return fields;
}

std::string EncodeBundle(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string blob;
    std::string directory;
    AppendU32(directory, static_cast<uint32_t>(files.size()));
    for (const auto& [name, bytes] : files) {
        AppendEntry(directory, name, blob.size(), bytes.size());
        blob += bytes;
    }
    return EncodeBundleImage(blob, directory);
}

std::string EncodeBundleImage(std::string_view blob, std::string_view directory) {
    std::string image;
    AppendHeader(image);
    AppendChunkHeader(image, kBlobChunkId, blob.size());
    image += blob;
    AppendChunkHeader(image, kDirectoryChunkId, directory.size());
    image += directory;
    return image;
}

const char* BundleFaultText(BundleFault fault) {
    // In the order of BundleFault.
    static constexpr const char* kTexts[] = {
        "bundle read error",    "file read error",     "invalid read mode", "wrong read mode",
        "bad format",           "unsupported version", "invalid flags",     "bad chunk",
        "missing blob chunk",   "missing fdir chunk",  "bad file entry",    "bad file entry",
        "bad file compression",
    };
    static_assert(std::size(kTexts) == static_cast<size_t>(BundleFault::BadCompression) + 1);
    return kTexts[static_cast<size_t>(fault)];
}

void ThrowBundleError(BundleFault fault, uint64_t offset, std::optional<uint32_t> entry) {
    if (fault == BundleFault::ReadPastEnd) {
        throw BundleRangeError(offset, entry);
    }
    throw BundleFormatError(fault, offset, entry);
}

}  // namespace vandrel
