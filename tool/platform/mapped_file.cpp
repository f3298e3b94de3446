#include "platform/mapped_file.h"

#include <memory>

#include "platform/file_io.h"
#include "platform/mapped_file_detail.h"

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
    data_ = detail::MapWhole(file.NativeHandle(), static_cast<size_t>(size_));
    if (data_ == nullptr) {
        throw fail();
    }
}

MappedFile::~MappedFile() {
    if (data_ == nullptr) {
        return;
    }
    detail::Unmap(data_, static_cast<size_t>(size_));
}

}  // namespace vandrel::tool
