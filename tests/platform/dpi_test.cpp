#include "platform/dpi.h"

#include <gtest/gtest.h>

TEST(ScaleLogicalPixels, RoundsUpNeverToNearest) {
    const struct {
        int logical;
        float scale;
        int scaled;
    } cases[] = {
        {101, 1.25f, 127},  {1024, 1.0f, 1024}, {768, 1.25f, 960}, {300, 1.5f, 450},
        {90, 1.5f, 135},    {10, 1.25f, 13},    {0, 2.0f, 0},      {1, 1.75f, 2},
        {-10, 1.25f, -12},  // ceiling, toward positive infinity
        {1023, 1.5f, 1535},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaleLogicalPixels(c.logical, c.scale), c.scaled)
            << c.logical << " at " << c.scale;
}
