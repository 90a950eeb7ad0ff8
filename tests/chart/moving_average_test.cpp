// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/moving_average.h"

#include <gtest/gtest.h>

#include <vector>

namespace npt {
namespace {

LineSeries seriesOf(const std::vector<double>& xs, const std::vector<double>& ys) {
    LineSeries s(colours::kRed, 0, true);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        s.addXY(xs[i], ys[i]);
    }
    return s;
}

LineSeries smoothed(const LineSeries& source, MovingAverageSettings settings) {
    LineSeries target(colours::kBlue, 30, true);
    target.addXY(-1, -1);  // a stale point must not survive
    computeMovingAverage(source, settings, target);
    return target;
}

TEST(MovingAverageTest, FivePointsPeriodThreeCentredAndWeightedByTime) {
    const LineSeries raw = seriesOf({1.0, 1.5, 2.0, 3.0, 4.0}, {10, 20, 30, 40, 50});
    MovingAverageSettings settings;
    settings.period = 3;
    const LineSeries s = smoothed(raw, settings);
    ASSERT_EQ(s.count(), 3u);
    // X: middle of each window's first and last time.
    EXPECT_DOUBLE_EQ(s.xs()[0], (1.0 + 2.0) / 2);
    EXPECT_DOUBLE_EQ(s.xs()[1], (1.5 + 3.0) / 2);
    EXPECT_DOUBLE_EQ(s.xs()[2], (2.0 + 4.0) / 2);
    // Y: Σ y·x / Σ x over the window.
    EXPECT_DOUBLE_EQ(s.ys()[0], (10 * 1.0 + 20 * 1.5 + 30 * 2.0) / (1.0 + 1.5 + 2.0));
    EXPECT_DOUBLE_EQ(s.ys()[1], (20 * 1.5 + 30 * 2.0 + 40 * 3.0) / (1.5 + 2.0 + 3.0));
    EXPECT_DOUBLE_EQ(s.ys()[2], (30 * 2.0 + 40 * 3.0 + 50 * 4.0) / (2.0 + 3.0 + 4.0));
}

TEST(MovingAverageTest, PeriodOneReproducesTheRawCurve) {
    const LineSeries raw = seriesOf({0.9166, 0.9167, 0.9168, 0.9169}, {19.6, 10.0, 60.4, 9.6});
    MovingAverageSettings settings;
    settings.period = 1;
    const LineSeries s = smoothed(raw, settings);
    ASSERT_EQ(s.count(), raw.count());
    for (std::size_t i = 0; i < raw.count(); ++i) {
        EXPECT_EQ(s.xs()[i], raw.xs()[i]);
        EXPECT_DOUBLE_EQ(s.ys()[i], raw.ys()[i]);
    }
}

TEST(MovingAverageTest, NumberOfSmoothedPoints) {
    struct Case {
        const char* what;
        std::size_t rawPoints;
        double period;
        std::size_t smoothedPoints;
    };
    const Case cases[] = {
        {"exactly Period points give one", 5, 5, 1},
        {"one point fewer gives none", 4, 5, 0},
        {"no raw points", 0, 1, 0},
        {"period far above the points", 5, 1e9, 0},
        {"2.5 rounds half to even: 2", 5, 2.5, 4},
        {"3.5 rounds half to even: 4", 5, 3.5, 2},
        {"2.6 rounds up to 3", 5, 2.6, 3},
        {"period 0 shows the raw curve", 5, 0, 5},
        {"0.5 rounds to 0: raw curve", 5, 0.5, 5},
        {"the default 25 on a night of 4320 samples", 4320, 25, 4296},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<double> xs, ys;
        for (std::size_t i = 0; i < c.rawPoints; ++i) {
            xs.push_back(1.0 + static_cast<double>(i));
            ys.push_back(static_cast<double>(i % 7));
        }
        MovingAverageSettings settings;
        settings.period = c.period;
        EXPECT_EQ(smoothed(seriesOf(xs, ys), settings).count(), c.smoothedPoints);
    }
}

TEST(MovingAverageTest, PeriodZeroGivesTheRawValues) {
    const LineSeries raw = seriesOf({0.5, 0.6, 0.7}, {12.0, 14.0, 16.0});
    MovingAverageSettings settings;
    settings.period = 0;
    const LineSeries s = smoothed(raw, settings);
    ASSERT_EQ(s.count(), 3u);
    EXPECT_DOUBLE_EQ(s.ys()[1], 14.0);
    EXPECT_EQ(s.xs()[2], 0.7);
}

TEST(MovingAverageTest, WindowWithZeroTimeSumGivesZero) {
    // Times of 0 occur when the start is midnight and no sample period is known yet.
    const LineSeries raw = seriesOf({0, 0, 0, 0}, {19.6, 19.6, 19.6, 19.6});
    MovingAverageSettings settings;
    settings.period = 2;
    const LineSeries s = smoothed(raw, settings);
    ASSERT_EQ(s.count(), 3u);
    for (double y : s.ys()) {
        EXPECT_EQ(y, 0.0);
    }
}

TEST(MovingAverageTest, OtherAlignmentsAndWeights) {
    const LineSeries raw = seriesOf({1.0, 2.0, 4.0}, {10, 20, 40});
    struct Case {
        const char* what;
        PeriodAlign align;
        bool weighted;
        bool weightedIndex;
        double x, y;
    };
    const Case cases[] = {
        {"first X, weighted by time", PeriodAlign::First, true, false, 1.0,
         (10 * 1.0 + 20 * 2.0 + 40 * 4.0) / 7.0},
        {"last X, plain mean", PeriodAlign::Last, false, false, 4.0, 70 / 3.0},
        {"centre X, weighted by position", PeriodAlign::Center, false, true, 2.5,
         (10 * 1 + 20 * 2 + 40 * 3) / 6.0},
        {"weighting by time wins over position", PeriodAlign::Center, true, true, 2.5,
         (10 * 1.0 + 20 * 2.0 + 40 * 4.0) / 7.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MovingAverageSettings settings;
        settings.period = 3;
        settings.align = c.align;
        settings.weighted = c.weighted;
        settings.weightedIndex = c.weightedIndex;
        const LineSeries s = smoothed(raw, settings);
        ASSERT_EQ(s.count(), 1u);
        EXPECT_DOUBLE_EQ(s.xs()[0], c.x);
        EXPECT_DOUBLE_EQ(s.ys()[0], c.y);
    }
}

}  // namespace
}  // namespace npt
