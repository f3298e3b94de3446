#include "portable/util/dpi.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

TEST(DpiTest, ScaleFactorIsDpiOver96) {
    struct Case {
        int dpi;
        float expected;
    } const cases[] = {
        {96, 1.0f}, {120, 1.25f}, {144, 1.5f}, {168, 1.75f}, {192, 2.0f}, {288, 3.0f}, {0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(DpiScaleFactor(c.dpi), c.expected);
    }
    // Not a power-of-two ratio: must be the single-precision quotient.
    EXPECT_EQ(DpiScaleFactor(100), 100.0f / 96.0f);
}

struct ScaleCase {
    int dpi;
    int32_t value;
    int32_t expected;
};

TEST(DpiTest, ScalesAndRoundsUp) {
    const ScaleCase cases[] = {
        // 96 DPI is the identity for every value a float holds exactly.
        {96, 0, 0},
        {96, 1, 1},
        {96, -1, -1},
        {96, 1024, 1024},
        {96, -768, -768},
        {96, 16777216, 16777216},
        // 120 DPI (x1.25): 1251.25 rounds up to 1252, -3.75 rounds up to -3.
        {120, 1001, 1252},
        {120, -3, -3},
        {120, 1, 2},
        {120, -1, -1},
        {120, 4, 5},
        {120, 1024, 1280},
        // 144 DPI (x1.5).
        {144, 801, 1202},
        {144, 1024, 1536},
        {144, 768, 1152},
        {144, -10, -15},
        {144, -11, -16},  // -16.5 rounds up to -16
        {144, 1, 2},
        // 192 DPI (x2).
        {192, 300, 600},
        {192, -45, -90},
        // Below 96 DPI: shrinks, still rounding up.
        {72, 10, 8},    // 7.5
        {72, -10, -7},  // -7.5
        {48, 1, 1},     // 0.5
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dpi << " DPI, value " << c.value);
        EXPECT_EQ(ScaleWithFactor(c.value, DpiScaleFactor(c.dpi)), c.expected);
    }
}

TEST(DpiTest, ArithmeticIsSinglePrecision) {
    // 2^24 + 1 is not a float: the value is rounded to 2^24 before scaling.
    EXPECT_EQ(ScaleWithFactor(16777217, 1.0f), 16777216);
    EXPECT_EQ(ScaleWithFactor(-16777217, 1.0f), -16777216);
    // The product is rounded to float before the ceiling: 10 * 0.1f is 1.0000000149 in double
    // (ceiling 2) but exactly 1.0f in single precision (ceiling 1).
    EXPECT_EQ(ScaleWithFactor(10, 0.1f), 1);
    EXPECT_EQ(ScaleWithFactor(-10, 0.1f), -1);
}

TEST(DpiTest, ZeroFactorGivesZero) {
    for (const int32_t value : {0, 1, -1, 1024, -1024, kIntMax, kIntMin}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ScaleWithFactor(value, 0.0f), 0);
        EXPECT_EQ(ScaleWithFactor(value, DpiScaleFactor(0)), 0);
    }
}

TEST(DpiTest, ResultsOutsideInt32Saturate) {
    struct Case {
        int32_t value;
        float factor;
        int32_t expected;
    } const cases[] = {
        {kIntMax, 2.0f, kIntMax},
        {kIntMin, 2.0f, kIntMin},
        {kIntMax, 1.0f, kIntMax},  // 2147483647 becomes the float 2^31, one past the range
        {kIntMin, 1.0f, kIntMin},  // -2^31 is exact and in range
        {1073741824, 2.0f, kIntMax},
        {-1073741824, 2.0f, kIntMin},
        {2000000000, 1.5f, kIntMax},
        {1, std::numeric_limits<float>::infinity(), kIntMax},
        {-1, std::numeric_limits<float>::infinity(), kIntMin},
        {0, std::numeric_limits<float>::infinity(), 0},  // NaN product
        {5, std::nanf(""), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.value << " x " << c.factor);
        EXPECT_EQ(ScaleWithFactor(c.value, c.factor), c.expected);
    }
}

}  // namespace
}  // namespace vandrel
