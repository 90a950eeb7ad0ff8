// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one-page report of a study: a patient's nights one under another on the same time of
// night, each with its figures, the best night marked, the doctor's review changes and the
// conclusion. Written as a PDF like the night's report (report_pdf.h).
#include <optional>
#include <string>
#include <vector>

#include "analysis/night_report.h"
#include "archive/archive.h"
#include "archive/archived_night.h"
#include "chart/axis_scale.h"

class QPainter;

namespace npt {

struct StudyReport {
    std::string patientName;
    std::optional<int> age;
    std::optional<std::string> patientNumber;
    std::string doctor;                          // who signs; empty: a line to sign by hand
    std::string conclusion;                      // empty: room to write it by hand
    std::vector<archive::ArchivedNight> nights;  // in the order of the nights
    std::optional<std::size_t> best;             // the night with the longest total tumescence
    std::string created;                         // when the report was made, "dd.MM.yy HH:mm"
};

// A night's layers on the study's time axis, which runs from noon to noon: a night begun after
// midnight lies beside the evening ones instead of a day before them. The study window and the
// report draw the nights from these.
struct StudyNightChart {
    std::vector<double> times;
    std::vector<double> mm;
    std::vector<TimeSpan> episodes;
    std::vector<TimeSpan> leftOut;
    ChartLine baseline;
};
StudyNightChart studyNightChart(const archive::ArchivedNight& night);

// The one time axis and the one diameter axis of every night, so that the nights compare at a
// glance: from the earliest start to the latest end, from the lowest diameter to the highest.
struct StudyAxes {
    axis_scale::Scale time;
    axis_scale::Scale mm;
};
StudyAxes studyAxes(const std::vector<StudyNightChart>& charts);

// The study's report as the archive holds it, made now; throws ArchiveError when there is no
// such study. The best night is the one with the longest time in episodes (the first of equal
// ones), none when no night has an episode: the doctor judges the study by its best night.
StudyReport studyReportOf(archive::Archive& archive, archive::Id study);

// Paints the page on painter, whose device shows pixelsPerMm device pixels per millimetre with
// the page's top-left corner at its origin, as paintNightReport does.
void paintStudyReport(QPainter& painter, double pixelsPerMm, const StudyReport& report);

// Writes the report at path as a one-page PDF; throws FileError as writeReportPdf does.
void writeStudyReportPdf(const std::string& path, const StudyReport& report);

}  // namespace npt
