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
#include "win32/util/trace.h"

namespace vandrel {

GdiplusSession StartGdiplus() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug hook, own background thread
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        Traced(E_FAIL, "GdiplusStartup");
        return {};
    }
    return GdiplusSession(token);
}

void GdiplusTraits::Close(Handle token) {
    Gdiplus::GdiplusShutdown(token);
}

UniqueIcon LoadIconFromImage(const std::string& path) {
    const std::wstring apiPath = ToApiPath(path);
    // Null when the bitmap object itself cannot be allocated.
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(apiPath.c_str(), FALSE));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        return {};
    }
    HICON icon = nullptr;
    if (bitmap->GetHICON(&icon) != Gdiplus::Ok) {
        return {};
    }
    return UniqueIcon(icon);
}

AppIcon::AppIcon(const std::string& path) {
    if (!path.empty()) {
        made_ = LoadIconFromImage(path);
    }
    if (!made_) {
        stock_ = LoadIconW(nullptr, IDI_APPLICATION);
    }
}

}  // namespace vandrel
