// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/byte_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

TEST(ByteWindowTest, InterpolatedQuantileLiesBetweenTheSteps) {
    struct Case {
        const char* what;
        std::vector<int> values;
        double fraction;
        double expected;
    };
    const Case cases[] = {
        {"one value: the middle of its step", {40}, 0.5, 40.0},
        {"a level half way between two steps", {40, 41, 40, 41}, 0.5, 40.5},
        {"a level a quarter above a step", {40, 40, 40, 41}, 0.5, 40.5 - 1.0 / 3},
        {"symmetric ripple: the middle step", {82, 83, 84, 83}, 0.5, 83.0},
        {"the lowest edge", {10, 20}, 0.0, 9.5},
        {"the highest edge", {10, 20}, 1.0, 20.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteWindow window;
        for (int v : c.values) {
            window.add(static_cast<std::uint8_t>(v));
        }
        EXPECT_NEAR(window.interpolatedQuantile(c.fraction), c.expected, 1e-12);
    }
}

TEST(ByteWindowTest, SlidingInterpolatedQuantileNeedsEnoughValues) {
    const std::vector<int> series = {kNoValue, 50, kNoValue, kNoValue, kNoValue, 52, 52};
    const std::vector<double> median = slidingInterpolatedQuantile(series, 1, 0.5, 2);
    EXPECT_TRUE(std::isnan(median[0]));  // only 50 in reach
    EXPECT_TRUE(std::isnan(median[3]));  // nothing in reach
    EXPECT_DOUBLE_EQ(median[6], 52.0);   // 52, 52
    EXPECT_DOUBLE_EQ(median[5], 52.0);
}

}  // namespace
}  // namespace npt
