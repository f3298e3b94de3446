#pragma once

// A whole file mapped read-only into memory.

#include <cstdint>
#include <filesystem>

namespace vandrel::tool {

class InputFile;

class MappedFile {
public:
    // Maps the whole file. Throws ToolError("cannot read 'path': reason"). An empty file gives an
    // empty mapping (Data() is null).
    explicit MappedFile(const std::filesystem::path& path);
    // Maps a file already open; the mapping outlives the file's handle.
    explicit MappedFile(InputFile& file);
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    const uint8_t* Data() const { return data_; }
    uint64_t Size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};

}  // namespace vandrel::tool
