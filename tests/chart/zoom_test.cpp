// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/zoom.h"

#include <gtest/gtest.h>

#include "chart_printers.h"

namespace npt {
namespace {

using zoom::kDiameterStepMm;
using zoom::kTimeStepDays;

TEST(ZoomTest, DiameterAxisFrom20To30) {
    ChartModel chart;
    chart.reportDrawnRange(AxisId::Left, {20, 30});

    EXPECT_TRUE(zoom::stepMaximum(chart, AxisId::Left, -kDiameterStepMm));  // "+"
    EXPECT_EQ(chart.axis(AxisId::Left), (AxisState{false, false, 20, 25}));

    // A second "+" would give 20..20: ignored, the axis stays as it is, manual.
    EXPECT_FALSE(zoom::stepMaximum(chart, AxisId::Left, -kDiameterStepMm));
    EXPECT_EQ(chart.axis(AxisId::Left), (AxisState{false, false, 20, 25}));

    EXPECT_TRUE(zoom::stepMaximum(chart, AxisId::Left, kDiameterStepMm));  // "-"
    EXPECT_EQ(chart.currentRange(AxisId::Left), (ValueRange{20, 30}));
    EXPECT_EQ(chart.axis(AxisId::Bottom), AxisState{}) << "the time axis is not touched";
}

TEST(ZoomTest, TimeAxisFromOneDayToOneAndAQuarter) {
    ChartModel chart;
    chart.reportDrawnRange(AxisId::Bottom, {1.0, 1.25});
    ASSERT_TRUE(zoom::stepMaximum(chart, AxisId::Bottom, -kTimeStepDays));
    EXPECT_NEAR(chart.currentRange(AxisId::Bottom).max, 1.15, 1e-12);
    ASSERT_TRUE(zoom::stepMaximum(chart, AxisId::Bottom, -kTimeStepDays));
    EXPECT_NEAR(chart.currentRange(AxisId::Bottom).max, 1.05, 1e-12);

    const AxisState before = chart.axis(AxisId::Bottom);
    EXPECT_FALSE(zoom::stepMaximum(chart, AxisId::Bottom, -kTimeStepDays));  // 0.95: ignored
    EXPECT_EQ(chart.axis(AxisId::Bottom), before);
    EXPECT_EQ(chart.currentRange(AxisId::Bottom).min, 1.0);
}

TEST(ZoomTest, IgnoredStepLeavesAnAutomaticAxisAutomatic) {
    ChartModel chart;
    chart.reportDrawnRange(AxisId::Left, {20, 24});
    EXPECT_FALSE(zoom::stepMaximum(chart, AxisId::Left, -kDiameterStepMm));
    EXPECT_EQ(chart.axis(AxisId::Left), AxisState{});
}

TEST(ZoomTest, FirstStepOnAnUndrawnAxisStartsFromTheCurve) {
    ChartModel chart;
    chart.addRawPoint(1.0, 12);
    chart.addRawPoint(1.1, 31);
    ASSERT_TRUE(zoom::stepMaximum(chart, AxisId::Left, -kDiameterStepMm));
    EXPECT_EQ(chart.axis(AxisId::Left), (AxisState{false, false, 12, 26}));
}

TEST(ZoomTest, ResetMakesBothAxesAutomaticAndPeriodOne) {
    ChartModel chart;
    chart.reportDrawnRange(AxisId::Left, {20, 30});
    zoom::stepMaximum(chart, AxisId::Left, -kDiameterStepMm);
    chart.mouseZoom({1.0, 1.1}, {21, 22});
    chart.setPeriod(7);

    zoom::reset(chart);
    EXPECT_EQ(chart.axis(AxisId::Left), AxisState{});
    EXPECT_EQ(chart.axis(AxisId::Bottom), AxisState{});
    EXPECT_FALSE(chart.mouseZoomed());
    EXPECT_EQ(chart.period(), 1);
}

TEST(ZoomTest, SmoothingSteps) {
    ChartModel chart;
    for (int i = 0; i < 3; ++i) {
        chart.addRawPoint(1.0 + i, 20);
    }
    chart.setPeriod(3);
    ASSERT_EQ(chart.series2().count(), 1u);

    zoom::stepPeriod(chart, 1);  // "F+" above the number of points
    EXPECT_EQ(chart.period(), 4);
    EXPECT_TRUE(chart.series2().empty());

    zoom::stepPeriod(chart, -1);  // "F-" brings the curve back
    EXPECT_EQ(chart.series2().count(), 1u);

    chart.setPeriod(1);
    zoom::stepPeriod(chart, -1);  // down to 0 without a message
    EXPECT_EQ(chart.period(), 0);
    EXPECT_THROW(zoom::stepPeriod(chart, -1), ChartError);
    EXPECT_EQ(chart.period(), 0);
}

}  // namespace
}  // namespace npt
