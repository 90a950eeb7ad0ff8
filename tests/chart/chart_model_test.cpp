// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_model.h"

#include <gtest/gtest.h>

#include "chart_printers.h"

namespace npt {
namespace {

// Series2 at period 1 reproduces Y only up to the rounding of Y·X / X.
void expectNear(ValueRange actual, ValueRange expected) {
    EXPECT_NEAR(actual.min, expected.min, 1e-12);
    EXPECT_NEAR(actual.max, expected.max, 1e-12);
}

// Five raw points from 1.0 to 1.4 days, diameters 10 to 30 mm.
void addFivePoints(ChartModel& chart) {
    for (int i = 0; i < 5; ++i) {
        chart.addRawPoint(1.0 + 0.1 * i, 10.0 + 5 * i);
    }
}

TEST(ChartModelTest, StartState) {
    const ChartModel chart;
    EXPECT_EQ(chart.period(), 25);
    EXPECT_EQ(chart.smoothing().align, PeriodAlign::Center);
    EXPECT_TRUE(chart.smoothing().weighted);
    EXPECT_TRUE(chart.series1().active());
    EXPECT_EQ(chart.series1().colour(), colours::kRed);
    EXPECT_EQ(chart.series2().colour(), colours::kRed);
    EXPECT_EQ(chart.series2().transparencyPercent(), 30);
    EXPECT_EQ(chart.series3().transparencyPercent(), 35);
    EXPECT_FALSE(chart.series4().active());
    EXPECT_EQ(chart.axis(AxisId::Left), AxisState{});
    EXPECT_EQ(chart.axis(AxisId::Bottom), AxisState{});
    EXPECT_TRUE(chart.axis(AxisId::Left).automaticMinimum);
    EXPECT_TRUE(chart.axis(AxisId::Left).automaticMaximum);
}

TEST(ChartModelTest, Series2FollowsSeries1OnlyWhenAskedOrCleared) {
    ChartModel chart;
    chart.setPeriod(1);
    addFivePoints(chart);
    EXPECT_TRUE(chart.series2().empty()) << "added points wait for checkDataSource";

    chart.checkDataSource();
    EXPECT_EQ(chart.series2().count(), 5u);

    chart.addRawPoint(1.5, 35);
    EXPECT_EQ(chart.series2().count(), 5u);

    chart.clearSeries1();
    EXPECT_TRUE(chart.series1().empty());
    EXPECT_TRUE(chart.series2().empty()) << "clearing the source clears the smoothed curve";
}

TEST(ChartModelTest, HiddenSeries1StillFeedsSeries2) {
    ChartModel chart;
    addFivePoints(chart);
    chart.setSeries1Active(false);
    chart.setPeriod(2);
    EXPECT_EQ(chart.series2().count(), 4u);
}

TEST(ChartModelTest, SetPeriod) {
    ChartModel chart;
    addFivePoints(chart);
    chart.setPeriod(3);
    ASSERT_EQ(chart.series2().count(), 3u);

    // A negative period is refused with the chart's message and changes nothing.
    const auto revision = chart.revision();
    try {
        chart.setPeriod(-1);
        FAIL() << "negative period accepted";
    } catch (const ChartError& e) {
        EXPECT_STREQ(e.what(), "Function Period should be >= 0");
    }
    EXPECT_EQ(chart.period(), 3);
    EXPECT_EQ(chart.series2().count(), 3u);
    EXPECT_EQ(chart.revision(), revision);

    // The same value does not recompute: points added meanwhile stay out of Series2.
    chart.addRawPoint(1.5, 35);
    const auto afterAdd = chart.revision();
    chart.setPeriod(3);
    EXPECT_EQ(chart.revision(), afterAdd);
    EXPECT_EQ(chart.series2().count(), 3u);

    // Another value recomputes at once, over all six points.
    chart.setPeriod(2);
    EXPECT_GT(chart.revision(), afterAdd);
    EXPECT_EQ(chart.series2().count(), 5u);

    EXPECT_NO_THROW(chart.setPeriod(0));
    EXPECT_EQ(chart.period(), 0);
}

TEST(ChartModelTest, CurrentRangeOfAnAutomaticAxis) {
    ChartModel chart;
    addFivePoints(chart);
    chart.setPeriod(1);
    chart.checkDataSource();

    // Nothing drawn yet: the extremes of the visible curves.
    expectNear(chart.currentRange(AxisId::Left), {10, 30});
    EXPECT_DOUBLE_EQ(chart.currentRange(AxisId::Bottom).max, 1.4);

    // Only active series count: Series2 without its first and last point.
    chart.setSeries1Active(false);
    chart.setPeriod(3);
    EXPECT_EQ(chart.currentRange(AxisId::Left).min, chart.series2().ys().front());
    EXPECT_LT(chart.currentRange(AxisId::Left).max, 30);

    // Once drawn, the range on screen.
    chart.reportDrawnRange(AxisId::Left, {5, 35});
    EXPECT_EQ(chart.currentRange(AxisId::Left), (ValueRange{5, 35}));
    EXPECT_LT(chart.currentRange(AxisId::Bottom).max, 1.4) << "the other axis is not drawn";

    // A change of the data makes the drawn range stale.
    chart.setPeriod(1);
    expectNear(chart.currentRange(AxisId::Left), {10, 30});

    // Setting the axis makes its drawn range stale too; once drawn again, a fixed end is what
    // was set and the automatic end what is drawn.
    chart.reportDrawnRange(AxisId::Left, {5, 35});
    chart.setAxis(AxisId::Left, AxisState{true, false, 0, 22});
    expectNear(chart.currentRange(AxisId::Left), {10, 22});
    chart.reportDrawnRange(AxisId::Left, {5, 22});
    EXPECT_EQ(chart.currentRange(AxisId::Left), (ValueRange{5, 22}));
}

TEST(ChartModelTest, EmptyChartShowsANightAndFiftyMillimetres) {
    ChartModel chart;
    EXPECT_FALSE(chart.dataRange(AxisId::Left).has_value());
    EXPECT_EQ(chart.currentRange(AxisId::Left), (ValueRange{0, 50}));
    EXPECT_EQ(chart.currentRange(AxisId::Bottom), (ValueRange{22.0 / 24, 34.0 / 24}));
    // Hidden curves count as none.
    addFivePoints(chart);
    chart.setSeries1Active(false);
    EXPECT_EQ(chart.currentRange(AxisId::Left), (ValueRange{0, 50}));
}

TEST(ChartModelTest, MouseZoomAndItsUndo) {
    ChartModel chart;
    const AxisState manualLeft{false, false, 10, 40};
    chart.setAxis(AxisId::Left, manualLeft);

    EXPECT_FALSE(chart.mouseZoomed());
    const auto revision = chart.revision();
    chart.undoZoom();  // nothing to undo
    EXPECT_EQ(chart.revision(), revision);

    chart.mouseZoom({1.1, 1.2}, {15, 20});
    chart.mouseZoom({1.15, 1.18}, {16, 18});  // a second drag zooms further
    EXPECT_TRUE(chart.mouseZoomed());
    EXPECT_EQ(chart.axis(AxisId::Bottom), (AxisState{false, false, 1.15, 1.18}));
    EXPECT_EQ(chart.axis(AxisId::Left), (AxisState{false, false, 16, 18}));

    chart.undoZoom();  // back to the state before the first drag
    EXPECT_FALSE(chart.mouseZoomed());
    EXPECT_EQ(chart.axis(AxisId::Bottom), AxisState{});
    EXPECT_EQ(chart.axis(AxisId::Left), manualLeft);
}

}  // namespace
}  // namespace npt
