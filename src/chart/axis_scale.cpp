// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/axis_scale.h"

#include <array>
#include <cmath>

namespace npt::axis_scale {
namespace {

constexpr double kMinutesPerDay = 24 * 60;
constexpr int kMostTicks = 12;
// Less than a microsecond of a day or a mm: a value that sits on a tick up to rounding noise.
constexpr double kEpsilon = 1e-9;

double floorTo(double v, double step) {
    return std::floor(v / step + kEpsilon) * step;
}
double ceilTo(double v, double step) {
    return std::ceil(v / step - kEpsilon) * step;
}

}  // namespace

double timeStep(double spanDays) {
    // Down to the second, so that a deep zoom still shows times to read it by; a flat span
    // (all points at one time) gets a minute of room.
    static constexpr std::array<double, 19> kMinutes = {
        1.0 / 60, 2.0 / 60, 5.0 / 60, 10.0 / 60, 15.0 / 60, 30.0 / 60, 1,   2,   5,   10,
        15,       30,       60,       120,       180,       240,       360, 720, 1440};
    if (spanDays <= 0) {
        return 1 / kMinutesPerDay;
    }
    for (double minutes : kMinutes) {
        // A span of exactly twelve hours has twelve hourly steps, whatever the rounding of
        // its ends.
        if (spanDays / (minutes / kMinutesPerDay) <= kMostTicks + kEpsilon) {
            return minutes / kMinutesPerDay;
        }
    }
    // Zoomed out over many days: whole days.
    return std::ceil(spanDays / kMostTicks);
}

double diameterStep(double spanMm) {
    // Less than two millimetres on screen (a deep zoom): tenths, so that ticks remain.
    if (spanMm > 0 && spanMm < 2) {
        for (double step : {0.1, 0.2, 0.5}) {
            if (spanMm / step <= kMostTicks + kEpsilon) {
                return step;
            }
        }
    }
    if (spanMm <= kMostTicks) {
        return 1;
    }
    double step = 5;
    while (spanMm / step > kMostTicks) {
        step *= 2;
    }
    return step;
}

Scale scaleFor(AxisId axis, const AxisState& state, ValueRange fitted) {
    double lo = state.automaticMinimum ? fitted.min : state.minimum;
    double hi = state.automaticMaximum ? fitted.max : state.maximum;
    auto stepFor = [axis](double span) {
        return axis == AxisId::Bottom ? timeStep(span) : diameterStep(span);
    };
    const double step = stepFor(std::max(hi - lo, 0.0));
    if (state.automaticMinimum) {
        lo = floorTo(lo, step);
    }
    if (state.automaticMaximum) {
        hi = ceilTo(hi, step);
    }
    if (hi <= lo) {
        // A flat curve: one step above it, so that it is drawn inside the plot.
        if (state.automaticMaximum) {
            hi = lo + step;
        } else if (state.automaticMinimum) {
            lo = hi - step;
        }
    }
    return Scale{lo, hi, step};
}

double firstTick(double min, double step) {
    return ceilTo(min, step);
}

}  // namespace npt::axis_scale
