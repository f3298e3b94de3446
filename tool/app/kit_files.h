#pragma once

// The kit's files that every app gets: the page library vandrel.js and its TypeScript
// declarations, built into the tool from page/.

#include <optional>
#include <span>
#include <string_view>

namespace vandrel::tool {

struct KitFile {
    std::string_view name;   // file name, e.g. "vandrel.js"
    std::string_view bytes;  // the file's exact bytes
};

// Every kit file, in a fixed order.
std::span<const KitFile> KitFiles();

// The bytes of the kit file with exactly this name, or nullopt.
std::optional<std::string_view> FindKitFile(std::string_view name);

// The name of the page library in an app's www folder.
inline constexpr std::string_view kPageLibraryName = "vandrel.js";

}  // namespace vandrel::tool
