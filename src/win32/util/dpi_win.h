#pragma once

#include <cstdint>

namespace vandrel {

// Logical pixels at 96 DPI to device pixels at the system DPI, rounded up. The DPI is read once
// from the screen and kept for the rest of the run.
int32_t ScaleForDpi(int32_t value);

}  // namespace vandrel
