#pragma once

// The bundle commands: pack, list, verify and extract.

#include <filesystem>
#include <ostream>

#include "platform/tool_environment.h"

namespace vandrel::tool {

// pack FOLDER -o FILE: every file under `folder` into the bundle `output`.
int PackCommand(const std::filesystem::path& folder, const std::filesystem::path& output,
                std::ostream& out, std::ostream& err, const ToolEnvironment& environment);
// list FILE: the bundle's files with their sizes and offsets.
int ListCommand(const std::filesystem::path& file, std::ostream& out,
                const ToolEnvironment& environment);
// verify FILE: whether the host accepts the bundle, or why not (exit code 1).
int VerifyCommand(const std::filesystem::path& file, std::ostream& out,
                  const ToolEnvironment& environment);
// extract FILE FOLDER: every file of the bundle written out under `folder`.
int ExtractCommand(const std::filesystem::path& file, const std::filesystem::path& folder,
                   std::ostream& out, const ToolEnvironment& environment);

}  // namespace vandrel::tool
