#include <windows.h>

#include "platform/mapped_file_detail.h"
#include "win32/util/handles.h"

namespace vandrel::tool::detail {

const uint8_t* MapWhole(void* file, size_t) {
    // The view keeps the mapping alive; the file and mapping handles can go.
    UniqueKernelHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) {
        return nullptr;
    }
    return static_cast<const uint8_t*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
}

void Unmap(const uint8_t* data, size_t) {
    UniqueView view(data);  // unmaps here
}

}  // namespace vandrel::tool::detail
