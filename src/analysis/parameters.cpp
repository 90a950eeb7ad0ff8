// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/parameters.h"

#include <cmath>

#include "analysis/analysis_text.h"

namespace npt {

namespace {
bool within(double value, double low, double high) {
    // Written so that a NaN is outside every range.
    return value >= low - 1e-9 && value <= high + 1e-9;
}

std::string mmRange(double low, double high) {
    return "от " + decimalText(low, 1) + " до " + decimalText(high, 1) + " мм";
}
}  // namespace

std::optional<std::string> parametersError(const AnalysisParameters& p) {
    using namespace AnalysisLimits;
    if (!within(p.threshold_mm, kThresholdMinMm, kThresholdMaxMm)) {
        return "Порог эпизода должен быть " + mmRange(kThresholdMinMm, kThresholdMaxMm) + ".";
    }
    if (p.min_duration_s < kMinDurationMinS || p.min_duration_s > kMinDurationMaxS) {
        return "Минимальная длительность эпизода должна быть от " +
               exactDurationText(kMinDurationMinS) + " до " + exactDurationText(kMinDurationMaxS) +
               ".";
    }
    if (p.merge_gap_s < kMergeGapMinS || p.merge_gap_s > kMergeGapMaxS) {
        return "Промежуток объединения эпизодов должен быть от " +
               exactDurationText(kMergeGapMinS) + " до " + exactDurationText(kMergeGapMaxS) + ".";
    }
    if (!within(p.full_threshold_mm, p.threshold_mm, kFullThresholdMaxMm)) {
        return "Прирост для учёта времени должен быть " +
               mmRange(p.threshold_mm, kFullThresholdMaxMm) + " (не ниже порога эпизода).";
    }
    return std::nullopt;
}

}  // namespace npt
