#include "portable/window/window_geometry.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "portable/util/dpi.h"

namespace vandrel {

namespace {

constexpr int kSavedWindowFormat = 1;
// Larger than any screen, small enough that no sum of two overflows.
constexpr int32_t kLargestCoordinate = 1 << 20;

}  // namespace

int32_t SizeLimits::Clamp(int32_t value, int32_t min, int32_t max) {
    if (max > 0 && value > max) {
        value = max;
    }
    if (min > 0 && value < min) {
        value = min;
    }
    return value;
}

SizeLimits ScaleLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight,
                       float factor) {
    const auto scaled = [factor](int32_t value) {
        return value > 0 ? ScaleWithFactor(value, factor) : 0;
    };
    return {scaled(minWidth), scaled(minHeight), scaled(maxWidth), scaled(maxHeight)};
}

Rect FitInside(const Rect& window, const Rect& area) {
    const int32_t width = std::min(window.Width(), area.Width());
    const int32_t height = std::min(window.Height(), area.Height());
    const int32_t left = std::clamp(window.left, area.left, area.right - width);
    const int32_t top = std::clamp(window.top, area.top, area.bottom - height);
    return {left, top, left + width, top + height};
}

Rect CenteredIn(int32_t width, int32_t height, const Rect& area) {
    const int32_t left = area.left + std::max(0, (area.Width() - width) / 2);
    const int32_t top = area.top + std::max(0, (area.Height() - height) / 2);
    return {left, top, left + width, top + height};
}

std::string SavedWindowText(const SavedWindow& window) {
    const Rect& r = window.normal;
    return nlohmann::json{{"format", kSavedWindowFormat},
                          {"fullscreen", window.fullscreen},
                          {"maximized", window.maximized},
                          {"normal", {r.left, r.top, r.right, r.bottom}}}
        .dump();
}

std::optional<SavedWindow> ParseSavedWindow(std::string_view text) {
    const nlohmann::json saved = nlohmann::json::parse(text, nullptr, false);
    if (!saved.is_object()) {
        return std::nullopt;
    }
    const auto format = saved.find("format");
    const auto fullscreen = saved.find("fullscreen");
    const auto maximized = saved.find("maximized");
    const auto normal = saved.find("normal");
    if (format == saved.end() || *format != kSavedWindowFormat || fullscreen == saved.end() ||
        !fullscreen->is_boolean() || maximized == saved.end() || !maximized->is_boolean() ||
        normal == saved.end() || !normal->is_array() || normal->size() != 4) {
        return std::nullopt;
    }
    int32_t sides[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        const nlohmann::json& side = (*normal)[i];
        if (!side.is_number_integer() || side.get<int64_t>() < -kLargestCoordinate ||
            side.get<int64_t>() > kLargestCoordinate) {
            return std::nullopt;
        }
        sides[i] = side.get<int32_t>();
    }
    SavedWindow window{{sides[0], sides[1], sides[2], sides[3]},
                       maximized->get<bool>(),
                       fullscreen->get<bool>()};
    if (window.normal.Width() <= 0 || window.normal.Height() <= 0) {
        return std::nullopt;
    }
    return window;
}

}  // namespace vandrel
