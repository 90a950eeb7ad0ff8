// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The doctor's review of the night's analysis: episodes accepted or rejected as artefacts,
// their bounds moved, episodes added by hand over a stretch of the chart, and the analysis
// window from lights-out to the sensor's removal. The reviewed night is analysed like any
// other (the window leaves the rest of the night out, as a stretch of its own), then the steps
// are applied in order and the summary counts what the review left.
//
// An episode is found by its bounds as the analysis found it (found_start_s, found_end_s):
// moved bounds or a renumbered table do not lose it. A step whose episode is not there (the
// parameters or the window changed since) changes nothing and is listed in
// NightAnalysis::unapplied. A moved or added episode is measured as a found one is, against
// the resting diameter on either side of it; one over samples all left out is not measured
// and its step is unapplied too.
#include <optional>
#include <span>
#include <vector>

#include "analysis/night_analysis.h"

namespace npt {

enum class ReviewKind {
    Accept,  // a rejected episode counts again
    Reject,  // an artefact, not an erection: out of the table and the summary
    Move,    // the episode's start and end set by the doctor
    Add,     // an episode the analysis did not find, over start..end
    Remove,  // an episode added by hand taken away again
    Window,  // the analysis window; start == end: the whole recording again
};

struct ReviewStep {
    ReviewKind kind = ReviewKind::Accept;
    // The episode concerned (Accept, Reject, Move, Remove): its found bounds, seconds from the
    // first sample.
    int episodeStart_s = 0;
    int episodeEnd_s = 0;
    // The stretch the step sets (Move, Add, Window), seconds from the first sample.
    int start_s = 0;
    int end_s = 0;
    bool operator==(const ReviewStep&) const = default;
};

// The analysis window the steps leave in force (the last Window step), or none.
std::optional<AnalysisWindow> reviewWindow(std::span<const ReviewStep> steps);

// The night analysed and reviewed. Throws as analyseNight does.
NightAnalysis reviewNight(const NightRecording& recording, const AnalysisParameters& parameters,
                          std::span<const ReviewStep> steps);

}  // namespace npt
