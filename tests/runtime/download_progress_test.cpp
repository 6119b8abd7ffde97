#include "runtime/download_progress.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ProgressPosition, FollowsTheShareDownloaded) {
    struct Case {
        std::uint32_t progress, progressMax;
        int position;
    };
    const Case cases[] = {
        {0, 1000, 0},
        {1, 1000, 0},
        {9, 1000, 0},
        {10, 1000, 1},
        {999, 1000, 99},
        {1000, 1000, 100},
        {1, 3, 33},
        {2, 3, 66},
        // Single precision: 2^25 - 1 rounds to 2^25 before the division, so
        // the share is exactly 100 where double precision would give 99.
        {33554431u, 33554432u, 100},
        // Large counts neither overflow nor wrap.
        {4294967295u, 4294967295u, 100},
        {2147483648u, 4294967295u, 50},
        // More than announced: the bar stays full.
        {5000, 1000, 100},
        {4294967295u, 1, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.progress << " of " << c.progressMax);
        const auto position = ProgressPosition(c.progress, c.progressMax);
        ASSERT_TRUE(position.has_value());
        EXPECT_EQ(*position, c.position);
    }
}

TEST(ProgressPosition, UnknownTotalMovesNothing) {
    EXPECT_FALSE(ProgressPosition(0, 0).has_value());
    EXPECT_FALSE(ProgressPosition(123456, 0).has_value());
}

}  // namespace
