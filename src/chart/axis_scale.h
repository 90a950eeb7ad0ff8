// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Round axis ranges and tick steps for the chart: the time axis ticks on whole seconds, minutes,
// quarter hours, half hours or hours, the diameter axis on tenths (deep zoom only), whole or five
// millimetres. GUI-free.
#include <string>

#include "chart/chart_model.h"

namespace npt::axis_scale {

struct Scale {
    double min = 0;
    double max = 0;
    double step = 0;  // distance between ticks, in the axis's unit
};

// The tick step for a span of the time axis (days) and of the diameter axis (mm).
double timeStep(double spanDays);
double diameterStep(double spanMm);

// The range to draw for an axis: a fixed end as the doctor set it, an automatic end widened to
// the next tick of the range it follows (ChartModel::fittedRange).
Scale scaleFor(AxisId axis, const AxisState& state, ValueRange fitted);

// The first tick at or after min.
double firstTick(double min, double step);

// "HH.mm.ss" of the time of day of x days (x above 1 is after midnight).

}  // namespace npt::axis_scale
