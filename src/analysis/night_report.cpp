// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/night_report.h"

#include <limits>

#include "analysis/analysis_text.h"

#include "measure/samples.h"
#include "measure/time_of_day.h"

namespace npt {

namespace {
double days(long long seconds) {
    return static_cast<double>(seconds) / kSecondsPerDay;
}
}  // namespace

std::vector<TimeSpan> episodeSpans(const NightAnalysis& analysis, int startSeconds) {
    std::vector<TimeSpan> spans;
    spans.reserve(analysis.episodes.size());
    for (const NightEpisode& e : analysis.episodes) {
        spans.push_back({days(startSeconds + e.start_s), days(startSeconds + e.end_s)});
    }
    return spans;
}

std::vector<TimeSpan> unusableSpans(const NightAnalysis& analysis, int startSeconds) {
    std::vector<TimeSpan> spans;
    for (const Stretch& stretch : analysis.quality.stretches) {
        if (stretch.named()) {
            spans.push_back(
                {days(startSeconds + stretch.start_s), days(startSeconds + stretch.end_s)});
        }
    }
    return spans;
}

ChartLine baselineLine(const NightAnalysis& analysis, const NightRecording& recording) {
    ChartLine line;
    if (!analysable(analysis.quality.usability)) {
        return line;
    }
    const std::size_t n = analysis.baseline.size();
    line.times.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        line.times[i] =
            days(recording.startSeconds + static_cast<long long>(i) * recording.periodSeconds);
    }
    line.mm = analysis.baseline;
    return line;
}

bool shortRecording(const NightAnalysis& analysis) {
    return analysis.summary.valid_s > 0 && analysis.summary.valid_s < kWholeNightS;
}

const char* analysisTitle(const NightAnalysis& analysis) {
    return shortRecording(analysis) ? "Анализ записи" : "Анализ ночи";
}

void setRecordedCurve(NightReport& report, const NightRecording& recording) {
    const std::size_t n = writtenLength(recording.samples);
    report.times.resize(n);
    report.diameters.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t sample = recording.samples[i];
        report.times[i] =
            days(recording.startSeconds + static_cast<long long>(i) * recording.periodSeconds);
        report.diameters[i] = sample == kErasedByte || atRangeEnd(sample)
                                  ? std::numeric_limits<double>::quiet_NaN()
                                  : diameterOf(sample);
    }
}

}  // namespace npt
