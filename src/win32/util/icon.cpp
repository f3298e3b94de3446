#include "win32/util/icon.h"

// gdiplus.h wants min and max from windows.h, which the build turns off.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "win32/util/files.h"

namespace vandrel {

HICON LoadIconFromImage(const std::string& path) {
    const std::wstring apiPath = ToApiPath(path);
    // Null when the bitmap object itself cannot be allocated.
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(apiPath.c_str(), FALSE));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
    HICON icon = nullptr;
    if (bitmap->GetHICON(&icon) != Gdiplus::Ok) {
        return nullptr;
    }
    return icon;
}

}  // namespace vandrel
