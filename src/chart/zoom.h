// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's navigation buttons: zoom steps on one end of an axis, the reset, and the
// smoothing steps.
#include "chart/chart_model.h"

namespace npt::zoom {

inline constexpr double kDiameterStepMm = 5;
inline constexpr double kTimeStepDays = 0.1;  // 2 h 24 min

// Moves the top of the axis by delta (negative zooms in), freezing its bottom where it is on
// screen. A step that would bring the top to the bottom or below is ignored; returns whether
// the axis changed.
bool stepMaximum(ChartModel& chart, AxisId axis, double delta);

// Undo a mouse zoom, make both axes automatic again and take the smoothing back to 1.
void reset(ChartModel& chart);

// Change the smoothing period by delta; a negative result is refused by the chart.
void stepPeriod(ChartModel& chart, double delta);

}  // namespace npt::zoom
