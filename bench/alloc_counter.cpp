#include "alloc_counter.h"

#include <cstdlib>
#include <malloc.h>
#include <new>

namespace vandrel::bench {

namespace {

size_t inUse = 0;
size_t peak = 0;

void* Allocate(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    inUse += malloc_usable_size(block);
    if (inUse > peak) {
        peak = inUse;
    }
    return block;
}

void Free(void* block) noexcept {
    if (block != nullptr) {
        inUse -= malloc_usable_size(block);
        std::free(block);
    }
}

}  // namespace

size_t HeapBytesInUse() {
    return inUse;
}

void ResetHeapPeak() {
    peak = inUse;
}

size_t HeapPeakBytes() {
    return peak;
}

}  // namespace vandrel::bench

void* operator new(size_t size) {
    return vandrel::bench::Allocate(size);
}
void* operator new[](size_t size) {
    return vandrel::bench::Allocate(size);
}
void operator delete(void* block) noexcept {
    vandrel::bench::Free(block);
}
void operator delete[](void* block) noexcept {
    vandrel::bench::Free(block);
}
void operator delete(void* block, size_t) noexcept {
    vandrel::bench::Free(block);
}
void operator delete[](void* block, size_t) noexcept {
    vandrel::bench::Free(block);
}
