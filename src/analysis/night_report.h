// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the one-page report of a night shows, as plain data: the passport as the window
// shows it, the recorded diameter, the episodes on the time axis and the analysis. The window
// and the command-line tool fill it the same way, so both print the same page.
#include <string>
#include <vector>

#include "analysis/night_analysis.h"
#include "analysis/night_recording.h"

namespace npt {

// A stretch of the night on the chart's time axis: days, the fraction being the time of day,
// counted from the midnight before the study (so a night from 22:00 runs from 0,917 to 1,417).
struct TimeSpan {
    double from = 0;
    double to = 0;
    bool operator==(const TimeSpan&) const = default;
};

// A line on the chart: times on the same axis (days) and millimetres, one value per time; the
// line is broken where a value is NaN (so two lines with gaps never compare equal: no ==).
struct ChartLine {
    std::vector<double> times;
    std::vector<double> mm;
    bool empty() const { return times.empty(); }
};

struct NightReport {
    // The doctor's review changes of the night, one line each (empty: none).
    std::vector<std::string> reviewChanges;
    // The passport, texts as the window shows them.
    std::string patientName;  // empty when hidden or when the recording has no passport
    bool nameHidden = false;  // withheld for want of the password
    std::string age;
    std::string studyDate;   // dd.MM.yy
    std::string studyStart;  // HH:mm
    std::string studyEnd;
    std::string programmed;  // when the recorder was programmed, HH:mm
    std::string period;      // sample period in seconds
    std::string doctor;
    std::string created;  // when the report was made, "dd.MM.yy HH:mm"

    // The recorded diameter up to the last written sample: times on the chart's axis (days) and
    // millimetres; NaN where the recorder skipped a sample or the sensor read beyond its range
    // (the true diameter is not known there).
    std::vector<double> times;
    std::vector<double> diameters;
    std::vector<TimeSpan> episodes;  // one per episode of the analysis, in order
    std::vector<TimeSpan> unusable;  // stretches the analysis left out, in order
    ChartLine baseline;              // what each rise was measured against (baselineLine)

    NightAnalysis analysis;
};

// The episodes as spans of the chart's time axis, for a night whose first sample was taken at
// startSeconds after midnight.
std::vector<TimeSpan> episodeSpans(const NightAnalysis& analysis, int startSeconds);

// The stretches the analysis could not use and names in its verdict (a minute or longer), on the
// same axis. Shorter ones (a skipped sample) would only be hairlines on a chart.
std::vector<TimeSpan> unusableSpans(const NightAnalysis& analysis, int startSeconds);

// The analysis' baseline of the night on the chart's axes, one point per written sample: the
// level each increase was measured against. Empty when the night could not be analysed, where
// a line would pass for a finding.
ChartLine baselineLine(const NightAnalysis& analysis, const NightRecording& recording);

// True when something was recorded, but less than a whole night (kWholeNightS): such a
// recording is not titled as a night.
bool shortRecording(const NightAnalysis& analysis);

// The title of the analysis wherever it is shown: "Анализ ночи", or "Анализ записи" for a short
// recording.
const char* analysisTitle(const NightAnalysis& analysis);

// The recorded diameter of the night up to its last written sample, on the chart's time axis.
void setRecordedCurve(NightReport& report, const NightRecording& recording);

}  // namespace npt
