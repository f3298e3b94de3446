#pragma once

#include <cstdint>

namespace vandrel {

// Logical pixels at 96 DPI to device pixels at the system DPI, rounded up. The DPI is read once
// from the screen and kept for the rest of the run.
int32_t ScaleForDpi(int32_t value);

// The factor ScaleForDpi multiplies by (1.0 at 96 DPI, 1.5 at 144 DPI).
float DpiScale();

}  // namespace vandrel
