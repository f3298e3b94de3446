#pragma once

// The main window's geometry as the settings and the player's last run decide it, kept apart
// from Windows so that it can be tested anywhere: size limits in device pixels, where a window
// goes on a monitor, and the remembered window of the last run.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vandrel {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The client area's bounds in device pixels; 0 where there is none.
struct SizeLimits {
    int32_t minWidth = 0;
    int32_t minHeight = 0;
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;

    // `value` within [min, max] of one dimension (a bound of 0 is none).
    static int32_t Clamp(int32_t value, int32_t min, int32_t max);
    int32_t ClampWidth(int32_t width) const { return Clamp(width, minWidth, maxWidth); }
    int32_t ClampHeight(int32_t height) const { return Clamp(height, minHeight, maxHeight); }
};

// The limits of package.json (96-DPI pixels, 0 for none) at the scale factor `factor`, each
// rounded up as every other size. A minimum above its maximum has been dropped with it by the
// loader.
SizeLimits ScaleLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight,
                       float factor);

// `window` moved, and shrunk where it is larger, so that it lies wholly inside `area` (a
// monitor's work area).
Rect FitInside(const Rect& window, const Rect& area);

// A window of this size centred in `area`; one larger than the area starts at its top-left.
Rect CenteredIn(int32_t width, int32_t height, const Rect& area);

// The window as the player left it: its restored rectangle (screen pixels) and whether it was
// maximised or in full screen.
struct SavedWindow {
    Rect normal;
    bool maximized = false;
    bool fullscreen = false;
    friend bool operator==(const SavedWindow&, const SavedWindow&) = default;
};

// The file's text: {"format":1,"fullscreen":..,"maximized":..,"normal":[left,top,right,bottom]}.
std::string SavedWindowText(const SavedWindow& window);
// The saved window, or nullopt for a text that is not one of this format (damaged, written by
// another version, a rectangle that is empty or absurdly large).
std::optional<SavedWindow> ParseSavedWindow(std::string_view text);

}  // namespace vandrel
