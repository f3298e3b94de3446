#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "portable/bundle/bundle_format.h"

namespace vandrel {

// Reader for assets.dat, the file that packs the application's files into one image (its layout:
// portable/bundle/bundle_format.h).
//
// Each entry's [offset, offset + size) lies inside the blob payload. The first chunk with a given
// id and the first entry with a given name count; later ones are skipped.
//
// Rejections are the BundleErrors of bundle_format.h: a BundleRangeError (a std::range_error,
// "bundle read error") when a read would pass the end bound, a BundleFormatError (a
// std::runtime_error with the fault's fixed text) for everything else; each names the fault, the
// offset and the entry being read.

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

// The reader's directory: one entry per distinct name, kept in one vector sorted by name in
// ascending byte order (the order of std::string's operator<, so bytes compare as unsigned char).
// Each name is stored once, in its entry. Reads behave like a const std::map<std::string,
// BundleFileEntry>: iterating yields (name, entry) pairs in name order, find/count/contains/at take
// a name and compare it byte for byte. Lookups are binary searches that neither allocate nor
// throw (at excepted, which throws std::out_of_range on a miss as a map does).
//
// It is filled only through a Builder, which appends entries as they come and puts them in order
// once, when it goes out of scope, whether normally or by an exception.
class BundleFileIndex {
public:
    using key_type = std::string;
    using mapped_type = BundleFileEntry;
    // What iteration yields: references to the entry's name and to the entry itself.
    using value_type = std::pair<const std::string&, const BundleFileEntry&>;
    using reference = value_type;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;

    // Random access over the sorted entries. Dereferencing makes a (name, entry) pair of references
    // on the fly, so `for (const auto& [name, entry] : index)`, `it->first` and `it->second` work
    // as with a map; the pair itself is a temporary, the references stay valid as long as the
    // index is not rebuilt or cleared.
    class const_iterator {
    public:
        // Random access for the standard algorithms too, although the reference is a pair of
        // references made on the fly rather than a real reference (as with vector<bool>).
        using iterator_concept = std::random_access_iterator_tag;
        using iterator_category = std::random_access_iterator_tag;
        using value_type = BundleFileIndex::value_type;
        using reference = BundleFileIndex::reference;
        using difference_type = std::ptrdiff_t;

        // What operator-> returns: holds the pair so that it->first and it->second can refer to it.
        struct Arrow {
            value_type item;
            const value_type* operator->() const noexcept { return &item; }
        };

        const_iterator() = default;

        reference operator*() const noexcept { return {entry_->name, *entry_}; }
        Arrow operator->() const noexcept { return Arrow{**this}; }
        reference operator[](difference_type n) const noexcept { return *(*this + n); }

        const_iterator& operator++() noexcept {
            ++entry_;
            return *this;
        }
        const_iterator operator++(int) noexcept {
            const_iterator old = *this;
            ++entry_;
            return old;
        }
        const_iterator& operator--() noexcept {
            --entry_;
            return *this;
        }
        const_iterator operator--(int) noexcept {
            const_iterator old = *this;
            --entry_;
            return old;
        }
        const_iterator& operator+=(difference_type n) noexcept {
            entry_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) noexcept {
            entry_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) noexcept {
            return it += n;
        }
        friend const_iterator operator+(difference_type n, const_iterator it) noexcept {
            return it += n;
        }
        friend const_iterator operator-(const_iterator it, difference_type n) noexcept {
            return it -= n;
        }
        friend difference_type operator-(const_iterator a, const_iterator b) noexcept {
            return a.entry_ - b.entry_;
        }
        friend bool operator==(const const_iterator&, const const_iterator&) noexcept = default;
        friend auto operator<=>(const const_iterator&, const const_iterator&) noexcept = default;

    private:
        friend class BundleFileIndex;
        explicit const_iterator(const BundleFileEntry* entry) noexcept : entry_(entry) {}
        const BundleFileEntry* entry_ = nullptr;
    };
    using iterator = const_iterator;

    class Builder;

    const_iterator begin() const noexcept { return const_iterator(entries_.data()); }
    const_iterator end() const noexcept {
        return const_iterator(entries_.data() + entries_.size());
    }
    const_iterator cbegin() const noexcept { return begin(); }
    const_iterator cend() const noexcept { return end(); }

    size_type size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

    // The entry with exactly this name, or end().
    const_iterator find(std::string_view name) const noexcept {
        const BundleFileEntry* entry = Lookup(name);
        return entry != nullptr ? const_iterator(entry) : end();
    }
    // The entry with exactly this name, or nullptr.
    const BundleFileEntry* Lookup(std::string_view name) const noexcept;
    bool contains(std::string_view name) const noexcept { return Lookup(name) != nullptr; }
    size_type count(std::string_view name) const noexcept { return contains(name) ? 1 : 0; }
    // The entry with exactly this name; std::out_of_range when there is none.
    const BundleFileEntry& at(std::string_view name) const;

    // Every entry, in name order.
    std::span<const BundleFileEntry> entries() const noexcept { return entries_; }

    void clear() noexcept { entries_.clear(); }

private:
    std::vector<BundleFileEntry> entries_;
};

// Fills a BundleFileIndex from entries in file order, with the rule that the first entry with a
// name counts and later ones are dropped. Entries that arrive in strictly ascending order, as the
// bundle tool writes them, are appended as they come and never sorted; a repeat of the name just
// before is dropped. From the first entry out of order on, the builder also keeps a hash table of
// the names it holds and drops every repeated name as it arrives, so it holds one entry per
// distinct name, whatever the count of entries. The destructor puts the entries in order by name,
// also when it runs because an exception leaves the scope. The index must not be read while its
// builder exists.
class BundleFileIndex::Builder {
public:
    // Empties `index` and reserves room for `expected` entries.
    Builder(BundleFileIndex& index, size_t expected);
    ~Builder();
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    void Add(std::string name, uint64_t offset, uint64_t size, uint64_t extra);

    // Entries held so far: one per distinct name added.
    size_t size() const noexcept { return entries_.size(); }

private:
    // Builds the hash table over the entries held so far, all of whose names differ.
    void StartHashing();
    // Makes room in the hash table for one more entry.
    void Grow();
    // The slot of `name` in the table: the one that holds it, or the empty one where it goes.
    size_t SlotOf(std::string_view name, size_t hash) const noexcept;

    std::vector<BundleFileEntry>& entries_;
    bool ascending_ = true;  // every entry so far has a name above the one before it
    // Open addressing, linear probing: entry index + 1 per slot, 0 when empty; a power of two in
    // size, at most half full. Empty while the names come in order.
    std::vector<uint32_t> slots_;
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

// One reader per bundle image. Attach the image (a mapped view, or a stdio stream opened in binary
// mode whose offset 0 is the image's first byte), call Parse once, then Find and GetFileData any
// number of times. The reader owns its tables only: the view or the stream stays the caller's and
// must outlive every use of the reader. Not thread-safe; after Parse it is only read.
//
// A Parse that throws keeps what it recorded up to the failure: the chunks read so far and, when
// the failure came inside the directory, the entries that had passed their checks. Those entries
// stay findable (the directory is put in order on the way out) and their bytes lie inside the blob
// payload.
class AssetBundle {
public:
    // Read from `length` bytes at `base`: position 0, end bound `length`.
    void AttachMemory(const uint8_t* base, uint64_t length);
    // Read from `stream` with fread and 64-bit seeks: position 0, end bound `length`. The stream
    // is not moved here; the first read happens wherever it stands, seeks are absolute.
    void AttachFile(std::FILE* stream, uint64_t length);

    // Clears the chunk table, the directory and the blob location, then reads the header, walks the
    // chunks and reads the directory. Throws "invalid read mode" when nothing is attached. Reads
    // from the current position with the current end bound and leaves the end bound narrowed to the
    // end of the directory chunk: parsing again needs a fresh attach.
    void Parse();

    // Exact, byte-wise lookup: no case folding, no separator or escape handling. A binary search of
    // the directory; never throws, never allocates.
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
    // Throws the BundleError of `fault` at `offset`, naming the entry being read.
    [[noreturn]] void Reject(BundleFault fault, uint64_t offset) const;

    std::map<uint32_t, BundleChunk> chunks;
    BundleFileIndex directory;
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

private:
    uint64_t entryOffset_ = 0;  // where the entry being read starts
};

}  // namespace vandrel
