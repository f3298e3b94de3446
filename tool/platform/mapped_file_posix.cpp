#include <sys/mman.h>

#include "platform/mapped_file_detail.h"

namespace vandrel::tool::detail {

const uint8_t* MapWhole(int fd, size_t size) {
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    return view == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(view);
}

void Unmap(const uint8_t* data, size_t size) {
    munmap(const_cast<uint8_t*>(data), size);
}

}  // namespace vandrel::tool::detail
