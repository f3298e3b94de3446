#pragma once

#include <cstdint>

namespace vandrel {

// The pure arithmetic behind ScaleForDpi, kept apart from the screen query so it can be tested
// anywhere. Sizes from the settings and the page are logical pixels at 96 DPI.

// The scale factor for `dpi`: dpi / 96 in single precision. A DPI of 0 gives 0.0, which callers
// treat as "no factor known yet".
float DpiScaleFactor(int dpi);

// `value` converted to float, multiplied by `factor` in single precision, rounded up (ceiling) and
// truncated to int32. A factor of 0 gives 0. Results outside the int32 range saturate to
// INT32_MIN or INT32_MAX, and a NaN product gives 0.
int32_t ScaleWithFactor(int32_t value, float factor);

}  // namespace vandrel
