// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's review of the analysis: what each step does to the table and the summary.
#include "analysis/night_review.h"

#include <gtest/gtest.h>

#include "synthetic_night.h"

namespace npt {
namespace {

using test::HeldNight;
using test::SyntheticNight;

// Three clear episodes, at 90, 240 and 420 minutes.
const HeldNight& night() {
    static const HeldNight held(
        SyntheticNight(10).rise(90, 25, 8).rise(240, 40, 10).rise(420, 15, 6));
    return held;
}

ReviewStep on(ReviewKind kind, const NightEpisode& e, int start = 0, int end = 0) {
    return {kind, e.found_start_s, e.found_end_s, start, end};
}

TEST(NightReviewTest, EachStepChangesTheTableAndTheSummaryFollows) {
    const AnalysisParameters p;
    const NightAnalysis found = analyseNight(night().recording(), p);
    ASSERT_EQ(found.episodes.size(), 3U);
    const NightEpisode& first = found.episodes[0];
    const NightEpisode& second = found.episodes[1];
    const int minute = 60;
    struct Case {
        const char* what;
        std::vector<ReviewStep> steps;
        std::size_t episodes;
        std::size_t rejected;
        std::vector<std::size_t> unapplied;
    };
    const Case cases[] = {
        {"nothing changed", {}, 3, 0, {}},
        {"an artefact rejected", {on(ReviewKind::Reject, second)}, 2, 1, {}},
        {"rejected, then accepted again",
         {on(ReviewKind::Reject, second), on(ReviewKind::Accept, second)},
         3,
         0,
         {}},
        {"an episode added over a quiet stretch",
         {{ReviewKind::Add, 0, 0, 330 * minute, 350 * minute}},
         4,
         0,
         {}},
        {"an added one taken away again",
         {{ReviewKind::Add, 0, 0, 330 * minute, 350 * minute},
          {ReviewKind::Remove, 330 * minute, 350 * minute, 0, 0}},
         3,
         0,
         {}},
        {"a found one cannot be removed, only rejected",
         {on(ReviewKind::Remove, first)},
         3,
         0,
         {0}},
        {"a step for an episode that is not there", {{ReviewKind::Reject, 1, 2, 0, 0}}, 3, 0, {0}},
        {"the window leaves the last episode out",
         {{ReviewKind::Window, 0, 0, 60 * minute, 400 * minute}},
         2,
         0,
         {}},
        {"an episode moved, then rejected by its found bounds",
         {on(ReviewKind::Move, first, 80 * minute, 120 * minute), on(ReviewKind::Reject, first)},
         2,
         1,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const NightAnalysis r = reviewNight(night().recording(), p, c.steps);
        EXPECT_EQ(r.episodes.size(), c.episodes);
        EXPECT_EQ(r.rejected.size(), c.rejected);
        EXPECT_EQ(r.unapplied, c.unapplied);
        // The summary counts what the review left, and only that.
        int total = 0;
        for (const NightEpisode& e : r.episodes) {
            total += e.duration_s;
        }
        EXPECT_EQ(r.summary.episodes, static_cast<int>(c.episodes));
        EXPECT_EQ(r.summary.total_s, total);
        EXPECT_TRUE(
            std::is_sorted(r.episodes.begin(), r.episodes.end(),
                           [](const auto& a, const auto& b) { return a.start_s < b.start_s; }));
    }
}

TEST(NightReviewTest, AMovedEpisodeIsMeasuredOverItsNewBounds) {
    const AnalysisParameters p;
    const NightAnalysis found = analyseNight(night().recording(), p);
    const NightEpisode& second = found.episodes[1];
    // Half of it: the same rise above the same resting diameter, for half the time.
    const int half = second.start_s + (second.end_s - second.start_s) / 20 * 10;
    const ReviewStep steps[] = {on(ReviewKind::Move, second, second.start_s, half)};
    const NightAnalysis r = reviewNight(night().recording(), p, steps);
    ASSERT_EQ(r.episodes.size(), 3U);
    const NightEpisode& moved = r.episodes[1];
    EXPECT_EQ(moved.origin, EpisodeOrigin::Moved);
    EXPECT_EQ(moved.start_s, second.start_s);
    EXPECT_EQ(moved.end_s, half);
    EXPECT_EQ(moved.duration_s, half - second.start_s);
    EXPECT_NEAR(moved.baseline_mm, second.baseline_mm, 0.3);
    EXPECT_NEAR(moved.increase_mm, second.increase_mm, 0.5);
    EXPECT_LT(moved.area_mm_min, second.area_mm_min);
    EXPECT_EQ(moved.found_start_s, second.start_s);
    EXPECT_EQ(moved.found_end_s, second.end_s);
    EXPECT_EQ(r.summary.total_s, found.summary.total_s - (second.end_s - half));
}

TEST(NightReviewTest, TheWindowIsAStretchOfItsOwnInTheQuality) {
    const ReviewStep steps[] = {{ReviewKind::Window, 0, 0, 30 * 60, 8 * 3600}};
    const NightAnalysis r = reviewNight(night().recording(), AnalysisParameters{}, steps);
    ASSERT_EQ(r.quality.stretches.size(), 2U);
    EXPECT_EQ(r.quality.stretches[0], (Stretch{Fault::OutsideWindow, 0, 30 * 60}));
    EXPECT_EQ(r.quality.stretches[1].fault, Fault::OutsideWindow);
    EXPECT_EQ(r.quality.stretches[1].start_s, 8 * 3600);
    EXPECT_EQ(r.quality.usable_s, 8 * 3600 - 30 * 60);
    EXPECT_NE(r.quality.verdict.find("вне окна анализа"), std::string::npos);
    // A window set and then taken off: the whole night again.
    const ReviewStep cleared[] = {steps[0], {ReviewKind::Window, 0, 0, 0, 0}};
    EXPECT_EQ(reviewNight(night().recording(), AnalysisParameters{}, cleared).quality.usable_s,
              analyseNight(night().recording(), AnalysisParameters{}).quality.usable_s);
}

}  // namespace
}  // namespace npt
