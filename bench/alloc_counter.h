#pragma once

// Heap use of the benchmark program: the global operator new and delete are replaced (in
// alloc_counter.cpp) so that benchmarks can report the largest number of bytes held at once
// during a step. Single-threaded: the benchmarks run on one thread.

#include <cstddef>

namespace vandrel::bench {

// Bytes allocated with operator new and not yet freed.
size_t HeapBytesInUse();
// Starts a new peak: from now on HeapPeakBytes reports the largest HeapBytesInUse seen.
void ResetHeapPeak();
size_t HeapPeakBytes();

}  // namespace vandrel::bench
