#include "analysis/night_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "analysis/byte_window.h"
#include "measure/samples.h"
#include "measure/time_of_day.h"

namespace npt {

namespace {

constexpr double kTolerance = 1e-9;  // diameters are tenths of a millimetre held in doubles
constexpr double kNoRise = std::numeric_limits<double>::quiet_NaN();
constexpr double kLowBaselineFraction = 0.2;
constexpr double kMmPerStep = 0.2;  // one step of the sample byte

// Window widths in samples, for a period of at least 1 s.
int samplesIn(double seconds, int period) {
    return static_cast<int>(std::lround(seconds / period));
}
// Each side of the centre: half a minute for the smoothing, an hour for the baseline.
int smoothingHalfWidth(int period) {
    return samplesIn(30, period);
}
int baselineHalfWidth(int period) {
    return (3600 + period - 1) / period;
}
// Each side of the centre of the level a peak must hold: three minutes in all.
int peakHalfWidth(int period) {
    return samplesIn(90, period);
}
// The flanks of an episode (its rise and fall below the threshold), left out of the resting
// diameter, and the stretch beside each flank where that diameter is taken.
int flankWidth(int period) {
    return samplesIn(300, period);
}
int sideWidth(int period) {
    return samplesIn(1200, period);
}
// The fewest resting samples a level is taken from: five minutes beside an episode, ten within
// the baseline's window.
int minimumSideCount(int period) {
    return samplesIn(300, period);
}
int minimumRestingCount(int period) {
    return samplesIn(600, period);
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
// merge gap bridged, runs shorter than the minimum duration dropped.
std::vector<Run> episodeRuns(const std::vector<double>& rise, const AnalysisParameters& p,
                             int period) {
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
            static_cast<long long>(i - runs.back().last) * period < p.merge_gap_s) {
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

// The resting diameter beside an episode: the median of the resting samples in [first, last),
// NaN when fewer than minCount of them are there.
double sideLevel(const std::vector<int>& resting, std::ptrdiff_t first, std::ptrdiff_t last,
                 int minCount) {
    const auto n = static_cast<std::ptrdiff_t>(resting.size());
    ByteWindow window;
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(first, 0); i < std::min(last, n); ++i) {
        if (resting[i] != kNoValue) {
            window.add(static_cast<std::uint8_t>(resting[i]));
        }
    }
    if (window.size() < std::max(minCount, 1)) {
        return kNoRise;
    }
    return kMmPerStep * window.interpolatedQuantile(0.5) + diameterOf(0);
}

// The flaccid diameter under an episode, one value per sample of the run: a straight line from
// the resting level just before its flank to the one just after, as a doctor would draw it under
// the bump. With rest on one side only, that level; with none, the night's sliding baseline.
std::vector<double> baselineUnder(const Run& run, const std::vector<int>& resting,
                                  const std::vector<double>& slidingMm, int period) {
    const auto first = static_cast<std::ptrdiff_t>(run.first);
    const auto last = static_cast<std::ptrdiff_t>(run.last);
    const std::ptrdiff_t flank = flankWidth(period);
    const std::ptrdiff_t side = sideWidth(period);
    const int minCount = minimumSideCount(period);
    const double before = sideLevel(resting, first - flank - side, first - flank, minCount);
    const double after = sideLevel(resting, last + flank, last + flank + side, minCount);
    // Each level stands at the middle of its side window.
    const double beforeAt = static_cast<double>(first - flank) - side / 2.0;
    const double afterAt = static_cast<double>(last + flank) + side / 2.0;
    std::vector<double> under(run.last - run.first);
    for (std::size_t k = 0; k < under.size(); ++k) {
        const double i = static_cast<double>(run.first + k);
        if (!std::isnan(before) && !std::isnan(after)) {
            under[k] = before + (after - before) * (i - beforeAt) / (afterAt - beforeAt);
        } else if (!std::isnan(before) || !std::isnan(after)) {
            under[k] = std::isnan(before) ? after : before;
        } else {
            under[k] = slidingMm[run.first + k];
        }
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

}  // namespace

NightAnalysis analyseNight(const NightRecording& recording, const AnalysisParameters& parameters) {
    if (const auto error = parametersError(parameters)) {
        throw std::invalid_argument(*error);
    }
    NightAnalysis result;
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
        return result;
    }

    std::vector<int> measured(n);
    for (std::size_t i = 0; i < n; ++i) {
        measured[i] = assessment.excluded[i] ? kNoValue : recording.samples[i];
    }
    const std::vector<int> smoothed = slidingQuantile(measured, smoothingHalfWidth(period), 0.5);
    std::vector<double> smoothedMm(n, kNoRise);
    for (std::size_t i = 0; i < n; ++i) {
        if (smoothed[i] != kNoValue) {
            smoothedMm[i] = diameterOf(static_cast<std::uint8_t>(smoothed[i]));
        }
    }

    // First pass: a low percentile stands below the episodes whatever they are.
    const std::vector<int> lowBaseline =
        slidingQuantile(smoothed, baselineHalfWidth(period), kLowBaselineFraction);
    std::vector<double> baselineMm(n, kNoRise);
    for (std::size_t i = 0; i < n; ++i) {
        if (lowBaseline[i] != kNoValue) {
            baselineMm[i] = diameterOf(static_cast<std::uint8_t>(lowBaseline[i]));
        }
    }
    const std::vector<Run> roughRuns =
        episodeRuns(risesAbove(smoothedMm, baselineMm), parameters, period);

    // Second pass: the flaccid diameter is the median of what was measured outside those
    // episodes and their flanks, where the window holds enough of it.
    std::vector<int> resting = measured;
    const auto flank = static_cast<std::size_t>(flankWidth(period));
    for (const Run& run : roughRuns) {
        const std::size_t first = run.first > flank ? run.first - flank : 0;
        const std::size_t last = std::min(n, run.last + flank);
        std::fill(resting.begin() + static_cast<std::ptrdiff_t>(first),
                  resting.begin() + static_cast<std::ptrdiff_t>(last), kNoValue);
    }
    const std::vector<double> restingMedian = slidingInterpolatedQuantile(
        resting, baselineHalfWidth(period), 0.5, minimumRestingCount(period));
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isnan(restingMedian[i])) {
            baselineMm[i] = kMmPerStep * restingMedian[i] + diameterOf(0);
        }
    }
    const std::vector<double> rise = risesAbove(smoothedMm, baselineMm);
    const RangeMean smoothedMean(smoothedMm);
    result.baseline = baselineMm;
    for (std::size_t i = 0; i < n; ++i) {
        if (assessment.excluded[i]) {
            result.baseline[i] = kNoRise;
        }
    }
    for (const Run& run : episodeRuns(rise, parameters, period)) {
        const std::vector<double> under = baselineUnder(run, resting, baselineMm, period);
        std::copy(under.begin(), under.end(),
                  result.baseline.begin() + static_cast<std::ptrdiff_t>(run.first));
        result.episodes.push_back(
            measureEpisode(run, smoothedMm, smoothedMean, under, parameters, recording));
    }
    result.summary = summarise(result.episodes, validS, result.quality.usable_s);
    result.summary.largest_rise_mm = largestHeldRise(rise, period);
    return result;
}

}  // namespace npt
