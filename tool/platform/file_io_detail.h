#pragma once

// What the portable and the per-platform halves of file_io share.

#include <csignal>
#include <cstdint>
#include <string>

#include "platform/file_io.h"

namespace vandrel::tool::detail {

// The running process's id.
uint64_t ProcessId();

// A short unique name for a temporary file (a fixed 21 bytes).
std::string TempName();

// Reads exactly `n` bytes of `file` at `offset`; false when the file ends first. Throws
// ToolError with the system's reason alone.
bool ReadAtNative(NativeFile file, uint64_t offset, void* buffer, size_t n);

// Closes `file` when it is open, and marks it closed.
void CloseNative(NativeFile& file);

// While an InterruptScope is open, the first interruption is only recorded: the next read or
// write throws Interrupted, and the program removes what it made on the way out.
extern volatile std::sig_atomic_t scopeOpen;
extern volatile std::sig_atomic_t interruptSignal;
// Set while the temporary file being written is to be removed by an interruption.
extern volatile std::sig_atomic_t interruptArmed;

inline void DisarmInterruptCleanup() {
    interruptArmed = 0;
}

}  // namespace vandrel::tool::detail
