#include "portable/server/span_reader.h"

#include <cstring>
#include <limits>

namespace vandrel {

size_t SpanReader::Read(void* out, size_t n) {
    if (position_ >= size_ || n == 0) {
        return 0;
    }
    const uint64_t left = size_ - position_;
    const size_t count = left < n ? static_cast<size_t>(left) : n;
    std::memcpy(out, data_ + position_, count);
    position_ += count;
    return count;
}

bool SpanReader::Seek(int64_t offset, Origin origin) {
    const uint64_t base = origin == Origin::Begin     ? 0
                          : origin == Origin::Current ? position_
                                                      : size_;
    if (offset < 0) {
        const uint64_t back = static_cast<uint64_t>(-(offset + 1)) + 1;  // |offset|, no overflow
        if (back > base) {
            return false;
        }
        position_ = base - back;
        return true;
    }
    if (static_cast<uint64_t>(offset) > std::numeric_limits<uint64_t>::max() - base) {
        return false;
    }
    position_ = base + static_cast<uint64_t>(offset);
    return true;
}

}  // namespace vandrel
