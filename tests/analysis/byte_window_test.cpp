#include "analysis/byte_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace npt {
namespace {

// The order statistic of every window, by sorting it.
std::vector<int> bySorting(const std::vector<int>& series, int halfWidth, double fraction) {
    const int n = static_cast<int>(series.size());
    std::vector<int> out(series.size(), kNoValue);
    for (int i = 0; i < n; ++i) {
        std::vector<int> window;
        for (int j = std::max(0, i - halfWidth); j <= std::min(n - 1, i + halfWidth); ++j) {
            if (series[j] != kNoValue) {
                window.push_back(series[j]);
            }
        }
        if (!window.empty()) {
            std::sort(window.begin(), window.end());
            out[i] = window[static_cast<std::size_t>(fraction * (window.size() - 1))];
        }
    }
    return out;
}

TEST(ByteWindowTest, SlidingQuantileMatchesSortingEachWindow) {
    // A wandering level with jumps across the whole byte range and missing stretches, so the
    // cursor has to travel both ways and windows run empty.
    std::mt19937 random(3);
    std::vector<int> series(1500);
    int level = 128;
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (random() % 50 == 0) {
            level = static_cast<int>(random() % 256);
        }
        level = std::clamp(level + static_cast<int>(random() % 7) - 3, 0, 255);
        const bool missing = (i / 100) % 5 == 4 || random() % 10 == 0;
        series[i] = missing ? kNoValue : level;
    }
    for (int halfWidth : {0, 1, 3, 30, 360}) {
        for (double fraction : {0.0, 0.2, 0.5, 1.0}) {
            SCOPED_TRACE(testing::Message()
                         << "half width " << halfWidth << ", fraction " << fraction);
            EXPECT_EQ(slidingQuantile(series, halfWidth, fraction),
                      bySorting(series, halfWidth, fraction));
        }
    }
}

}  // namespace
}  // namespace npt
