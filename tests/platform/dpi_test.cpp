#include "platform/dpi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

// A logical size at a scale, and what comes of it.
struct ScaleCase {
    int logical;
    float scale;
    int expected;
};

}  // namespace

// Rounded up, never to nearest. Sizes near the 32-bit limits used to
// overflow the float-to-int conversion; the native build checks every such
// conversion (float-cast-overflow).
TEST(ScaleLogicalPixels, RoundsUpAndSaturatesInsteadOfOverflowing) {
    const float nan = std::nanf("");
    const float infinity = HUGE_VALF;
    const ScaleCase cases[] = {
        {101, 1.25f, 127},
        {1024, 1.0f, 1024},
        {768, 1.25f, 960},
        {300, 1.5f, 450},
        {90, 1.5f, 135},
        {10, 1.25f, 13},
        {0, 2.0f, 0},
        {1, 1.75f, 2},
        {-10, 1.25f, -12},  // ceiling, toward positive infinity
        {1023, 1.5f, 1535},
        {INT_MAX, 1.0f, INT_MAX},
        {INT_MAX, 1.25f, INT_MAX},
        {INT_MIN, 1.0f, INT_MIN},
        {INT_MIN, 2.0f, INT_MIN},
        {2147483520, 1.0f, 2147483520},  // the largest float below 2^31
        {1 << 30, 2.0f, INT_MAX},
        {16384, infinity, INT_MAX},
        {-1, infinity, INT_MIN},
        {100, nan, 0},
        {0, infinity, 0},  // NaN: zero times infinity
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaleLogicalPixels(c.logical, c.scale), c.expected)
            << c.logical << " at " << c.scale;
}

TEST(ClampClientSize, KeepsTheClientAreaBetweenOneAnd16384Pixels) {
    const ScaleCase cases[] = {
        {1024, 1.25f, 1280},    {0, 1.0f, 1},          {-768, 1.5f, 1},       {INT_MIN, 1.0f, 1},
        {16384, 1.0f, 16384},   {16384, 1.25f, 16384}, {13107, 1.25f, 16384}, {13106, 1.25f, 16383},
        {INT_MAX, 1.0f, 16384}, {1, 0.5f, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClampClientSize(ScaleLogicalPixels(c.logical, c.scale)), c.expected)
            << c.logical << " at " << c.scale;
}
