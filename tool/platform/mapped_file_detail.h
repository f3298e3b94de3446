#pragma once

// The system's half of MappedFile.

#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"

namespace vandrel::tool::detail {

// Maps the first `size` bytes of `file` read-only; nullptr with the system's error left for
// LastErrorText. The mapping outlives the file's handle.
const uint8_t* MapWhole(NativeFile file, size_t size);
void Unmap(const uint8_t* data, size_t size);

}  // namespace vandrel::tool::detail
