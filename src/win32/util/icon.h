#pragma once

#include <windows.h>

#include <string>

#include "win32/util/handles.h"

namespace vandrel {

// GDI+ for the whole run: started when made (version 1, its own background thread), shut down
// when destroyed.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

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
