#include "portable/bundle/asset_bundle.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace vandrel {

namespace {

// True when n bytes starting at `position` stay within `endBound`. Written so that neither a
// position past the bound nor a huge n can wrap.
bool Fits(uint64_t position, uint64_t endBound, uint64_t n) {
    return position <= endBound && n <= endBound - position;
}

// 64-bit seek on a stdio stream. Offsets the platform's signed offset type cannot hold count as a
// failed seek.
bool SeekStream(std::FILE* stream, uint64_t offset, int origin) {
#ifdef _WIN32
    if (offset > static_cast<uint64_t>(std::numeric_limits<__int64>::max())) {
        return false;
    }
    return _fseeki64(stream, static_cast<__int64>(offset), origin) == 0;
#else
    static_assert(sizeof(off_t) >= sizeof(int64_t), "the bundle reader needs a 64-bit off_t");
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        return false;
    }
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
#endif
}

// Room reserved up front for the directory is never more than this many entries; a longer
// directory grows the vector as it goes. Keeps a bogus count in a huge fdir from reserving memory
// the entries will never fill.
constexpr uint64_t kMaxReservedEntries = uint64_t{1} << 17;

bool NameBelow(const BundleFileEntry& entry, std::string_view name) noexcept {
    return std::string_view(entry.name) < name;
}

bool ByName(const BundleFileEntry& a, const BundleFileEntry& b) noexcept {
    return a.name < b.name;
}

}  // namespace

// ---- BundleFileIndex

const BundleFileEntry* BundleFileIndex::Lookup(std::string_view name) const noexcept {
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), name, NameBelow);
    if (found == entries_.end() || std::string_view(found->name) != name) {
        return nullptr;
    }
    return &*found;
}

const BundleFileEntry& BundleFileIndex::at(std::string_view name) const {
    const BundleFileEntry* entry = Lookup(name);
    if (entry == nullptr) {
        throw std::out_of_range("BundleFileIndex::at");
    }
    return *entry;
}

BundleFileIndex::Builder::Builder(BundleFileIndex& index, size_t expected)
    : entries_(index.entries_) {
    entries_.clear();
    entries_.reserve(expected);
}

BundleFileIndex::Builder::~Builder() {
    if (ascending_) {
        return;
    }
    // Cannot throw: the names all differ, comparing and moving entries cannot throw.
    std::sort(entries_.begin(), entries_.end(), ByName);
}

size_t BundleFileIndex::Builder::SlotOf(std::string_view name, size_t hash) const noexcept {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t held = slots_[slot];
        if (held == 0 || entries_[held - 1].name == name) {
            return slot;
        }
    }
}

void BundleFileIndex::Builder::Grow() {
    if ((entries_.size() + 1) * 2 <= slots_.size()) {
        return;
    }
    if (entries_.size() >= std::numeric_limits<uint32_t>::max() - 1) {
        throw std::bad_alloc();
    }
    std::vector<uint32_t> larger(std::max<size_t>(16, slots_.size() * 2), 0);
    slots_.swap(larger);
    const std::hash<std::string_view> hash;
    for (size_t i = 0; i < entries_.size(); ++i) {
        slots_[SlotOf(entries_[i].name, hash(entries_[i].name))] = static_cast<uint32_t>(i + 1);
    }
}

void BundleFileIndex::Builder::StartHashing() {
    ascending_ = false;
    Grow();
}

void BundleFileIndex::Builder::Add(std::string name, uint64_t offset, uint64_t size,
                                   uint64_t extra) {
    if (ascending_) {
        if (!entries_.empty()) {
            const int order = entries_.back().name.compare(name);
            if (order == 0) {
                return;  // the same name as the entry before, which counts
            }
            if (order > 0) {
                StartHashing();
            }
        }
        if (ascending_) {
            entries_.push_back(BundleFileEntry{std::move(name), 0, offset, size, extra});
            return;
        }
    }
    const size_t hash = std::hash<std::string_view>()(name);
    if (slots_[SlotOf(name, hash)] != 0) {
        return;  // an earlier entry has the name
    }
    // Room first: whatever throws leaves the entries and the table as they were.
    Grow();
    const size_t slot = SlotOf(name, hash);
    entries_.push_back(BundleFileEntry{std::move(name), 0, offset, size, extra});
    slots_[slot] = static_cast<uint32_t>(entries_.size());
}

// ---- AssetBundle

void AssetBundle::AttachMemory(const uint8_t* imageBase, uint64_t length) {
    readMode = BundleReadMode::Memory;
    base = imageBase;
    position = 0;
    endBound = length;
}

void AssetBundle::AttachFile(std::FILE* imageStream, uint64_t length) {
    readMode = BundleReadMode::File;
    stream = imageStream;
    position = 0;
    endBound = length;
}

void AssetBundle::Parse() {
    chunks.clear();
    directory.clear();
    blobPosition = 0;
    blobSize = 0;
    currentEntry.reset();
    entryCount = 0;

    // The first header read would otherwise stop at the zero end bound of an unattached reader
    // and report a read past the end instead of the missing image.
    if (readMode != BundleReadMode::Memory && readMode != BundleReadMode::File) {
        Reject(BundleFault::InvalidReadMode, position);
    }

    // Header.
    const uint64_t start = position;
    if (ReadU32() != kBundleMagic) {
        Reject(BundleFault::BadFormat, start);
    }
    if (ReadU32() != 0) {
        Reject(BundleFault::UnsupportedVersion, start + 4);
    }
    const uint32_t chunkStart = ReadU32();
    if (ReadU32() != 0) {
        Reject(BundleFault::InvalidFlags, start + 12);
    }

    // Chunks, back to back up to the end of the image. Payloads are skipped, never read.
    Seek(chunkStart);
    while (position < endBound) {
        const uint64_t chunkHeader = position;
        const uint32_t id = ReadU32();
        const uint64_t size = ReadU64();
        if (size > endBound - position) {
            Reject(BundleFault::BadChunk, chunkHeader);
        }
        chunks.try_emplace(id, BundleChunk{id, position, size});
        if (readMode == BundleReadMode::File && size != 0 && !SeekStream(stream, size, SEEK_CUR)) {
            Reject(BundleFault::FileRead, position);
        }
        position += size;
    }

    const auto blob = chunks.find(kBlobChunkId);
    if (blob == chunks.end()) {
        Reject(BundleFault::MissingBlob, chunkStart);
    }
    blobPosition = blob->second.position;
    blobSize = blob->second.size;

    const auto fdir = chunks.find(kDirectoryChunkId);
    if (fdir == chunks.end()) {
        Reject(BundleFault::MissingDirectory, chunkStart);
    }

    // Directory: every read from here on is confined to the fdir payload.
    Seek(fdir->second.position);
    endBound = fdir->second.position + fdir->second.size;
    const uint32_t count = ReadU32();
    entryCount = count;
    // The builder puts the entries in order when it goes out of scope, so those accepted before a
    // failure stay findable. Every entry takes at least kEntryFixedSize of the fdir payload, so a
    // count the payload cannot hold reserves no more than the payload could.
    const uint64_t fitting = (endBound - position) / kEntryFixedSize;
    BundleFileIndex::Builder files(
        directory, static_cast<size_t>(std::min({uint64_t{count}, fitting, kMaxReservedEntries})));
    for (uint32_t index = 0; index < count; ++index) {
        currentEntry = index;
        entryOffset_ = position;
        const uint64_t entryStart = position;
        const uint32_t reserved0 = ReadU32();
        const uint32_t reserved1 = ReadU32();
        if (reserved0 != 0 || reserved1 != 0) {
            Reject(BundleFault::ReservedNotZero, entryStart);
        }
        const uint64_t offset = ReadU64();
        const uint64_t size = ReadU64();
        const uint64_t extra = ReadU64();
        if (offset > blobSize || size > blobSize - offset) {
            Reject(BundleFault::EntryOutsideBlob, entryStart);
        }
        if (ReadU8() != 0) {
            Reject(BundleFault::BadCompression, entryStart);
        }
        const uint32_t nameLength = ReadU32();
        // Checked before the name is allocated, so a bogus length costs nothing.
        if (!Fits(position, endBound, nameLength)) {
            Reject(BundleFault::ReadPastEnd, position);
        }
        std::string name(nameLength, '\0');
        ReadBytes(name.data(), nameLength);
        files.Add(std::move(name), offset, size, extra);
    }
    currentEntry.reset();
}

BundleFileInfo AssetBundle::Find(const std::string& name) const {
    const BundleFileEntry* file = directory.Lookup(name);
    if (file == nullptr) {
        return {};
    }
    return BundleFileInfo{file->offset, file->size, file->extra, file->compression, true};
}

const uint8_t* AssetBundle::GetFileData(uint64_t offset) const {
    if (readMode != BundleReadMode::Memory) {
        Reject(BundleFault::WrongReadMode, offset);
    }
    return base + static_cast<size_t>(blobPosition + offset);
}

void AssetBundle::Clear() {
    chunks.clear();
    directory.clear();
}

uint8_t AssetBundle::ReadU8() {
    uint8_t value = 0;
    ReadBytes(&value, 1);
    return value;
}

uint32_t AssetBundle::ReadU32() {
    uint8_t bytes[4];
    ReadBytes(bytes, sizeof(bytes));
    return LoadU32(bytes);
}

uint64_t AssetBundle::ReadU64() {
    uint8_t bytes[8];
    ReadBytes(bytes, sizeof(bytes));
    return LoadU64(bytes);
}

void AssetBundle::ReadBytes(void* destination, uint64_t n) {
    if (!Fits(position, endBound, n)) {
        Reject(BundleFault::ReadPastEnd, position);
    }
    // A Memory image is a view inside the address space, so its n always fits in size_t; a File
    // image larger than the address space cannot be read in one piece.
    const size_t count = static_cast<size_t>(n);
    switch (readMode) {
        case BundleReadMode::Memory:
            if (count != 0) {
                std::memcpy(destination, base + static_cast<size_t>(position), count);
            }
            break;
        case BundleReadMode::File:
            if (count != n || (count != 0 && std::fread(destination, 1, count, stream) != count)) {
                Reject(BundleFault::FileRead, position);
            }
            break;
        default:
            Reject(BundleFault::InvalidReadMode, position);
    }
    position += n;
}

void AssetBundle::Seek(uint64_t newPosition) {
    if (readMode == BundleReadMode::File && !SeekStream(stream, newPosition, SEEK_SET)) {
        Reject(BundleFault::FileRead, newPosition);
    }
    position = newPosition;
}

void AssetBundle::Reject(BundleFault fault, uint64_t offset) const {
    // A fault inside a directory entry is placed at the entry's start.
    ThrowBundleError(fault, currentEntry ? entryOffset_ : offset, currentEntry);
}

}  // namespace vandrel
