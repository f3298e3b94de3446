#include "bundle/bundle_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/shown_text.h"
#include "portable/bundle/asset_bundle.h"
#include "platform/file_io.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;

inline uint64_t Rotl(uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

inline uint64_t LoadWord(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline uint64_t Round(uint64_t lane, uint64_t word) {
    lane += word * kPrime2;
    lane = Rotl(lane, 31);
    return lane * kPrime1;
}

constexpr size_t kBufferSize = size_t{1} << 20;

// The blob payload as it is written: a buffer in front of the temporary file, positions counted
// from the start of the file. File contents are read straight into the buffer's free space.
class BlobStream {
public:
    BlobStream(TempOutputFile& file, uint64_t start)
        : file_(file), buffer_(new uint8_t[kBufferSize]), bufferStart_(start) {}

    uint64_t Position() const { return bufferStart_ + fill_; }

    // Free space at the current position; flushes a full buffer first.
    uint8_t* Space(size_t& capacity) {
        if (fill_ == kBufferSize) {
            Flush();
        }
        capacity = kBufferSize - fill_;
        return buffer_.get() + fill_;
    }
    void Commit(size_t n) { fill_ += n; }

    void Write(const void* data, size_t n) {
        const auto* in = static_cast<const uint8_t*>(data);
        while (n > 0) {
            size_t capacity = 0;
            uint8_t* space = Space(capacity);
            const size_t step = std::min(capacity, n);
            std::memcpy(space, in, step);
            Commit(step);
            in += step;
            n -= step;
        }
    }

    void Flush() {
        if (fill_ > 0) {
            file_.WriteAt(bufferStart_, buffer_.get(), fill_);
            bufferStart_ += fill_;
            fill_ = 0;
            highWater_ = std::max(highWater_, bufferStart_);
        }
    }

    // Moves the position back to `position`, dropping what was written after it.
    void Rewind(uint64_t position) {
        if (position >= bufferStart_) {
            fill_ = position - bufferStart_;
        } else {
            bufferStart_ = position;
            fill_ = 0;
        }
    }

    // Copies `n` bytes written at `position`, from the file or from the buffer.
    void ReadBack(uint64_t position, uint8_t* out, size_t n) {
        if (position < bufferStart_) {
            const size_t fromFile =
                static_cast<size_t>(std::min<uint64_t>(n, bufferStart_ - position));
            file_.ReadAt(position, out, fromFile);
            position += fromFile;
            out += fromFile;
            n -= fromFile;
        }
        if (n > 0) {
            std::memcpy(out, buffer_.get() + (position - bufferStart_), n);
        }
    }

    // True when the two written ranges [a, a + n) and [b, b + n) hold the same bytes.
    bool RangesEqual(uint64_t a, uint64_t b, uint64_t n) {
        constexpr size_t kStep = size_t{64} << 10;
        if (!scratch_) {
            scratch_.reset(new uint8_t[2 * kStep]);
        }
        while (n > 0) {
            const size_t step = static_cast<size_t>(std::min<uint64_t>(n, kStep));
            ReadBack(a, scratch_.get(), step);
            ReadBack(b, scratch_.get() + kStep, step);
            if (std::memcmp(scratch_.get(), scratch_.get() + kStep, step) != 0) {
                return false;
            }
            a += step;
            b += step;
            n -= step;
        }
        return true;
    }

    // Largest file position ever flushed: bytes past the final length must be cut off.
    uint64_t HighWater() const { return highWater_; }

private:
    TempOutputFile& file_;
    std::unique_ptr<uint8_t[]> buffer_;
    std::unique_ptr<uint8_t[]> scratch_;
    uint64_t bufferStart_;
    size_t fill_ = 0;
    uint64_t highWater_ = 0;
};

struct StoredRange {
    uint64_t offset;  // in the blob payload
    uint64_t size;
};

struct PlannedEntry {
    const BundleInput* input;
    uint64_t offset;
    uint64_t size;
};

}  // namespace

// ---- ContentHasher

ContentHasher::ContentHasher() : lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1}, pending_{} {}

void ContentHasher::Stripe(const uint8_t* p) {
    lanes_[0] = Round(lanes_[0], LoadWord(p));
    lanes_[1] = Round(lanes_[1], LoadWord(p + 8));
    lanes_[2] = Round(lanes_[2], LoadWord(p + 16));
    lanes_[3] = Round(lanes_[3], LoadWord(p + 24));
}

void ContentHasher::Update(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    totalLength_ += n;
    if (pendingLength_ > 0) {
        const size_t take = std::min(n, sizeof pending_ - pendingLength_);
        std::memcpy(pending_ + pendingLength_, p, take);
        pendingLength_ += take;
        p += take;
        n -= take;
        if (pendingLength_ < sizeof pending_) {
            return;
        }
        Stripe(pending_);
        pendingLength_ = 0;
    }
    while (n >= 32) {
        Stripe(p);
        p += 32;
        n -= 32;
    }
    if (n > 0) {
        std::memcpy(pending_, p, n);
        pendingLength_ = n;
    }
}

uint64_t ContentHasher::Finish() const {
    uint64_t h =
        Rotl(lanes_[0], 1) + Rotl(lanes_[1], 7) + Rotl(lanes_[2], 12) + Rotl(lanes_[3], 18);
    h += totalLength_;
    size_t i = 0;
    for (; i + 8 <= pendingLength_; i += 8) {
        h ^= Round(0, LoadWord(pending_ + i));
        h = Rotl(h, 27) * kPrime1 + kPrime4;
    }
    if (i < pendingLength_) {
        uint8_t last[8] = {};
        std::memcpy(last, pending_ + i, pendingLength_ - i);
        h ^= Round(pendingLength_ - i, LoadWord(last));
        h = Rotl(h, 23) * kPrime2 + kPrime3;
    }
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

uint64_t HashBytes(const void* data, size_t n) {
    ContentHasher hasher;
    hasher.Update(data, n);
    return hasher.Finish();
}

// ---- Writing

void CheckBundleSize(uint64_t totalBytes, uint64_t fileCount, uint64_t limit) {
    if (totalBytes >= limit) {
        throw ToolError("the " + std::to_string(fileCount) +
                        (fileCount == 1 ? " file holds " : " files hold ") +
                        std::to_string(totalBytes) + (totalBytes == 1 ? " byte" : " bytes") +
                        ", too much for one bundle: the host reads bundles smaller than " +
                        LimitText(limit));
    }
}

PackStats WriteBundle(std::vector<BundleInput> inputs, const fs::path& output,
                      const PackOptions& options) {
    std::sort(inputs.begin(), inputs.end(),
              [](const BundleInput& a, const BundleInput& b) { return a.name < b.name; });
    uint64_t plannedBytes = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (i > 0 && inputs[i].name == inputs[i - 1].name) {
            throw ToolError("two files have the name " + Shown(inputs[i].name));
        }
        if (inputs[i].name.size() > UINT32_MAX) {
            throw ToolError("a file name is too long");
        }
        plannedBytes += inputs[i].size;
    }
    if (inputs.size() > UINT32_MAX) {
        throw ToolError("too many files for one bundle");
    }
    CheckBundleSize(plannedBytes, inputs.size(), options.sizeLimit);

    TempOutputFile file(output);
    BlobStream blob(file, kBlobPayloadStart);

    std::string head;
    AppendHeader(head);
    AppendChunkHeader(head, kBlobChunkId, 0);  // the blob's size is filled in at the end
    file.WriteAt(0, head.data(), head.size());

    PackStats stats;
    std::vector<PlannedEntry> entries;
    entries.reserve(inputs.size());
    std::unordered_multimap<uint64_t, StoredRange> stored;
    stored.reserve(inputs.size());

    for (const BundleInput& input : inputs) {
        const uint64_t start = blob.Position();
        ContentHasher hasher;
        {
            const std::unique_ptr<InputFile> in =
                options.open ? options.open(input) : std::make_unique<InputFile>(input.source);
            for (;;) {
                // At most one byte more than planned is asked for: enough to see that the file
                // grew, never enough to let it run on.
                const uint64_t allowed = input.size + 1 - (blob.Position() - start);
                size_t capacity = 0;
                uint8_t* space = blob.Space(capacity);
                const size_t got = in->Read(space, std::min<uint64_t>(capacity, allowed));
                if (got == 0) {
                    break;
                }
                if (got == allowed) {
                    throw ToolError(
                        "refusing to pack " + Shown(input.name) +
                        ": it grew while it was read, past the " + std::to_string(input.size) +
                        (input.size == 1 ? " byte" : " bytes") + " it had; nothing was written");
                }
                hasher.Update(space, got);
                blob.Commit(got);
            }
        }
        const uint64_t size = blob.Position() - start;
        uint64_t offset = start - kBlobPayloadStart;
        if (size > 0) {
            const uint64_t hash = hasher.Finish() & options.hashMask;
            bool shared = false;
            for (auto [it, end] = stored.equal_range(hash); it != end; ++it) {
                const StoredRange& earlier = it->second;
                if (earlier.size == size &&
                    blob.RangesEqual(kBlobPayloadStart + earlier.offset, start, size)) {
                    offset = earlier.offset;
                    blob.Rewind(start);
                    shared = true;
                    break;
                }
            }
            if (shared) {
                ++stats.sharedFiles;
                stats.savedBytes += size;
            } else {
                stored.emplace(hash, StoredRange{offset, size});
            }
        }
        entries.push_back({&input, offset, size});
        stats.bytes += size;
        if (options.progress) {
            options.progress(entries.size(), stats.bytes);
        }
    }

    const uint64_t blobEnd = blob.Position();
    stats.storedBytes = blobEnd - kBlobPayloadStart;

    uint64_t directorySize = 4;
    for (const PlannedEntry& entry : entries) {
        directorySize += kEntryFixedSize + entry.input->name.size();
    }
    const uint64_t bundleBytes = blobEnd + kChunkHeaderSize + directorySize;
    if (bundleBytes >= options.sizeLimit) {
        throw ToolError("the bundle would be " + std::to_string(bundleBytes) +
                        " bytes, too large: the host reads bundles smaller than " +
                        LimitText(options.sizeLimit));
    }

    std::string record;
    AppendChunkHeader(record, kDirectoryChunkId, directorySize);
    AppendU32(record, static_cast<uint32_t>(entries.size()));
    blob.Write(record.data(), record.size());
    for (const PlannedEntry& entry : entries) {
        record.clear();
        AppendEntry(record, entry.input->name, entry.offset, entry.size);
        blob.Write(record.data(), record.size());
    }
    blob.Flush();

    std::string blobSize;
    AppendU64(blobSize, stats.storedBytes);
    file.WriteAt(kBundleHeaderSize + 4, blobSize.data(), blobSize.size());
    if (blob.HighWater() > bundleBytes) {
        file.Truncate(bundleBytes);
    }
    file.Commit();

    stats.files = entries.size();
    stats.bundleBytes = bundleBytes;
    return stats;
}

std::string LimitText(uint64_t limit) {
    if (limit == kBundleSizeLimit) {
        return "2 GiB (2147483648 bytes)";
    }
    return std::to_string(limit) + " bytes";
}

}  // namespace vandrel::tool
