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
constexpr double kBaselineFraction = 0.2;

// Window widths in samples each side of the centre, for a period of at least 1 s: about half a
// minute for the smoothing, an hour for the baseline.
int smoothingHalfWidth(int period) {
    return static_cast<int>(std::lround(30.0 / period));
}
int baselineHalfWidth(int period) {
    return (3600 + period - 1) / period;
}

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

NightEpisode measureEpisode(const Run& run, const std::vector<int>& smoothed,
                            const std::vector<int>& baseline, const std::vector<double>& rise,
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
    int peak = kNoValue;
    double area = 0;
    for (std::size_t i = run.first; i < run.last; ++i) {
        if (baseline[i] != kNoValue) {
            baselineSum += diameterOf(static_cast<std::uint8_t>(baseline[i]));
            ++baselineCount;
        }
        peak = std::max(peak, smoothed[i]);
        if (rise[i] >= p.full_threshold_mm - kTolerance) {
            e.full_s += period;
        }
        if (rise[i] > 0) {
            area += rise[i] * period / 60.0;
        }
    }
    // Every episode holds samples above the threshold, so both a baseline and a peak exist.
    e.baseline_mm = roundedToTenth(baselineSum / baselineCount);
    e.peak_mm = roundedToTenth(diameterOf(static_cast<std::uint8_t>(peak)));
    e.increase_mm = roundedToTenth(e.peak_mm - e.baseline_mm);
    e.increase_percent = roundedToTenth(e.increase_mm / e.baseline_mm * 100.0);
    e.area_mm_min = roundedToTenth(area);
    return e;
}

NightSummary summarise(const std::vector<NightEpisode>& episodes, int validS, int usableS) {
    NightSummary s;
    s.valid_s = validS;
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
    const std::vector<int> baseline =
        slidingQuantile(smoothed, baselineHalfWidth(period), kBaselineFraction);
    std::vector<double> rise(n, kNoRise);
    for (std::size_t i = 0; i < n; ++i) {
        if (smoothed[i] != kNoValue && baseline[i] != kNoValue) {
            rise[i] = diameterOf(static_cast<std::uint8_t>(smoothed[i])) -
                      diameterOf(static_cast<std::uint8_t>(baseline[i]));
        }
    }
    for (const Run& run : episodeRuns(rise, parameters, period)) {
        result.episodes.push_back(
            measureEpisode(run, smoothed, baseline, rise, parameters, recording));
    }
    result.summary = summarise(result.episodes, validS, result.quality.usable_s);
    return result;
}

}  // namespace npt
