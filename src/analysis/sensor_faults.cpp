// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/sensor_faults.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "analysis/byte_window.h"

namespace npt {

namespace {

constexpr double kMmPerStep = 0.2;  // one step of the sample byte

int bytesOf(double mm) {
    return static_cast<int>(std::lround(mm / kMmPerStep));
}

// The number of samples nearest to the time, rounded half away from zero, and at least one.
std::size_t nearestSampleCountOfAtLeastOne(int seconds, int period) {
    return static_cast<std::size_t>(
        std::max(1L, std::lround(static_cast<double>(seconds) / period)));
}

struct Step {
    std::size_t at;  // the first sample at the new level
    int from;        // bytes: the level of the minute before and the minute after
    int to;
};

// The steps of the diameter (sensor_faults.h), each where its first sample nearer the new level
// than the old one is; `level` is the one-minute median of the series.
std::vector<Step> findSteps(const std::vector<int>& series, const std::vector<int>& level,
                            int period) {
    const auto half = static_cast<int>(nearestSampleCountOfAtLeastOne(30, period));
    // The new level may be reached through intermediate samples within kStepWithinS.
    const std::size_t within = nearestSampleCountOfAtLeastOne(kStepWithinS, period) - 1;
    const std::vector<int> low = slidingQuantile(series, half, 0.2);
    const std::vector<int> high = slidingQuantile(series, half, 0.8);
    const std::size_t n = series.size();
    const auto width = static_cast<std::size_t>(2 * half + 1);
    const int minimum = bytesOf(kStepMinMm);

    // The change at boundary b, between the minute ending before b and the one beginning at
    // b + within; zero unless it is a step.
    // The levels are those of the minute that ends a minute before the boundary and of the
    // minute that begins a minute after the transition; between them the diameter passes at
    // once: of the samples in those two minutes beside the boundary, at most the transition's
    // and one more lie in the middle half of the change. A rise over a minute has several there.
    const auto passedAtOnce = [&](std::size_t b, int from, int to) {
        const int quarter = std::abs(to - from) / 4;
        const int low = std::min(from, to) + quarter;
        const int high = std::max(from, to) - quarter;
        std::size_t between = 0;
        for (std::size_t i = b - width; i < b + within + width; ++i) {
            between += series[i] != kNoValue && series[i] > low && series[i] < high ? 1 : 0;
        }
        return between <= within + 1;
    };
    // And the minute just before the boundary and the one just after the transition stand at
    // those levels, all samples but one in seven within a quarter of the change.
    const auto steady = [&](std::size_t first, int at, int change) {
        const int tolerance = std::abs(change) / 4;
        std::size_t away = 0;
        std::size_t known = 0;
        for (std::size_t i = first; i < first + width; ++i) {
            if (series[i] != kNoValue) {
                ++known;
                away += std::abs(series[i] - at) > tolerance ? 1 : 0;
            }
        }
        return known > 0 && away * 7 <= known;
    };
    const auto beforeAt = [&](std::size_t b) {
        return b - width - static_cast<std::size_t>(half) - 1;
    };
    const auto afterAt = [&](std::size_t b) {
        return b + within + width + static_cast<std::size_t>(half);
    };
    const auto stepAt = [&](std::size_t b) {
        const std::size_t before = beforeAt(b);
        const std::size_t after = afterAt(b);
        if (level[before] == kNoValue || level[after] == kNoValue) {
            return 0;
        }
        const int change = level[after] - level[before];
        const int spread = std::max(high[before] - low[before], high[after] - low[after]);
        const bool step = std::abs(change) >= minimum && std::abs(change) >= 2 * spread &&
                          steady(b - width, level[before], change) &&
                          steady(b + within, level[after], change) &&
                          passedAtOnce(b, level[before], level[after]);
        return step ? change : 0;
    };

    std::vector<Step> steps;
    for (std::size_t b = 2 * width; afterAt(b) < n;) {
        const int change = stepAt(b);
        if (change == 0) {
            ++b;
            continue;
        }
        // Neighbouring boundaries see the same step: take the largest change among them.
        std::size_t best = b;
        std::size_t last = b;
        for (std::size_t c = b + 1; afterAt(c) < n; ++c) {
            const int next = stepAt(c);
            if (next == 0 || (next > 0) != (change > 0)) {
                break;
            }
            last = c;
            if (std::abs(next) > std::abs(stepAt(best))) {
                best = c;
            }
        }
        const int from = level[beforeAt(best)];
        const int to = level[afterAt(best)];
        std::size_t at = best;
        for (std::size_t i = b; i <= last + within && i < n; ++i) {
            if (series[i] != kNoValue && std::abs(series[i] - to) < std::abs(series[i] - from)) {
                at = i;
                break;
            }
        }
        if (steps.empty() || at > steps.back().at) {
            steps.push_back({at, from, to});
        }
        b = last + within + 1;
    }
    return steps;
}

struct Segment {
    std::size_t first;
    std::size_t last;      // one past
    int level = kNoValue;  // median byte of the measured samples
    // The resting level, the lower quartile: episodes, which may fill much of a segment, stand
    // above it, the flaccid diameter holds the lower part.
    int resting = kNoValue;
    bool still = false;
};

// The segments between the steps, each with its level and whether it lies still
// (sensor_faults.h); `level` is the one-minute median.
std::vector<Segment> segmentsBetween(const std::vector<Step>& steps, const std::vector<int>& series,
                                     const std::vector<int>& level, int period) {
    std::vector<Segment> segments;
    std::size_t first = 0;
    const auto close = [&](std::size_t last) {
        Segment s{first, last};
        ByteWindow window;
        for (std::size_t i = first; i < last; ++i) {
            if (series[i] != kNoValue) {
                window.add(static_cast<std::uint8_t>(series[i]));
            }
        }
        if (window.size() > 0) {
            s.level = window.valueAtRank((window.size() - 1) / 2);
            s.resting = window.valueAtRank((window.size() - 1) / 4);
            int inPair = 0;  // samples on the two neighbouring byte values holding the most
            for (int v = 0; v < 255; ++v) {
                inPair = std::max(inPair, window.countWithin(v, v + 1));
            }
            long long moving = 0;
            for (std::size_t i = first; i < last; ++i) {
                moving += level[i] != kNoValue && std::abs(level[i] - s.level) > 1 ? period : 0;
            }
            s.still = static_cast<long long>(last - first) * period >= kStillMinimumS &&
                      window.size() - inPair <= kStillOffShare * window.size() &&
                      moving < kStillMovingS;
        }
        segments.push_back(s);
        first = last;
    };
    for (const Step& step : steps) {
        close(step.at);
    }
    close(series.size());
    return segments;
}

// The lower quartile of the samples in segments that are not lying still: the flaccid diameter
// of the sensor on the body; nothing when all are still.
std::optional<int> wornLevel(const std::vector<Segment>& segments, const std::vector<int>& series) {
    ByteWindow window;
    for (const Segment& s : segments) {
        if (s.still) {
            continue;
        }
        for (std::size_t i = s.first; i < s.last; ++i) {
            if (series[i] != kNoValue) {
                window.add(static_cast<std::uint8_t>(series[i]));
            }
        }
    }
    if (window.size() == 0) {
        return std::nullopt;
    }
    return window.valueAtRank((window.size() - 1) / 4);
}

enum class Label { None, Shifted, Still, Off };

void label(std::vector<Label>& labels, std::size_t first, std::size_t last, Label l) {
    std::fill(labels.begin() + static_cast<std::ptrdiff_t>(first),
              labels.begin() + static_cast<std::ptrdiff_t>(last), l);
}

// True when the segment lies kStepMinMm or more on one side of both neighbours (one at an edge).
bool apartFrom(const Segment& s, const Segment* before, const Segment* after) {
    const int minimum = bytesOf(kStepMinMm);
    const auto above = [&](const Segment* o) {
        return o == nullptr || s.resting - o->resting >= minimum;
    };
    const auto below = [&](const Segment* o) {
        return o == nullptr || o->resting - s.resting >= minimum;
    };
    return (above(before) && above(after)) || (below(before) && below(after));
}

}  // namespace

SensorFaults sensorFaults(std::span<const std::uint8_t> bytes, const std::vector<bool>& broken,
                          int period) {
    const std::size_t n = bytes.size();
    std::vector<int> series(n, kNoValue);
    for (std::size_t i = 0; i < n; ++i) {
        if (!broken[i]) {
            series[i] = bytes[i];
        }
    }
    // The one-minute median.
    const std::vector<int> level =
        slidingQuantile(series, static_cast<int>(nearestSampleCountOfAtLeastOne(30, period)), 0.5);
    const std::vector<Step> steps = findSteps(series, level, period);
    const std::vector<Segment> segments = segmentsBetween(steps, series, level, period);
    const std::optional<int> worn = wornLevel(segments, series);
    const int offBelow = bytesOf(kOffBelowMm);
    const auto offLevel = [&](int level) {
        return worn && level != kNoValue && level <= *worn - offBelow;
    };

    std::vector<Label> labels(n, Label::None);
    // Shifted segments first: lying still and off the body, found after, say more. Those between
    // two steps first, then those at the ends of the night, which are measured against a
    // neighbour that is not shifted itself.
    std::vector<bool> shifted(segments.size(), false);
    const auto onTheBody = [&](const Segment* o) {
        return o == nullptr || (o->resting != kNoValue && !offLevel(o->resting) && !o->still);
    };
    for (const bool between : {true, false}) {
        for (std::size_t k = 0; k < segments.size(); ++k) {
            const Segment& s = segments[k];
            const Segment* before = k > 0 ? &segments[k - 1] : nullptr;
            const Segment* after = k + 1 < segments.size() ? &segments[k + 1] : nullptr;
            if (s.resting == kNoValue || (before != nullptr && after != nullptr) != between ||
                (before == nullptr && after == nullptr)) {
                continue;
            }
            if ((before != nullptr && shifted[k - 1]) || (after != nullptr && shifted[k + 1])) {
                continue;
            }
            // A shift is measured against the sensor on the body, not against one taken off.
            if (!onTheBody(before) || !onTheBody(after) || !apartFrom(s, before, after)) {
                continue;
            }
            const long long seconds = static_cast<long long>(s.last - s.first) * period;
            if (seconds <= (between ? kShiftLongestS : kShiftAtEdgeLongestS)) {
                shifted[k] = true;
                label(labels, s.first, s.last, Label::Shifted);
            }
        }
    }
    // A reading that does not change at all is no sensor on the body, whatever its level.
    const std::size_t unchanged = nearestSampleCountOfAtLeastOne(kStillMinimumS, period);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && series[i] != kNoValue && series[j] == series[i]) {
            ++j;
        }
        if (series[i] != kNoValue && j - i >= unchanged) {
            label(labels, i, j, Label::Still);
        }
        i = j;
    }
    for (const Segment& s : segments) {
        if (s.still && (!worn || std::abs(s.level - *worn) >= bytesOf(kStillApartMm))) {
            label(labels, s.first, s.last, Label::Still);
        }
    }
    if (worn) {
        const std::size_t margin = nearestSampleCountOfAtLeastOne(30, period);
        for (std::size_t i = 0; i < n;) {
            if (!offLevel(level[i])) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < n && (offLevel(level[j]) || level[j] == kNoValue)) {
                ++j;
            }
            label(labels, i > margin ? i - margin : 0, std::min(n, j + margin), Label::Off);
            i = j + margin;
        }
    }

    SensorFaults faults;
    for (const Step& step : steps) {
        if (labels[step.at] == Label::None && labels[step.at - 1] == Label::None) {
            faults.newPositions.push_back(step.at);
        }
    }
    std::vector<Stretch>& stretches = faults.stretches;
    for (std::size_t i = 0; i < n;) {
        if (labels[i] == Label::None) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && labels[j] == labels[i]) {
            ++j;
        }
        Fault fault = labels[i] == Label::Shifted ? Fault::Shifted
                      : labels[i] == Label::Still ? Fault::Flat
                                                  : Fault::Off;
        // Off or still from the first sample or to the last: the sensor was not yet on, or
        // was already off; the whole night says only that it was never worn.
        if (fault != Fault::Shifted && (i == 0) != (j == n)) {
            fault = i == 0 ? Fault::PutOnLate : Fault::TakenOffEarly;
        }
        stretches.push_back({fault, static_cast<int>(i) * period, static_cast<int>(j) * period});
        i = j;
    }
    return faults;
}

}  // namespace npt
