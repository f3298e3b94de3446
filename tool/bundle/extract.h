#pragma once

// The extract command's work: writing every file of a bundle out under a folder.

#include <cstdint>
#include <filesystem>

#include "portable/bundle/asset_bundle.h"
#include "platform/tool_environment.h"

namespace vandrel::tool {

struct ExtractResult {
    uint64_t files = 0;
    uint64_t bytes = 0;
};

// Writes every file of `reader` (parsed and accepted, from the bundle file `bundlePath`) under
// `folder`, which is created when it is missing. Before anything is written, every name is
// checked (UnsafeNameReason, FindNameClash, the depth the system allows) and so is what already
// lies in `folder`: a link, junction or other reparse point, or a file, where a folder is needed,
// and a folder or link where a file goes, refuse the bundle and leave `folder` as it was. Then
// every level is opened or created relative to the handle of the level above, never through a
// link, and each file is written under a temporary name and renamed inside its folder, so a
// change of the tree while it is written cannot send a file outside `folder`; such a change, or a
// name that turns out to land on a file extracted earlier, stops the extraction with an error.
// Throws ToolError.
ExtractResult ExtractBundle(const AssetBundle& reader, const std::filesystem::path& bundlePath,
                            const std::filesystem::path& folder,
                            const ToolEnvironment& environment);

}  // namespace vandrel::tool
