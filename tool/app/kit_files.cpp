#include "app/kit_files.h"

namespace vandrel::tool {

std::optional<std::string_view> FindKitFile(std::string_view name) {
    for (const KitFile& file : KitFiles()) {
        if (file.name == name) {
            return file.bytes;
        }
    }
    return std::nullopt;
}

}  // namespace vandrel::tool
