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

// Writes some of the `n` bytes at `offset` of `file`: how many, or 0 with the system's error left
// for LastErrorText.
size_t WriteSomeAt(NativeFile file, uint64_t offset, const uint8_t* data, size_t n);

// Creates the new file `name` inside `folder`, relative to its handle and never through a link,
// or, without a folder, at `path`; open to read and write, and removed should the program be
// interrupted before it is committed. Taken when the name is in use; Failed leaves the system's
// error for LastErrorText.
enum class Created { Yes, Taken, Failed };
Created CreateNewFile(const TreeFolder* folder, const std::string& name,
                      const std::filesystem::path& path, NativeFile& file);

// Removes the file `name` that CreateNewFile made inside `folder` and that is still open as
// `file`: through the folder's handle or the file's own, so that a changed path cannot send the
// removal elsewhere. The file may be closed on return.
void RemoveNewFile(const TreeFolder& folder, const std::string& name, NativeFile& file);

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
