#pragma once

// A checksum that reads every byte of a range about as fast as memory delivers them, so that a
// "read every file" measurement measures the reads and the compiler cannot drop them.

#include <cstddef>
#include <cstdint>
#include <cstring>

// On x86-64 Linux the function is also compiled for AVX2 and the loader picks that copy where the
// processor has it: with SSE2 alone (the x86-64 baseline) the sum reaches only about half of
// memcpy's speed from memory, which would measure the checksum instead of the read.
#if defined(__x86_64__) && defined(__linux__) && (defined(__clang__) || defined(__GNUC__))
#define VANDREL_BYTE_SUM_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VANDREL_BYTE_SUM_CLONES
#endif

namespace vandrel::bench {

// Sum of the range's 8-byte words (in machine byte order) and of its trailing bytes. The word
// loop is a plain reduction, which the compiler vectorises and unrolls.
VANDREL_BYTE_SUM_CLONES inline uint64_t ByteSum(const uint8_t* data, size_t n) {
    const size_t words = n / 8;
    uint64_t sum = 0;
    for (size_t w = 0; w < words; ++w) {
        uint64_t word;
        std::memcpy(&word, data + 8 * w, sizeof(word));
        sum += word;
    }
    for (size_t i = words * 8; i < n; ++i) {
        sum += data[i];
    }
    return sum;
}

}  // namespace vandrel::bench
