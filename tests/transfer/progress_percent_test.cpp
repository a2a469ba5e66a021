// The percentage handed to the host's monitor, for sizes far beyond any file a test can copy.
#include <gtest/gtest.h>

#include <climits>

#include "media/stream_copy.h"

namespace {

struct PercentCase {
    unsigned long long moved;
    unsigned long long total;
    unsigned long percent;
};

class ProgressPercentTest : public testing::TestWithParam<PercentCase> {};

TEST_P(ProgressPercentTest, IsTheRoundedDownShareWithoutOverflow) {
    const PercentCase &c = GetParam();
    EXPECT_EQ(ProgressPercent(c.moved, c.total), c.percent) << c.moved << " of " << c.total;
}

constexpr unsigned long long kMax = ULLONG_MAX;

INSTANTIATE_TEST_SUITE_P(
    Sizes, ProgressPercentTest,
    testing::Values(PercentCase{0, 10, 0}, PercentCase{1, 3, 33}, PercentCase{2, 3, 66}, PercentCase{3, 3, 100},
                    PercentCase{256ull << 20, 5ull << 30, 5}, PercentCase{(5ull << 30) - 1, 5ull << 30, 99},
                    // Where moved * 100 no longer fits 64 bits.
                    PercentCase{kMax / 2, kMax, 49}, PercentCase{kMax - 1, kMax, 99}, PercentCase{kMax / 100, kMax, 0},
                    PercentCase{kMax / 100 + 1, kMax, 1}, PercentCase{(kMax / 4) * 3, kMax, 74},
                    // More than announced shows as complete; nothing announced is complete once data moved.
                    PercentCase{11, 10, 100}, PercentCase{kMax, 1, 100}, PercentCase{0, 0, 0}, PercentCase{5, 0, 100}));

}  // namespace
