// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A night as the archive holds it, made ready to show: its row, its image, the doctor's review
// and its analysis with the parameters it was filed with and the review applied. The study
// view, the study report and npt archive show all read nights through this.
#include <vector>

#include "analysis/night_analysis.h"
#include "analysis/night_review.h"
#include "archive/archive.h"
#include "recorder/memory_image.h"

namespace npt::archive {

struct ArchivedNight {
    NightRow row;
    MemoryImage image;
    std::vector<std::uint8_t> samples;  // the image's samples, which the analysis refers to
    int startSeconds = 0;               // time of day of the first sample
    std::uint8_t periodSeconds = 0;
    std::vector<ReviewChange> review;
    NightAnalysis analysis;
};

// Throws ArchiveError when the archive has no such night.
ArchivedNight archivedNight(Archive& archive, Id night);

// The review's steps as the analysis applies them, from the changes the archive keeps (a kind
// this version does not know is passed over), and a change to keep for a step.
std::vector<ReviewStep> reviewSteps(const std::vector<ReviewChange>& changes);
ReviewChange reviewChangeOf(const ReviewStep& step, std::optional<int> episodeNumber,
                            const std::string& doctor);

// The analysis parameters as nights store them (NightRow::parameters); the defaults for a text
// that does not hold four usable ones.
AnalysisParameters parametersFromText(const std::string& text);
std::string parametersText(const AnalysisParameters& parameters);

}  // namespace npt::archive
