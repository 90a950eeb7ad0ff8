// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A rise of exactly 40 bytes (8,0 mm) over a resting level of bytes 82-84, shaped as tumescence
// is: it climbs to its top over twelve samples and comes down over twelve, so that it is no
// jump of the sensor. Given by its run [first, last) of samples 3 mm or more above rest: the ramp
// passes 16 bytes seven samples before its top (and after it), and 26 bytes, 5 mm, four.
#include <algorithm>
#include <cmath>
#include <cstddef>

namespace npt::test {

inline constexpr std::size_t kRampSamples = 12;
inline constexpr std::size_t kRampAboveThreshold = 7;
inline constexpr std::size_t kRampAboveFull = 4;

// The lift of sample i, in bytes, by the rise whose run above 3 mm is [first, last).
inline long rampedRise(std::size_t i, std::size_t first, std::size_t last) {
    const auto top = static_cast<double>(first + kRampAboveThreshold);
    const auto end = static_cast<double>(last - 1 - kRampAboveThreshold);
    const double x = static_cast<double>(i);
    const double part = std::clamp(
        std::min(x - (top - kRampSamples), end + kRampSamples - x) / kRampSamples, 0.0, 1.0);
    return std::lround(40 * part);
}

}  // namespace npt::test
