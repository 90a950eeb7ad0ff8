// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archived_night.h"

#include <cstdio>

#include "analysis/night_recording.h"
#include "recorder/passport.h"

namespace npt::archive {

AnalysisParameters parametersFromText(const std::string& text) {
    double threshold = 0;
    double full = 0;
    int duration = 0;
    int gap = 0;
    if (std::sscanf(text.c_str(),
                    "{\"threshold_mm\":%lf,\"min_duration_s\":%d,\"merge_gap_s\":%d,"
                    "\"full_threshold_mm\":%lf}",
                    &threshold, &duration, &gap, &full) == 4) {
        const AnalysisParameters stored{threshold, duration, gap, full};
        if (!parametersError(stored)) {
            return stored;
        }
    }
    return {};
}

std::string parametersText(const AnalysisParameters& p) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "{\"threshold_mm\":%.1f,\"min_duration_s\":%d,\"merge_gap_s\":%d,"
                  "\"full_threshold_mm\":%.1f}",
                  p.threshold_mm, p.min_duration_s, p.merge_gap_s, p.full_threshold_mm);
    return buffer;
}

namespace {
struct KindName {
    ReviewKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {ReviewKind::Accept, "accept"}, {ReviewKind::Reject, "reject"}, {ReviewKind::Move, "move"},
    {ReviewKind::Add, "add"},       {ReviewKind::Remove, "remove"}, {ReviewKind::Window, "window"},
};
}  // namespace

std::vector<ReviewStep> reviewSteps(const std::vector<ReviewChange>& changes) {
    std::vector<ReviewStep> steps;
    for (const ReviewChange& c : changes) {
        for (const KindName& k : kKindNames) {
            if (c.kind == k.name) {
                steps.push_back({k.kind, c.episodeStart.value_or(0), c.episodeEnd.value_or(0),
                                 c.startSeconds.value_or(0), c.endSeconds.value_or(0)});
            }
        }
    }
    return steps;
}

ReviewChange reviewChangeOf(const ReviewStep& step, std::optional<int> episodeNumber,
                            const std::string& doctor) {
    ReviewChange c;
    for (const KindName& k : kKindNames) {
        if (k.kind == step.kind) {
            c.kind = k.name;
        }
    }
    const bool onEpisode = step.kind != ReviewKind::Add && step.kind != ReviewKind::Window;
    const bool setsStretch = step.kind == ReviewKind::Move || step.kind == ReviewKind::Add ||
                             step.kind == ReviewKind::Window;
    if (onEpisode) {
        c.episode = episodeNumber;
        c.episodeStart = step.episodeStart_s;
        c.episodeEnd = step.episodeEnd_s;
    }
    if (setsStretch) {
        c.startSeconds = step.start_s;
        c.endSeconds = step.end_s;
    }
    c.doctor = doctor;
    return c;
}

ArchivedNight archivedNight(Archive& archive, Id night) {
    ArchivedNight n;
    const auto row = archive.night(night);
    if (!row) {
        throw ArchiveError(ArchiveError::Kind::Refused,
                           "В архиве нет ночи № " + std::to_string(night) + ".");
    }
    n.row = *row;
    n.image = MemoryImage::fromBytes(archive.nightBytes(night));
    n.review = archive.review(night);
    // The name is not needed to analyse the night: decoded as hidden.
    const PassportFields fields = decodePassport(n.image, true);
    n.periodSeconds = fields.samplePeriod;
    n.startSeconds = fields.timeStart * 60;
    const NightRecording recording = nightRecordingOf(n.image, n.periodSeconds, n.startSeconds);
    n.samples.assign(recording.samples.begin(), recording.samples.end());
    n.analysis = reviewNight({n.samples, n.periodSeconds, n.startSeconds, recording.notARecording},
                             parametersFromText(n.row.parameters), reviewSteps(n.review));
    return n;
}

}  // namespace npt::archive
