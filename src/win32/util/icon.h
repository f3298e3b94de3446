#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

// An icon made from any image file GDI+ decodes, at the image's own size; null when the file is
// missing or cannot be decoded. GDI+ must be started.
HICON LoadIconFromImage(const std::string& path);

}  // namespace vandrel
