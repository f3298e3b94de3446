#include "win32/util/mapped_file.h"

#include "win32/util/files.h"

namespace vandrel {

std::shared_ptr<const MappedFile> MappedFile::Open(const std::string& path) {
    std::shared_ptr<MappedFile> mapped(new MappedFile());
    mapped->file_.Reset(CreateFileW(ToApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!mapped->file_ || !GetFileSizeEx(mapped->file_.Get(), &size)) {
        return nullptr;
    }
    mapped->mapping_.Reset(
        CreateFileMappingW(mapped->file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped->mapping_) {
        return nullptr;
    }
    mapped->view_.Reset(MapViewOfFile(mapped->mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped->view_) {
        return nullptr;
    }
    mapped->size_ = static_cast<uint64_t>(size.QuadPart);
    return mapped;
}

}  // namespace vandrel
