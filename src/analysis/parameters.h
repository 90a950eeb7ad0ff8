// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The four numbers the doctor may adjust for the night's analysis, their defaults and the ranges
// in which they make sense for a diameter recorder.
//
// Member names are those of the report's "parameters" object, so that every place that shows
// or stores them maps them one to one.
#include <optional>
#include <string>

namespace npt {

struct AnalysisParameters {
    // Rise of the diameter above the baseline that makes an episode; 3,0 mm of diameter is
    // about 10 mm of circumference.
    double threshold_mm = 3.0;
    // A rise that lasts less than this is not an episode.
    int min_duration_s = 5 * 60;
    // A dip below the threshold shorter than this does not split an episode.
    int merge_gap_s = 2 * 60;
    // The rise from which an episode's time is counted as "time with this rise" (full_s). 5,0 mm
    // of diameter is about 16 mm of circumference: a marked rise, not proof of a full erection.
    double full_threshold_mm = 5.0;

    bool operator==(const AnalysisParameters&) const = default;
};

// The accepted ranges, both ends included.
namespace AnalysisLimits {
inline constexpr double kThresholdMinMm = 1.0;
inline constexpr double kThresholdMaxMm = 15.0;
inline constexpr int kMinDurationMinS = 60;
inline constexpr int kMinDurationMaxS = 60 * 60;
inline constexpr int kMergeGapMinS = 0;
inline constexpr int kMergeGapMaxS = 30 * 60;
inline constexpr double kFullThresholdMaxMm = 20.0;  // and not below the episode threshold
}  // namespace AnalysisLimits

// Nothing when the parameters can be used; otherwise a Russian message naming the first one
// that cannot and the range it must lie in.
std::optional<std::string> parametersError(const AnalysisParameters& parameters);

}  // namespace npt
