#pragma once

#include <windows.h>

#include <string>

#include "win32/util/handles.h"

namespace vandrel {

// GDI+ for the whole run: StartGdiplus starts it (version 1, its own background thread), and the
// session it returns shuts it down when destroyed. An empty session when GDI+ did not start.
struct GdiplusTraits {
    using Handle = ULONG_PTR;  // the token of GdiplusStartup
    static Handle Empty() { return 0; }
    static void Close(Handle token);
};
using GdiplusSession = UniqueHandle<GdiplusTraits>;
GdiplusSession StartGdiplus();

// An icon made from any image file GDI+ decodes, at the image's own size; null when the file is
// missing or cannot be decoded. GDI+ must be started. The caller owns the icon.
UniqueIcon LoadIconFromImage(const std::string& path);

// The app's window icon: the image `path` names, or the stock application icon when `path` is
// empty or names nothing GDI+ can read. An icon made from the image is destroyed with this object;
// the stock icon is shared and never destroyed.
class AppIcon {
public:
    explicit AppIcon(const std::string& path);
    HICON Get() const { return made_ ? made_.Get() : stock_; }

private:
    UniqueIcon made_;
    HICON stock_ = nullptr;
};

}  // namespace vandrel
