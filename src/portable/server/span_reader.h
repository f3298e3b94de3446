#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vandrel {

// A read position over `size` bytes at `data`: the body of a response read straight out of a
// mapped view, with nothing copied until a reader asks for bytes. `owner` keeps the bytes alive
// for as long as this reader, or a copy of it, exists; it may be null for bytes that live for the
// whole run. A copy starts at the same position and moves on its own. Not synchronised: one
// thread at a time per reader.
class SpanReader {
public:
    enum class Origin { Begin, Current, End };

    SpanReader(std::shared_ptr<const void> owner, const uint8_t* data, uint64_t size)
        : owner_(std::move(owner)), data_(data), size_(size) {}

    // Copies up to `n` bytes from the position into `out` and moves past them. Returns how many:
    // fewer than `n` only at the end, 0 at or past it.
    size_t Read(void* out, size_t n);

    // Moves the position to `offset` from the origin. The position may lie past the end (reads
    // there give nothing); a position below 0, or one that does not fit 64 bits, is refused:
    // false, and the position stays.
    bool Seek(int64_t offset, Origin origin);

    uint64_t Position() const { return position_; }
    uint64_t Size() const { return size_; }

private:
    std::shared_ptr<const void> owner_;
    const uint8_t* data_;
    uint64_t size_;
    uint64_t position_ = 0;
};

}  // namespace vandrel
