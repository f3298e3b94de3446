#include "bundle/opened_bundle.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "bundle/bundle_writer.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

std::string ChunkIdText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((id >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(id));
            return hex;
        }
        text.push_back(static_cast<char>(c));
    }
    return "'" + text + "'";
}

}  // namespace

// Opens and reads a bundle as the host would; a bundle of the size limit or more is rejected as
// the host rejects it, without reading it.
std::unique_ptr<OpenedBundle> OpenBundle(const fs::path& path, const ToolEnvironment& environment) {
    return OpenBundle(std::make_unique<InputFile>(path), path, environment);
}

std::unique_ptr<OpenedBundle> OpenBundle(std::unique_ptr<InputFile> file, const fs::path& path,
                                         const ToolEnvironment& environment) {
    auto bundle = std::make_unique<OpenedBundle>();
    bundle->path = path;
    bundle->length = file->Size();
    if (bundle->length >= environment.sizeLimit) {
        bundle->rejection = "the bundle is " + std::to_string(bundle->length) +
                            " bytes; the host reads bundles smaller than " +
                            LimitText(environment.sizeLimit);
        bundle->tooLarge = true;
        return bundle;
    }
    bundle->stream = StdioFromInput(*file);
    file.reset();
    bundle->reader.AttachFile(bundle->stream.get(), bundle->length);
    try {
        AtTestPoint(environment, "bundle-opened", PathToUtf8(path));
        bundle->reader.Parse();
    } catch (const std::bad_alloc&) {
        const uint32_t entries = bundle->reader.entryCount;
        throw OutOfMemory("out of memory while reading the directory of " + ShownPath(path) +
                          (entries > 0 ? " (" + Plural(entries, "entry", "entries") + ")" : ""));
    } catch (const BundleError& error) {
        if (error.fault == BundleFault::FileRead) {
            throw ToolError("cannot read " + ShownPath(path) + ": it changed or could not be read");
        }
        bundle->rejection = BundleFaultText(error.fault);
        bundle->fault = error;
    }
    return bundle;
}

std::vector<std::string> ExplainRejection(const OpenedBundle& bundle) {
    std::vector<std::string> lines;
    if (!bundle.fault) {
        return lines;
    }
    const AssetBundle& reader = bundle.reader;
    const BundleError& error = *bundle.fault;
    const uint64_t length = bundle.length;
    InputFile file(bundle.path);
    // At most `n` bytes at `offset`; fewer at the end of the file.
    const auto readAt = [&](uint64_t offset, size_t n) {
        std::vector<uint8_t> bytes;
        if (offset < length) {
            bytes.resize(static_cast<size_t>(std::min<uint64_t>(n, length - offset)));
            if (!file.ReadAt(offset, bytes.data(), bytes.size())) {
                bytes.clear();
            }
        }
        return bytes;
    };

    if (error.entry) {
        // The reader names the entry and where it starts.
        const BundleChunk& fdir = reader.chunks.at(kDirectoryChunkId);
        const uint64_t left =
            fdir.position + fdir.size - std::min(error.offset, fdir.position + fdir.size);
        std::string where = "at entry index " + std::to_string(*error.entry) + " of " +
                            std::to_string(reader.entryCount) + " (counting from 0)";
        const std::vector<uint8_t> fixed = readAt(error.offset, kEntryFixedSize);
        if (left < kEntryFixedSize || fixed.size() < kEntryFixedSize) {
            lines.push_back(where + ", whose name is not present");
            lines.push_back("the entry needs " + std::to_string(kEntryFixedSize) +
                            " bytes before its name, but only " + std::to_string(left) +
                            " remain in the fdir chunk");
            return lines;
        }
        const EntryFields entry = DecodeEntryFields(fixed.data());
        const uint64_t nameRoom = left - kEntryFixedSize;
        if (entry.nameLength <= nameRoom) {
            constexpr uint32_t kShownLength = 1024;  // a longer name is cut for display
            const std::vector<uint8_t> name =
                readAt(error.offset + kEntryFixedSize, std::min(entry.nameLength, kShownLength));
            lines.push_back(where + ": " + Shown(std::string(name.begin(), name.end())) +
                            (entry.nameLength > kShownLength
                                 ? " (first " + std::to_string(kShownLength) + " of " +
                                       std::to_string(entry.nameLength) + " bytes)"
                                 : std::string()));
        } else {
            lines.push_back(where + ", whose name is not present");
        }
        switch (error.fault) {
            case BundleFault::ReservedNotZero:
                lines.push_back("its reserved fields are " + std::to_string(entry.reserved0) +
                                " and " + std::to_string(entry.reserved1) + "; both must be 0");
                break;
            case BundleFault::EntryOutsideBlob:
                lines.push_back("its bytes (offset " + std::to_string(entry.offset) + ", size " +
                                std::to_string(entry.size) +
                                ") run past the end of the blob chunk (" +
                                std::to_string(reader.blobSize) + " bytes)");
                break;
            case BundleFault::BadCompression:
                lines.push_back("its compression is " + std::to_string(entry.compression) +
                                "; only 0 (stored) is accepted");
                break;
            default:
                if (entry.nameLength > nameRoom) {
                    lines.push_back("its name length is " + std::to_string(entry.nameLength) +
                                    ", but only " + std::to_string(nameRoom) +
                                    " bytes remain in the fdir chunk");
                }
        }
        return lines;
    }

    const std::vector<uint8_t> head = readAt(0, kBundleHeaderSize);
    if (head.size() < kBundleHeaderSize && error.fault != BundleFault::BadFormat) {
        lines.push_back("the file is " + Plural(length, "byte", "bytes") +
                        " long, shorter than the " + std::to_string(kBundleHeaderSize) +
                        "-byte header");
        return lines;
    }
    switch (error.fault) {
        case BundleFault::BadFormat: {
            std::string text = "the file starts with bytes";
            for (size_t i = 0; i < 4 && i < head.size(); ++i) {
                char hex[8];
                std::snprintf(hex, sizeof hex, " %02x", head[i]);
                text += hex;
            }
            lines.push_back(text + " where \"vdab\" (76 64 61 62) belongs");
            return lines;
        }
        case BundleFault::UnsupportedVersion:
            lines.push_back("its version is " + std::to_string(DecodeHeader(head.data()).version) +
                            "; only 0 is accepted");
            return lines;
        case BundleFault::InvalidFlags: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x",
                          static_cast<unsigned>(DecodeHeader(head.data()).flags));
            lines.push_back(std::string("its flags are ") + hex +
                            "; no flags are defined, so they must be 0");
            return lines;
        }
        case BundleFault::MissingBlob:
        case BundleFault::MissingDirectory: {
            if (reader.chunks.empty()) {
                lines.push_back("the file holds no chunks (chunk start " +
                                std::to_string(DecodeHeader(head.data()).chunkStart) +
                                ", file length " + std::to_string(length) + ")");
                return lines;
            }
            std::string text = "chunks found:";
            for (const auto& [id, chunk] : reader.chunks) {
                text += " " + ChunkIdText(id) + " (" + std::to_string(chunk.size) + " bytes at " +
                        std::to_string(chunk.position - kChunkHeaderSize) + ")";
            }
            lines.push_back(text);
            return lines;
        }
        case BundleFault::BadChunk: {
            const std::vector<uint8_t> chunk = readAt(error.offset, kChunkHeaderSize);
            if (chunk.size() == kChunkHeaderSize) {
                const auto [id, size] = DecodeChunkHeader(chunk.data());
                lines.push_back("chunk " + ChunkIdText(id) + " at offset " +
                                std::to_string(error.offset) + " declares " + std::to_string(size) +
                                " payload bytes, but only " +
                                std::to_string(length - error.offset - kChunkHeaderSize) +
                                " remain in the file");
            }
            return lines;
        }
        case BundleFault::ReadPastEnd:
            // Outside the directory's entries: a chunk header cut short by the end of the file,
            // or a directory too short for its entry count.
            if (reader.chunks.count(kDirectoryChunkId) != 0 &&
                reader.chunks.count(kBlobChunkId) != 0 &&
                reader.chunks.at(kDirectoryChunkId).size < 4) {
                lines.push_back("the fdir chunk holds " +
                                Plural(reader.chunks.at(kDirectoryChunkId).size, "byte", "bytes") +
                                ", too few for its 4-byte entry count");
            } else {
                const uint64_t left = length - std::min(error.offset, length);
                lines.push_back(Plural(left, "byte remains", "bytes remain") + " at offset " +
                                std::to_string(error.offset) +
                                ", too few for a 12-byte chunk header");
            }
            return lines;
        default:
            return lines;
    }
}

}  // namespace vandrel::tool
