#pragma once

// A bundle file opened and read as the host reads it, and why the host would refuse it.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/tool_environment.h"
#include "portable/bundle/asset_bundle.h"

namespace vandrel::tool {

// A bundle file attached to the host's reader.
struct OpenedBundle {
    std::filesystem::path path;
    uint64_t length = 0;
    StdioFile stream;
    AssetBundle reader;
    std::optional<std::string> rejection;  // why the host would not read it
    std::optional<BundleError> fault;      // what the reader reported, when it rejected it
    bool tooLarge = false;                 // rejected for its size alone, without being read
};

// Opens and reads a bundle file as the host would. A bundle the reader rejects, or one of the
// size limit or more (not read), comes back with its rejection; ToolError when the file cannot
// be read, OutOfMemory when its directory does not fit in memory.
std::unique_ptr<OpenedBundle> OpenBundle(const std::filesystem::path& path,
                                         const ToolEnvironment& environment = {});
// The same for a file already opened; `path` names it in messages.
std::unique_ptr<OpenedBundle> OpenBundle(std::unique_ptr<InputFile> file,
                                         const std::filesystem::path& path,
                                         const ToolEnvironment& environment = {});

// The lines that say where and why the reader stopped reading `bundle`, from the file itself.
std::vector<std::string> ExplainRejection(const OpenedBundle& bundle);

}  // namespace vandrel::tool
