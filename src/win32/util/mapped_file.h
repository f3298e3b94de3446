#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "win32/util/handles.h"

namespace vandrel {

// A whole file mapped read-only: the file, its mapping and its view, released together when the
// last owner lets go. Shared, so that the caches that keep a view for the run and whatever still
// reads from it each hold it.
class MappedFile {
public:
    // Opens `path` (UTF-8, taken in its long-path form) for reading, shared for reading, and maps
    // all of it. Null when it cannot be opened or mapped (an empty file cannot be mapped).
    static std::shared_ptr<const MappedFile> Open(const std::string& path);

    const uint8_t* Data() const { return static_cast<const uint8_t*>(view_.Get()); }
    // The file's size when it was mapped: the view covers exactly these bytes.
    uint64_t Size() const { return size_; }

    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

private:
    MappedFile() = default;

    UniqueFile file_;
    UniqueKernelHandle mapping_;
    UniqueView view_;
    uint64_t size_ = 0;
};

}  // namespace vandrel
