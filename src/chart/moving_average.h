// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The smoothing of the diameter curve: a moving average over a window of Period points,
// weighted by each point's own X value (its time in days) and placed at the window's centre.
#include <stdexcept>

#include "chart/line_series.h"

namespace npt {

// A chart setting refused, with the chart's own message.
class ChartError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class PeriodAlign { First, Center, Last };

struct MovingAverageSettings {
    double period = 25;  // window length in points, rounded half to even
    PeriodAlign align = PeriodAlign::Center;
    bool weighted = true;        // weight each Y by its X
    bool weightedIndex = false;  // weight by position in the window (only when not weighted)
};

// Fills target with the smoothed curve of source: for every window of P consecutive points
// (P = period rounded), one point. Both sums start from 0 in double and run over the window in
// order, so the result does not depend on earlier windows. A period of 0 means no smoothing:
// the raw points are reproduced.
void computeMovingAverage(const LineSeries& source, const MovingAverageSettings& settings,
                          LineSeries& target);

}  // namespace npt
