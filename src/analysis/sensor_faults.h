// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensor's own faults, found from the course of the diameter: the stretches of a night where
// the sensor was not measuring the flaccid or tumescent penis as it was put on.
//
// The rules follow from what the body can do. Tumescence rises and falls over minutes; the
// flaccid diameter stays within a few millimetres all night. So:
//   - A step: the diameter changes by at least kStepMinMm within kStepWithinS and holds its new
//     level, the minute before and the minute after each steady (the step is at least twice
//     the spread of the middle 60 % of either minute's samples). No rise of the body is that
//     fast; a sensor taken off, put on, slipping or shifting is. Steps split the night into
//     segments of one sensor position each.
//   - The worn level: the lower quartile of the samples of every segment that is not lying
//     still (see below). Episodes stand above the flaccid diameter and seldom fill three
//     quarters of a night, so it is the flaccid diameter, a little below its middle. Segments are
//     compared by their own lower quartiles likewise.
//   - Off the body or slipped: where the one-minute median lies kOffBelowMm or more below the
//     worn level, a level no flaccid penis has; with half a minute each side, where the sensor
//     was being taken off or put back. At the start of the night it is a sensor put on late, at
//     its end one taken off early.
//   - Lying still: a segment of at least kStillMinimumS whose samples lie on two neighbouring
//     byte values, all but kStillOffShare of them (readings a step or two off are tolerated),
//     and whose one-minute median leaves the segment's median by more than one step for less
//     than kStillMovingS in all; left out when its level lies kStillApartMm or more from the
//     worn level, or when no segment of the night is anything but still. A sensor on the body
//     moves: its noise spreads its readings over more byte values, or, when it is very quiet,
//     it rises with the night's episodes and reaches its level smoothly, not through a step, so
//     it is not taken for one lying on the table. A reading that does not change at all for
//     kStillMinimumS lies still wherever it is: a sensor on the body always shows something.
//   - Shifted: a segment between two steps, lasting at most
//     kShiftLongestS, whose level differs from the segments on both sides by kStepMinMm or more
//     in the same direction: the sensor moved when the patient turned and moved back. A segment
//     after the night's last step (or before its first) that differs so from its neighbour and
//     lasts at most kShiftAtEdgeLongestS is shifted too: the sensor moved and the recording ended.
//     A longer one is a new position of the sensor: the night is analysed as parts, one per
//     position, each with its own resting diameter.
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/quality.h"

namespace npt {

inline constexpr double kStepMinMm = 2.0;
inline constexpr int kStepWithinS = 20;
inline constexpr double kOffBelowMm = 5.0;
inline constexpr int kStillMinimumS = 20 * 60;
inline constexpr double kStillOffShare = 0.15;
inline constexpr int kStillMovingS = 5 * 60;
inline constexpr double kStillApartMm = 2.0;
inline constexpr int kShiftLongestS = 2 * 3600;
inline constexpr int kShiftAtEdgeLongestS = 60 * 60;

struct SensorFaults {
    // The stretches where the sensor was off, lying still or shifted, in time order and never
    // overlapping.
    std::vector<Stretch> stretches;
    // The first samples of each new position of the sensor on the body: steps that neither
    // begin nor end a stretch left out. In ascending order.
    std::vector<std::size_t> newPositions;
};

// The sensor's faults in the night (bytes up to its last written sample); `broken` marks the
// samples that are no measurement at all (erased, at the ends of the range), which are ignored.
SensorFaults sensorFaults(std::span<const std::uint8_t> bytes, const std::vector<bool>& broken,
                          int period);

}  // namespace npt
