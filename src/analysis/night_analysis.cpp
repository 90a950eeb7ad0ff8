// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/night_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "analysis/byte_window.h"
#include "analysis/night_review.h"
#include "measure/samples.h"
#include "measure/time_of_day.h"

namespace npt {

namespace {

constexpr double kTolerance = 1e-9;  // diameters are tenths of a millimetre held in doubles
constexpr double kNoRise = std::numeric_limits<double>::quiet_NaN();
constexpr double kLowBaselineFraction = 0.2;
constexpr double kRoughThresholdFraction = 0.75;
constexpr double kMmPerStep = 0.2;  // one step of the sample byte

// Window widths in samples, for a period of at least 1 s: the number of samples nearest to the
// time, rounded half away from zero.
int nearestSampleCount(double seconds, int period) {
    return static_cast<int>(std::lround(seconds / period));
}
// Each side of the centre: half a minute for the smoothing, an hour for the baseline.
int smoothingHalfWidth(int period) {
    return nearestSampleCount(30, period);
}
int baselineHalfWidth(int period) {
    return (3600 + period - 1) / period;
}
// The wider window of the first pass: six hours, the whole night when it is shorter.
int wideBaselineWidth(int period) {
    return (6 * 3600 + period - 1) / period;
}
// Each side of the centre of the level a peak must hold: three minutes in all.
int peakHalfWidth(int period) {
    return nearestSampleCount(90, period);
}
// The flanks of an episode (its rise and fall below the threshold), left out of the resting
// diameter, and the stretch beside each flank where that diameter is taken.
int flankWidth(int period) {
    return nearestSampleCount(300, period);
}
int sideWidth(int period) {
    return nearestSampleCount(1200, period);
}
// The fewest resting samples a level is taken from: five minutes beside an episode, ten within
// the baseline's window.
int minimumSideCount(int period) {
    return nearestSampleCount(300, period);
}
int minimumRestingCount(int period) {
    return nearestSampleCount(600, period);
}

// smoothed - baseline where both are known; NaN elsewhere.
std::vector<double> risesAbove(const std::vector<double>& smoothedMm,
                               const std::vector<double>& baselineMm) {
    std::vector<double> rise(smoothedMm.size(), kNoRise);
    for (std::size_t i = 0; i < rise.size(); ++i) {
        rise[i] = smoothedMm[i] - baselineMm[i];  // NaN when either is
    }
    return rise;
}

// Means of the known values of a series over any range of positions, from running sums.
class RangeMean {
  public:
    explicit RangeMean(const std::vector<double>& values)
        : sums_(values.size() + 1, 0.0), counts_(values.size() + 1, 0) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const bool known = !std::isnan(values[i]);
            sums_[i + 1] = sums_[i] + (known ? values[i] : 0.0);
            counts_[i + 1] = counts_[i] + (known ? 1 : 0);
        }
    }
    // The mean over [first, last), NaN when none is known.
    double mean(std::size_t first, std::size_t last) const {
        const int count = counts_[last] - counts_[first];
        return count > 0 ? (sums_[last] - sums_[first]) / count : kNoRise;
    }

  private:
    std::vector<double> sums_;
    std::vector<int> counts_;
};

// A run of samples [first, last) of the night.
struct Run {
    std::size_t first;
    std::size_t last;
};

// The runs of samples rising at least `threshold` above the baseline, dips shorter than the
// merge gap bridged unless a stretch left out lies in them (`barrier` counts, per position, the
// left-out samples before it), runs shorter than the minimum duration dropped.
std::vector<Run> episodeRuns(const std::vector<double>& rise, const AnalysisParameters& p,
                             int period, const std::vector<int>& barrier) {
    std::vector<Run> runs;
    const std::size_t n = rise.size();
    for (std::size_t i = 0; i < n;) {
        if (!(rise[i] >= p.threshold_mm - kTolerance)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && rise[j] >= p.threshold_mm - kTolerance) {
            ++j;
        }
        if (!runs.empty() &&
            static_cast<long long>(i - runs.back().last) * period < p.merge_gap_s &&
            barrier[i] == barrier[runs.back().last]) {
            runs.back().last = j;
        } else {
            runs.push_back({i, j});
        }
        i = j;
    }
    std::erase_if(runs, [&](const Run& r) {
        return static_cast<long long>(r.last - r.first) * period < p.min_duration_s;
    });
    return runs;
}

double roundedToHundredth(double value) {
    return std::nearbyint(value * 100.0) / 100.0;
}

// The resting diameter on each side of every position: the median of the nearest resting
// samples before it (and, separately, from it on), up to twenty minutes of them, found however
// far away, with the mean position they stand at; none where fewer than five minutes of rest lie
// on that side. Left-out stretches are never rest, so they never become a level.
class NearestRest {
  public:
    struct Level {
        double mm = kNoRise;
        double at = 0;  // the mean position of the samples it is taken from
    };

    NearestRest(const std::vector<int>& resting, int period)
        : before_(resting.size() + 1), after_(resting.size() + 1) {
        const auto count = static_cast<std::size_t>(std::max(sideWidth(period), 1));
        const int minCount = std::max(minimumSideCount(period), 1);
        Gathered forward(resting, count, minCount);
        for (std::size_t slot = 0; slot <= resting.size(); ++slot) {
            before_[slot] = forward.level();  // positions < slot
            forward.take(slot);
        }
        Gathered backward(resting, count, minCount);
        for (std::size_t slot = resting.size() + 1; slot-- > 0;) {
            backward.take(slot);
            after_[slot] = backward.level();  // positions >= slot
        }
    }

    // From resting samples before `position`, and from those at `position` or after.
    const Level& before(std::size_t position) const { return before_[position]; }
    const Level& after(std::size_t position) const { return after_[position]; }

  private:
    // The last `count` resting samples taken, in order of taking.
    class Gathered {
      public:
        Gathered(const std::vector<int>& resting, std::size_t count, int minCount)
            : resting_(resting), count_(count), minCount_(minCount) {}
        void take(std::size_t i) {
            if (i >= resting_.size() || resting_[i] == kNoValue) {
                return;
            }
            window_.add(static_cast<std::uint8_t>(resting_[i]));
            held_.push_back(i);
            positionSum_ += static_cast<double>(i);
            if (held_.size() - head_ > count_) {
                window_.remove(static_cast<std::uint8_t>(resting_[held_[head_]]));
                positionSum_ -= static_cast<double>(held_[head_]);
                ++head_;
            }
        }
        Level level() {
            if (window_.size() < minCount_) {
                return {};
            }
            return {kMmPerStep * window_.interpolatedQuantile(0.5) + diameterOf(0),
                    positionSum_ / window_.size()};
        }

      private:
        const std::vector<int>& resting_;
        std::size_t count_;
        int minCount_;
        ByteWindow window_;
        std::vector<std::size_t> held_;
        std::size_t head_ = 0;
        double positionSum_ = 0;
    };

    std::vector<Level> before_;
    std::vector<Level> after_;
};

// The flaccid diameter at position i from the levels on either side: a straight line between
// them, as a doctor would draw it under the bump; one side's level where the other has none.
double lineBetween(const NearestRest::Level& before, const NearestRest::Level& after, double i) {
    const bool hasBefore = !std::isnan(before.mm);
    const bool hasAfter = !std::isnan(after.mm);
    if (hasBefore && hasAfter && after.at > before.at) {
        return before.mm + (after.mm - before.mm) * (i - before.at) / (after.at - before.at);
    }
    if (hasBefore && hasAfter) {
        return (before.mm + after.mm) / 2;
    }
    return hasBefore ? before.mm : after.mm;  // NaN when neither
}

// The flaccid diameter under an episode, one value per sample of the run: the line from the
// resting level before its flank to the one after. With no rest anywhere, the night's sliding
// baseline.
std::vector<double> baselineUnder(const Run& run, const NearestRest& rest,
                                  const std::vector<double>& slidingMm, int period) {
    const auto flank = static_cast<std::size_t>(flankWidth(period));
    const NearestRest::Level& before = rest.before(run.first > flank ? run.first - flank : 0);
    const NearestRest::Level& after = rest.after(std::min(run.last + flank, slidingMm.size()));
    std::vector<double> under(run.last - run.first);
    for (std::size_t k = 0; k < under.size(); ++k) {
        const double line = lineBetween(before, after, static_cast<double>(run.first + k));
        under[k] = std::isnan(line) ? slidingMm[run.first + k] : line;
    }
    return under;
}

NightEpisode measureEpisode(const Run& run, const std::vector<double>& smoothedMm,
                            const RangeMean& smoothedMean, const std::vector<double>& under,
                            const AnalysisParameters& p, const NightRecording& recording) {
    const int period = recording.periodSeconds;
    NightEpisode e;
    e.start_s = static_cast<int>(run.first) * period;
    e.end_s = static_cast<int>(run.last) * period;
    e.start = clockText(recording.startSeconds + e.start_s);
    e.end = clockText(recording.startSeconds + e.end_s);
    e.duration_s = e.end_s - e.start_s;
    e.found_start_s = e.start_s;
    e.found_end_s = e.end_s;

    double baselineSum = 0;
    int baselineCount = 0;
    double peak = -std::numeric_limits<double>::infinity();
    double area = 0;
    const auto half = static_cast<std::size_t>(peakHalfWidth(period));
    for (std::size_t i = run.first; i < run.last; ++i) {
        const double base = under[i - run.first];
        if (!std::isnan(base)) {
            baselineSum += base;
            ++baselineCount;
        }
        // The peak is the highest level held for a few minutes within the episode, not the
        // highest noise on its plateau.
        const double level = smoothedMean.mean(std::max(run.first, i > half ? i - half : 0),
                                               std::min(run.last, i + half + 1));
        if (!std::isnan(level)) {
            peak = std::max(peak, level);
        }
        const double rise = smoothedMm[i] - base;  // NaN where either is unknown
        if (rise >= p.full_threshold_mm - kTolerance) {
            e.full_s += period;
        }
        if (rise > 0) {
            area += rise * period / 60.0;
        }
    }
    // Every episode holds samples above the threshold, so both a baseline and a peak exist.
    e.baseline_mm = roundedToTenth(baselineSum / baselineCount);
    e.peak_mm = roundedToTenth(peak);
    e.increase_mm = roundedToTenth(e.peak_mm - e.baseline_mm);
    e.increase_percent = roundedToTenth(e.increase_mm / e.baseline_mm * 100.0);
    e.area_mm_min = roundedToTenth(area);
    return e;
}

// The highest three-minute mean of the rise anywhere it is known, 0 where it never is above 0.
double largestHeldRise(const std::vector<double>& rise, int period) {
    const RangeMean mean(rise);
    const auto half = static_cast<std::size_t>(peakHalfWidth(period));
    double largest = 0;
    for (std::size_t i = 0; i < rise.size(); ++i) {
        if (std::isnan(rise[i])) {
            continue;
        }
        const double level =
            mean.mean(i > half ? i - half : 0, std::min(rise.size(), i + half + 1));
        largest = std::max(largest, level);
    }
    return roundedToTenth(largest);
}

NightSummary summarise(const std::vector<NightEpisode>& episodes, int validS, int usableS) {
    NightSummary s;
    s.valid_s = validS;
    s.analysed_s = usableS;
    s.episodes = static_cast<int>(episodes.size());
    double area = 0;
    for (const NightEpisode& e : episodes) {
        s.total_s += e.duration_s;
        s.longest_s = std::max(s.longest_s, e.duration_s);
        s.max_increase_mm = std::max(s.max_increase_mm, e.increase_mm);
        area += e.area_mm_min;  // the table's column adds up to the summary's figure
    }
    s.area_mm_min = roundedToTenth(area);
    if (s.episodes > 0) {
        s.mean_s = roundedToTenth(static_cast<double>(s.total_s) / s.episodes);
    }
    if (usableS > 0) {
        s.per_hour = roundedToHundredth(s.episodes * 3600.0 / usableS);
    }
    return s;
}

// The baseline of one part of the night (one position of the sensor) and the episodes over it,
// in the part's own positions.
class PartBaseline {
    // Filled first, by restingOf while `nearest` is made.
    std::vector<int> resting_;
    std::vector<double> roughMm_;

  public:
    std::vector<double> baselineMm;
    NearestRest nearest;
    std::vector<Run> runs;

    PartBaseline(const std::vector<int>& measured, const std::vector<int>& smoothed,
                 const std::vector<double>& smoothedMm, const std::vector<int>& barrier,
                 const AnalysisParameters& parameters, int period)
        : baselineMm(measured.size(), kNoRise),
          nearest(restingOf(measured, smoothed, smoothedMm, barrier, parameters, period), period) {
        const std::size_t n = measured.size();
        const std::vector<double> restingMedian = slidingInterpolatedQuantile(
            resting_, baselineHalfWidth(period), 0.5, minimumRestingCount(period));
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isnan(restingMedian[i])) {
                baselineMm[i] = kMmPerStep * restingMedian[i] + diameterOf(0);
            } else if (const double line =
                           lineBetween(nearest.before(i), nearest.after(i), static_cast<double>(i));
                       !std::isnan(line)) {
                baselineMm[i] = line;
            } else {
                baselineMm[i] = roughMm_[i];
            }
        }
        runs = episodeRuns(risesAbove(smoothedMm, baselineMm), parameters, period, barrier);
    }

  private:
    // First pass: a low percentile stands below the episodes whatever they are, over two hours
    // and, for episodes that fill those, over six. The rough episodes found over it, with their
    // flanks, are left out of the resting samples the second pass takes the flaccid diameter
    // from.
    const std::vector<int>& restingOf(const std::vector<int>& measured,
                                      const std::vector<int>& smoothed,
                                      const std::vector<double>& smoothedMm,
                                      const std::vector<int>& barrier,
                                      const AnalysisParameters& parameters, int period) {
        const std::size_t n = measured.size();
        const std::vector<int> lowNear =
            slidingQuantile(smoothed, baselineHalfWidth(period), kLowBaselineFraction);
        const std::vector<int> lowFar =
            slidingQuantileOfWidth(smoothed, wideBaselineWidth(period), kLowBaselineFraction);
        roughMm_.assign(n, kNoRise);
        for (std::size_t i = 0; i < n; ++i) {
            if (lowNear[i] != kNoValue) {
                roughMm_[i] =
                    diameterOf(static_cast<std::uint8_t>(std::min(lowNear[i], lowFar[i])));
            }
        }
        resting_ = measured;
        const auto flank = static_cast<std::size_t>(flankWidth(period));
        // Rises of three quarters of the threshold are no rest either: an episode barely above the
        // threshold dips below it here and there, and its dips must not lift the resting level
        // under it.
        AnalysisParameters rough = parameters;
        rough.threshold_mm = parameters.threshold_mm * kRoughThresholdFraction;
        for (const Run& run :
             episodeRuns(risesAbove(smoothedMm, roughMm_), rough, period, barrier)) {
            const std::size_t first = run.first > flank ? run.first - flank : 0;
            const std::size_t last = std::min(n, run.last + flank);
            std::fill(resting_.begin() + static_cast<std::ptrdiff_t>(first),
                      resting_.begin() + static_cast<std::ptrdiff_t>(last), kNoValue);
        }
        return resting_;
    }
};

// The analysis with what the review needs to measure episodes of the doctor's: the smoothed
// diameter, and each part of the night with its resting levels.
struct Analysed {
    NightAnalysis result;
    std::vector<double> smoothedMm;
    std::vector<std::size_t> bounds;  // the parts' first positions, and the night's end
    std::vector<PartBaseline> parts;
};

Analysed analyse(const NightRecording& recording, const AnalysisParameters& parameters) {
    if (const auto error = parametersError(parameters)) {
        throw std::invalid_argument(*error);
    }
    Analysed analysed;
    NightAnalysis& result = analysed.result;
    result.parameters = parameters;
    result.startSeconds = recording.startSeconds;
    QualityAssessment assessment = assessQuality(recording);
    result.quality = std::move(assessment.quality);
    const int period = recording.periodSeconds;
    const std::size_t n = assessment.excluded.size();
    const int validS = static_cast<int>(n) * period;
    const auto usability = result.quality.usability;
    if (usability != Usability::Usable && usability != Usability::PartlyUsable) {
        result.summary = summarise({}, validS, 0);
        return analysed;
    }

    std::vector<int> measured(n);
    for (std::size_t i = 0; i < n; ++i) {
        measured[i] = assessment.excluded[i] ? kNoValue : recording.samples[i];
    }
    // Nothing is known of the diameter where a sample is left out, however near the others are.
    std::vector<int> smoothed = slidingQuantile(measured, smoothingHalfWidth(period), 0.5);
    std::vector<double> smoothedMm(n, kNoRise);
    for (std::size_t i = 0; i < n; ++i) {
        if (assessment.excluded[i]) {
            smoothed[i] = kNoValue;
        } else if (smoothed[i] != kNoValue) {
            smoothedMm[i] = diameterOf(static_cast<std::uint8_t>(smoothed[i]));
        }
    }

    // Episodes are not joined across a stretch left out: nothing is known of the diameter there.
    std::vector<int> barrier(n + 1, 0);
    for (const Stretch& stretch : result.quality.stretches) {
        if (stretch.named()) {
            for (int i = stretch.start_s / period; i < stretch.end_s / period; ++i) {
                barrier[static_cast<std::size_t>(i) + 1] = 1;
            }
        }
    }
    std::partial_sum(barrier.begin(), barrier.end(), barrier.begin());

    const RangeMean smoothedMean(smoothedMm);
    std::vector<double> baselineMm(n, kNoRise);
    std::vector<double> rise(n, kNoRise);
    // Each position of the sensor on the body is a night of its own for the baseline.
    std::vector<std::size_t> bounds = {0};
    for (const int moved : result.quality.moved_s) {
        bounds.push_back(static_cast<std::size_t>(moved / period));
    }
    bounds.push_back(n);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        const std::size_t first = bounds[k];
        const std::size_t last = bounds[k + 1];
        const auto part = [&](const auto& v, std::size_t extra = 0) {
            using T = typename std::decay_t<decltype(v)>::value_type;
            return std::vector<T>(v.begin() + static_cast<std::ptrdiff_t>(first),
                                  v.begin() + static_cast<std::ptrdiff_t>(last + extra));
        };
        // The barrier counts left-out samples before each position, the part's end included.
        analysed.parts.emplace_back(part(measured), part(smoothed), part(smoothedMm),
                                    part(barrier, 1), parameters, period);
        const PartBaseline& b = analysed.parts.back();
        std::copy(b.baselineMm.begin(), b.baselineMm.end(),
                  baselineMm.begin() + static_cast<std::ptrdiff_t>(first));
        for (std::size_t i = first; i < last; ++i) {
            rise[i] = smoothedMm[i] - baselineMm[i];  // NaN when either is
        }
        for (const Run& local : b.runs) {
            const Run run{local.first + first, local.last + first};
            const std::vector<double> under = baselineUnder(local, b.nearest, b.baselineMm, period);
            std::copy(under.begin(), under.end(),
                      baselineMm.begin() + static_cast<std::ptrdiff_t>(run.first));
            result.episodes.push_back(
                measureEpisode(run, smoothedMm, smoothedMean, under, parameters, recording));
        }
    }
    result.baseline = baselineMm;
    for (std::size_t i = 0; i < n; ++i) {
        if (assessment.excluded[i]) {
            result.baseline[i] = kNoRise;
        }
    }
    result.summary = summarise(result.episodes, validS, result.quality.usable_s);
    result.summary.largest_rise_mm = largestHeldRise(rise, period);
    analysed.smoothedMm = std::move(smoothedMm);
    analysed.bounds = std::move(bounds);
    return analysed;
}

// An episode over [first, last) as the doctor set it, measured like a found one: against the
// line between the resting levels on either side, within the part of the night it starts in.
// Nothing when none of its samples can be measured.
std::optional<NightEpisode> measureDoctorsEpisode(const Analysed& a, std::size_t first,
                                                  std::size_t last,
                                                  const AnalysisParameters& parameters,
                                                  const NightRecording& recording) {
    const std::size_t n = a.smoothedMm.size();
    last = std::min(last, n);
    if (first >= last || a.parts.empty()) {
        return std::nullopt;
    }
    std::size_t k = 0;
    while (k + 1 < a.parts.size() && a.bounds[k + 1] <= first) {
        ++k;
    }
    const std::size_t partFirst = a.bounds[k];
    last = std::min(last, a.bounds[k + 1]);
    const Run local{first - partFirst, last - partFirst};
    const PartBaseline& part = a.parts[k];
    const std::vector<double> under =
        baselineUnder(local, part.nearest, part.baselineMm, recording.periodSeconds);
    bool measurable = false;
    for (std::size_t i = first; i < last; ++i) {
        measurable = measurable || (!std::isnan(a.smoothedMm[i]) && !std::isnan(under[i - first]));
    }
    if (!measurable) {
        return std::nullopt;
    }
    const RangeMean smoothedMean(a.smoothedMm);
    NightEpisode e =
        measureEpisode({first, last}, a.smoothedMm, smoothedMean, under, parameters, recording);
    return e;
}

}  // namespace

NightAnalysis analyseNight(const NightRecording& recording, const AnalysisParameters& parameters) {
    return analyse(recording, parameters).result;
}

std::optional<AnalysisWindow> reviewWindow(std::span<const ReviewStep> steps) {
    std::optional<AnalysisWindow> window;
    for (const ReviewStep& step : steps) {
        if (step.kind == ReviewKind::Window) {
            window = step.end_s > step.start_s
                         ? std::optional<AnalysisWindow>({step.start_s, step.end_s})
                         : std::nullopt;
        }
    }
    return window;
}

NightAnalysis reviewNight(const NightRecording& recording, const AnalysisParameters& parameters,
                          std::span<const ReviewStep> steps) {
    NightRecording windowed = recording;
    windowed.window = reviewWindow(steps);
    Analysed a = analyse(windowed, parameters);
    NightAnalysis& result = a.result;
    const int period = recording.periodSeconds;
    if (!analysable(result.quality.usability) || period <= 0) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (steps[i].kind != ReviewKind::Window) {
                result.unapplied.push_back(i);
            }
        }
        return result;
    }
    struct Entry {
        NightEpisode episode;
        bool rejected = false;
    };
    std::vector<Entry> entries;
    for (NightEpisode& e : result.episodes) {
        entries.push_back({std::move(e), false});
    }
    const auto find = [&entries](const ReviewStep& step) {
        return std::find_if(entries.begin(), entries.end(), [&step](const Entry& entry) {
            return entry.episode.found_start_s == step.episodeStart_s &&
                   entry.episode.found_end_s == step.episodeEnd_s;
        });
    };
    // The doctor's stretch on sample positions: from the sample it starts in to the one it ends
    // in, inside the window.
    const auto positions = [&](int start, int end) {
        const auto first = static_cast<std::size_t>(std::max(start, 0) / period);
        const auto last = static_cast<std::size_t>(std::max(end + period - 1, 0) / period);
        return std::pair{first, last};
    };
    const auto measured = [&](int start, int end) {
        const auto [first, last] = positions(start, end);
        return measureDoctorsEpisode(a, first, last, parameters, recording);
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ReviewStep& step = steps[i];
        bool applied = true;
        switch (step.kind) {
            case ReviewKind::Window:
                break;
            case ReviewKind::Accept:
            case ReviewKind::Reject: {
                const auto it = find(step);
                applied = it != entries.end();
                if (applied) {
                    it->rejected = step.kind == ReviewKind::Reject;
                }
                break;
            }
            case ReviewKind::Move: {
                const auto it = find(step);
                auto e = it != entries.end() && step.end_s > step.start_s
                             ? measured(step.start_s, step.end_s)
                             : std::nullopt;
                applied = e.has_value();
                if (applied) {
                    e->origin = it->episode.origin == EpisodeOrigin::Added ? EpisodeOrigin::Added
                                                                           : EpisodeOrigin::Moved;
                    e->found_start_s = it->episode.found_start_s;
                    e->found_end_s = it->episode.found_end_s;
                    it->episode = *e;
                }
                break;
            }
            case ReviewKind::Add: {
                auto e =
                    step.end_s > step.start_s ? measured(step.start_s, step.end_s) : std::nullopt;
                applied = e.has_value();
                if (applied) {
                    e->origin = EpisodeOrigin::Added;
                    e->found_start_s = step.start_s;
                    e->found_end_s = step.end_s;
                    entries.push_back({*e, false});
                }
                break;
            }
            case ReviewKind::Remove: {
                const auto it = find(step);
                applied = it != entries.end() && it->episode.origin == EpisodeOrigin::Added;
                if (applied) {
                    entries.erase(it);
                }
                break;
            }
        }
        if (!applied) {
            result.unapplied.push_back(i);
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
        return x.episode.start_s < y.episode.start_s;
    });
    result.episodes.clear();
    for (Entry& entry : entries) {
        (entry.rejected ? result.rejected : result.episodes).push_back(std::move(entry.episode));
    }
    const int largest = static_cast<int>(std::lround(result.summary.largest_rise_mm * 10));
    result.summary = summarise(result.episodes, result.summary.valid_s, result.quality.usable_s);
    result.summary.largest_rise_mm = largest / 10.0;
    return result;
}

}  // namespace npt
