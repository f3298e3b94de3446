#include "mapped_file.h"

#include <memory>

#include "file_io.h"

#ifdef _WIN32
#include "win32/util/handles.h"
#else
#include <sys/mman.h>
#endif

namespace vandrel::tool {

// The file opened here stays open until the delegated constructor has mapped it.
MappedFile::MappedFile(const std::filesystem::path& path)
    : MappedFile(*std::make_unique<InputFile>(path)) {}

MappedFile::MappedFile(InputFile& file) {
    const std::filesystem::path& path = file.Path();
    size_ = file.Size();
    if (size_ == 0) {
        return;
    }
    const auto fail = [&] {
        return ToolError("cannot read '" + PathToUtf8(path) + "': " + LastErrorText());
    };
    if (size_ > SIZE_MAX) {
        throw ToolError("cannot read '" + PathToUtf8(path) + "': too large to map");
    }
#ifdef _WIN32
    // The view keeps the mapping alive; the file and mapping handles can go.
    UniqueKernelHandle mapping(
        CreateFileMappingW(file.NativeHandle(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) {
        throw fail();
    }
    const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        throw fail();
    }
    data_ = static_cast<const uint8_t*>(view);
#else
    void* view = mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE,
                      file.NativeHandle(), 0);
    if (view == MAP_FAILED) {
        throw fail();
    }
    data_ = static_cast<const uint8_t*>(view);
#endif
}

MappedFile::~MappedFile() {
    if (data_ == nullptr) {
        return;
    }
#ifdef _WIN32
    UniqueView view(data_);  // unmaps here
#else
    munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(size_));
#endif
}

}  // namespace vandrel::tool
