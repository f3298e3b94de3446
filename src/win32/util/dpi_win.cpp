#include "win32/util/dpi_win.h"

#include <windows.h>

#include "portable/util/dpi.h"

namespace vandrel {

float DpiScale() {
    static float factor = 0.0f;
    if (factor == 0.0f) {
        HDC dc = GetDC(nullptr);
        const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
        if (dc != nullptr) {
            ReleaseDC(nullptr, dc);
        }
        factor = DpiScaleFactor(dpi);
    }
    return factor;
}

int32_t ScaleForDpi(int32_t value) {
    return ScaleWithFactor(value, DpiScale());
}

}  // namespace vandrel
