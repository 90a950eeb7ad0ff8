// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/axis_scale.h"

#include <gtest/gtest.h>

namespace npt::axis_scale {
namespace {

TEST(AxisScale, AutomaticEndsWidenToRoundTicksAndFixedEndsStay) {
    const AxisState automatic{};
    const AxisState fixedTop{true, false, 0, 33};
    struct Case {
        AxisId axis;
        AxisState state;
        ValueRange data;
        Scale expected;
    };
    const Case cases[] = {
        // A night from 21:30 to 9:30 on whole hours.
        {AxisId::Bottom, automatic, {21.5 / 24, 33.5 / 24}, {21.0 / 24, 34.0 / 24, 1.0 / 24}},
        // 25 to 38.8 mm on 5 mm ticks; 26.2 to 29.5 mm on whole millimetres.
        {AxisId::Left, automatic, {25, 38.8}, {25, 40, 5}},
        {AxisId::Left, automatic, {26.2, 29.5}, {26, 30, 1}},
        // A frozen top is kept as the doctor zoomed it.
        {AxisId::Left, fixedTop, {25, 38.8}, {25, 33, 1}},
        // A flat curve still gets one step of room.
        {AxisId::Left, automatic, {30, 30}, {30, 31, 1}},
        // An empty chart is drawn on exactly the range the zoom buttons step from.
        {AxisId::Bottom, automatic, kEmptyTimeRange, {22.0 / 24, 34.0 / 24, 1.0 / 24}},
        {AxisId::Left, automatic, kEmptyDiameterRange, {0, 50, 5}},
    };
    for (const auto& c : cases) {
        const Scale scale = scaleFor(c.axis, c.state, c.data);
        EXPECT_NEAR(scale.min, c.expected.min, 1e-12) << c.data.min << ".." << c.data.max;
        EXPECT_NEAR(scale.max, c.expected.max, 1e-12) << c.data.min << ".." << c.data.max;
        EXPECT_NEAR(scale.step, c.expected.step, 1e-12) << c.data.min << ".." << c.data.max;
    }
}

TEST(AxisScale, ADeepZoomStillHasTicksToReadTheScaleBy) {
    // Two rubber bands in a row easily leave less than a minute and less than a millimetre on
    // screen: the doctor must still see at least two labelled ticks on each axis.
    constexpr double kSecond = 1.0 / 86400;
    const double t0 = 23.5 / 24;
    struct Case {
        AxisId axis;
        ValueRange fixed;
        double step;
    };
    const Case cases[] = {
        {AxisId::Bottom, {t0, t0 + 40 * kSecond}, 5 * kSecond},
        {AxisId::Bottom, {t0 + 3 * kSecond, t0 + 9 * kSecond}, kSecond},
        {AxisId::Bottom, {t0, t0 + 5 * 60 * kSecond}, 30 * kSecond},
        {AxisId::Left, {26.1, 26.9}, 0.1},
        {AxisId::Left, {26.1, 27.9}, 0.2},
    };
    for (const Case& c : cases) {
        const Scale scale =
            scaleFor(c.axis, AxisState{false, false, c.fixed.min, c.fixed.max}, c.fixed);
        EXPECT_EQ(scale.min, c.fixed.min);
        EXPECT_EQ(scale.max, c.fixed.max);
        EXPECT_NEAR(scale.step, c.step, 1e-12) << c.fixed.min << ".." << c.fixed.max;
        int ticks = 0;
        for (double x = firstTick(scale.min, scale.step); x <= scale.max + 1e-9; x += scale.step) {
            ++ticks;
        }
        EXPECT_GE(ticks, 2) << c.fixed.min << ".." << c.fixed.max;
    }
}

}  // namespace
}  // namespace npt::axis_scale
