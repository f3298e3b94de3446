#include "portable/util/dpi.h"

#include <cmath>
#include <limits>

namespace vandrel {

float DpiScaleFactor(int dpi) {
    return static_cast<float>(dpi) / 96.0f;
}

int32_t ScaleWithFactor(int32_t value, float factor) {
    // Assigning to a float forces single-precision rounding even where the compiler evaluates
    // the product at a wider precision.
    const float product = static_cast<float>(value) * factor;
    const float rounded = std::ceil(product);
    if (std::isnan(rounded)) {
        return 0;
    }
    // 2^31 is exactly representable as a float; every float below it and at or above -2^31 is a
    // whole number (after ceil) that fits int32.
    constexpr float kTwoPow31 = 2147483648.0f;
    if (rounded >= kTwoPow31) {
        return std::numeric_limits<int32_t>::max();
    }
    if (rounded < -kTwoPow31) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(rounded);
}

}  // namespace vandrel
