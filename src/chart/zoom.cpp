// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/zoom.h"

namespace npt::zoom {

bool stepMaximum(ChartModel& chart, AxisId axis, double delta) {
    const ValueRange now = chart.currentRange(axis);
    const auto top = static_cast<double>(static_cast<long double>(now.max) + delta);
    if (now.min >= top) {
        return false;
    }
    chart.setAxis(axis, AxisState{false, false, now.min, top});
    return true;
}

void reset(ChartModel& chart) {
    chart.undoZoom();
    chart.setAxis(AxisId::Left, AxisState{});
    chart.setAxis(AxisId::Bottom, AxisState{});
    chart.setPeriod(1);
}

void stepPeriod(ChartModel& chart, double delta) {
    chart.setPeriod(chart.period() + delta);
}

}  // namespace npt::zoom
