// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/moving_average.h"

#include <cmath>

namespace npt {

namespace {
double windowValue(const std::vector<double>& xs, const std::vector<double>& ys, std::size_t first,
                   std::size_t last, const MovingAverageSettings& s) {
    double sum = 0;
    double weights = 0;
    for (std::size_t k = first; k <= last; ++k) {
        double w = 1;
        if (s.weighted) {
            w = xs[k];
        } else if (s.weightedIndex) {
            w = static_cast<double>(k - first + 1);
        }
        sum += ys[k] * w;
        weights += w;
    }
    if (!s.weighted && !s.weightedIndex) {
        return sum / static_cast<double>(last - first + 1);
    }
    return weights == 0 ? 0 : sum / weights;
}

double windowX(const std::vector<double>& xs, std::size_t first, std::size_t last,
               PeriodAlign align) {
    switch (align) {
        case PeriodAlign::First:
            return xs[first];
        case PeriodAlign::Last:
            return xs[last];
        case PeriodAlign::Center:
            break;
    }
    return (xs[first] + xs[last]) * 0.5;
}
}  // namespace

void computeMovingAverage(const LineSeries& source, const MovingAverageSettings& settings,
                          LineSeries& target) {
    target.clear();
    const std::size_t n = source.count();
    if (n == 0) {
        return;
    }
    double rounded = std::nearbyint(settings.period);
    if (rounded < 1) {
        rounded = 1;  // period 0: no smoothing rather than a curve of undefined windows
    }
    if (static_cast<double>(n) < rounded) {
        return;
    }
    const auto p = static_cast<std::size_t>(rounded);
    const auto& xs = source.xs();
    const auto& ys = source.ys();
    target.reserve(n - p + 1);
    for (std::size_t last = p - 1; last < n; ++last) {
        const std::size_t first = last + 1 - p;
        target.addXY(windowX(xs, first, last, settings.align),
                     windowValue(xs, ys, first, last, settings));
    }
}

}  // namespace npt
