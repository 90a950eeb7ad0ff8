// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "analysis/night_analysis.h"
#include "support/ramped_rise.h"
#include "synthetic_night.h"

namespace npt {
namespace {

using test::HeldNight;
using test::SyntheticNight;

constexpr double kToleranceMin = 2;

struct Expected {
    double onsetMin;
    double endMin;
    double increaseMm = std::numeric_limits<double>::quiet_NaN();  // not checked when NaN
};

// The episodes found are those expected: starts and ends within two minutes, the increase within
// 0,3 mm where one is given.
void expectEpisodes(const NightAnalysis& a, const std::vector<Expected>& expected) {
    ASSERT_EQ(a.episodes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(a.episodes[i].start_s / 60.0, expected[i].onsetMin, kToleranceMin);
        EXPECT_NEAR(a.episodes[i].end_s / 60.0, expected[i].endMin, kToleranceMin);
        if (!std::isnan(expected[i].increaseMm)) {
            EXPECT_NEAR(a.episodes[i].increase_mm, expected[i].increaseMm, 0.3);
        }
    }
}

// A ramp of 1 min to a lift of L mm crosses the 3 mm threshold 3/L min after the rise begins.
TEST(EpisodesTest, FoundOnSyntheticNights) {
    struct Case {
        const char* what;
        SyntheticNight night;
        std::vector<Expected> episodes;
    };
    const Case cases[] = {
        {"resting night with noise: nothing", SyntheticNight(10), {}},
        {"three clear episodes",
         SyntheticNight(10).rise(90, 25, 8).rise(240, 40, 10).rise(420, 15, 6),
         {{90, 115}, {240, 280}, {420, 435}}},
        {"a slow drift of 4 mm over the night gives nothing by itself",
         SyntheticNight(10).drift(4).rise(200, 30, 8).rise(500, 20, 8),
         {{200, 230}, {500, 520}}},
        {"a falling drift likewise", SyntheticNight(10).drift(-4).rise(300, 30, 8), {{300, 330}}},
        {"a 2 mm bump of 40 min stays below the threshold",
         SyntheticNight(10).rise(200, 40, 2),
         {}},
        {"a 3 min spike of 8 mm is too short", SyntheticNight(10).rise(200, 3, 8, 0.2), {}},
        {"one wild sample is not a rise", SyntheticNight(10).rise(200, 0.1, 30, 0.05), {}},
        {"a 30 s dip inside an episode is bridged",
         SyntheticNight(10).rise(200, 14.5, 8).rise(215, 15, 8),
         {{200, 230}}},
        {"a 4 min dip splits it in two",
         SyntheticNight(10).rise(200, 14, 8).rise(218, 15, 8),
         {{200, 214}, {218, 233}}},
        {"a 70 min episode does not lift the baseline",
         SyntheticNight(10).rise(300, 70, 9),
         {{300, 370}}},
        {"an episode in the first minutes of the night",
         SyntheticNight(10).rise(8, 25, 8),
         {{8, 33}}},
        {"period 5 s: 6 h of memory",
         SyntheticNight(5).rise(60, 20, 8).rise(250, 30, 8),
         {{60, 80}, {250, 280}}},
        {"period 1 s: 72 min of memory", SyntheticNight(1).rise(20, 12, 8), {{20, 32}}},
        {"the recorder stopped at 5 h: the erased rest gives nothing",
         SyntheticNight(10).rise(120, 30, 8).endsAfter(300),
         {{120, 150}}},
        {"an episode cut off by the end of the recording ends with it",
         SyntheticNight(10).rise(120, 30, 8).rise(280, 40, 8).endsAfter(300),
         {{120, 150}, {280, 300}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HeldNight night(c.night);
        const NightAnalysis a = analyseNight(night.recording(), {});
        expectEpisodes(a, c.episodes);
        EXPECT_EQ(a.summary.episodes, static_cast<int>(c.episodes.size()));
    }
}

// The sensor's own faults, on nights a doctor would recognise: each leaves out what it spoilt,
// names it, and leaves the episodes around it as they were. Times are where the generated rise
// crosses the 3 mm threshold: onset + ramp * 3 / lift.
TEST(EpisodesTest, TheSensorsFaultsAreLeftOut) {
    struct LeftOut {
        Fault fault;
        double fromMin;
        double toMin;
    };
    struct Case {
        const char* what;
        SyntheticNight night;
        std::vector<Expected> episodes;
        std::vector<LeftOut> leftOut;
    };
    constexpr double kNight = 720;  // minutes of memory at 10 s
    const Case cases[] = {
        {"taken off in the morning and left on the table",
         SyntheticNight(10)
             .rise(90, 25, 8, 3)
             .rise(240, 40, 10, 3)
             .rise(440, 40, 9, 4)
             .off(490, kNight, 15, 0.1),
         {{91.1, 113.9, 8}, {240.9, 279.1, 10}, {441.3, 478.7, 9}},
         {{Fault::TakenOffEarly, 490, kNight}}},
        {"slipped off for two hours and put back",
         SyntheticNight(10).rise(100, 30, 8, 3).rise(500, 40, 9, 3).off(250, 370, 13, 0.3),
         {{101.1, 128.9, 8}, {501, 539, 9}},
         {{Fault::Off, 250, 370}}},
        {"put on 45 min after the recorder started",
         SyntheticNight(10).off(0, 45, 14).rise(120, 30, 8, 3),
         {{121.1, 148.9, 8}},
         {{Fault::PutOnLate, 0, 45}}},
        {"a 110-min erection is one episode with its whole increase",
         SyntheticNight(10).rise(200, 110, 9, 8),
         {{202.7, 307.3, 9}},
         {}},
        {"a 3-hour erection likewise",
         SyntheticNight(10).rise(150, 180, 9, 10),
         {{153.3, 326.7, 9}},
         {}},
        {"the sensor shifts by 3,5 mm when the patient turns, and back",
         SyntheticNight(10).shift(200, 240, 3.5).rise(400, 30, 8, 3),
         {{401.1, 428.9, 8}},
         {{Fault::Shifted, 200, 240}}},
        {"the sensor shifts by 3 mm and stays: a new position, measured from its own rest",
         SyntheticNight(10).shift(200, kNight, 3).rise(400, 30, 8, 3),
         {{401.1, 428.9, 8}},
         {}},
        {"a very quiet sensor near a byte boundary is on the body",
         SyntheticNight(10).rest(26.1).noise(0.04).rise(150, 30, 8, 3).rise(400, 40, 9, 3),
         {{151.1, 178.9, 8}, {401, 439, 9}},
         {}},
        {"an erection under way when the sensor is put back, lasting to the end of memory",
         SyntheticNight(10).rise(200, 30, 8, 3).off(560, 650, 15).rise(620, 200, 9, 5),
         {{201.1, 228.9, 8}, {650, kNight, 9}},
         {{Fault::Off, 560, 650}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HeldNight night(c.night);
        const NightAnalysis a = analyseNight(night.recording(), {});
        expectEpisodes(a, c.episodes);
        std::vector<Stretch> named;
        std::copy_if(a.quality.stretches.begin(), a.quality.stretches.end(),
                     std::back_inserter(named), [](const Stretch& s) { return s.named(); });
        ASSERT_EQ(named.size(), c.leftOut.size());
        for (std::size_t i = 0; i < c.leftOut.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(named[i].fault, c.leftOut[i].fault) << faultCode(named[i].fault);
            EXPECT_NEAR(named[i].start_s / 60.0, c.leftOut[i].fromMin, kToleranceMin);
            EXPECT_NEAR(named[i].end_s / 60.0, c.leftOut[i].toMin, kToleranceMin);
        }
        // Reassuring only when nothing was left out; otherwise it says for how long.
        const bool reassuring = a.quality.verdict.starts_with("данные пригодны для анализа");
        EXPECT_EQ(reassuring, c.leftOut.empty()) << a.quality.verdict;
        EXPECT_EQ(a.summary.analysed_s, a.quality.usable_s);
    }
}

TEST(EpisodesTest, SizeOfAnEpisodeOnANoisyNight) {
    const HeldNight night(SyntheticNight(10).rest(26.0).rise(180, 40, 10, 4).drift(1));
    const NightAnalysis a = analyseNight(night.recording(), {});
    ASSERT_EQ(a.episodes.size(), 1u);
    const NightEpisode& e = a.episodes[0];
    // The drift has lifted the resting level to 26,2-26,3 mm by then.
    EXPECT_NEAR(e.baseline_mm, 26.25, 0.15);
    EXPECT_NEAR(e.peak_mm, 36.25, 0.2);
    EXPECT_NEAR(e.increase_mm, 10.0, 0.2);
    EXPECT_NEAR(e.increase_percent, 38.0, 1.0);
    // Above 5 mm from 2 min after the onset until 2 min before the end.
    EXPECT_NEAR(e.full_s, 36 * 60, 90);
    // A trapezoid of 10 mm over 40 min with 4-min ramps: 360 mm·min (the noise adds a little).
    EXPECT_NEAR(e.area_mm_min, 360, 15);
}

// The increase is the rise itself, neither the noise on the plateau added to it nor the low
// side of the noise taken for the resting level: within 0,2 mm at every period and noise level
// a worn sensor shows.
TEST(EpisodesTest, IncreaseOnNoisyNightsIsTheGeneratedRise) {
    for (int period : {1, 5, 10}) {
        for (double noise : {0.1, 0.25, 0.4}) {
            for (double lift : {4.0, 10.0}) {
                SCOPED_TRACE(testing::Message() << "period " << period << " s, noise " << noise
                                                << " mm, rise " << lift << " mm");
                // At 1 s the memory holds 72 min: a shorter night, the same episode's shape.
                const double onset = period == 1 ? 20 : 180;
                const HeldNight night(SyntheticNight(static_cast<std::uint8_t>(period))
                                          .noise(noise)
                                          .drift(1)
                                          .rise(onset, 30, lift, 4));
                const NightAnalysis a = analyseNight(night.recording(), {});
                ASSERT_EQ(a.episodes.size(), 1u);
                EXPECT_NEAR(a.episodes[0].increase_mm, lift, 0.2 + 1e-9);
            }
        }
    }
}

// A night without noise whose every measure can be worked out by hand: the resting bytes
// repeat 82, 83, 84, 83 (26,0-26,4 mm; their one-minute median is 83, i.e. 26,2 mm) and each
// rise lifts them by exactly 40 bytes (8,0 mm), climbing over twelve samples as tumescence does
// (support/ramped_rise.h); each is given by its run [first, last) 3 mm or more above rest.
using test::kRampAboveFull;
using test::kRampAboveThreshold;

struct StepNight {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(4320, 0xFF);
    StepNight(std::size_t length, const std::vector<std::pair<std::size_t, std::size_t>>& rises) {
        const std::uint8_t ripple[] = {0, 1, 2, 1};
        for (std::size_t i = 0; i < length; ++i) {
            long lift = 0;
            for (auto [first, last] : rises) {
                lift = std::max(lift, test::rampedRise(i, first, last));
            }
            bytes[i] = static_cast<std::uint8_t>(82 + ripple[i % 4] + lift);
        }
    }
};

TEST(EpisodesTest, MeasuresAndTimesOfNight) {
    struct Case {
        const char* what;
        std::uint8_t period;
        int start;
        std::size_t first, last;  // samples of the rise
        const char* onset;
        const char* end;
    };
    const Case cases[] = {
        {"study from 23:30, the episode after midnight", 10, 23 * 3600 + 1800, 600, 780, "01:10:00",
         "01:40:00"},
        {"study from 00:30", 10, 1800, 600, 780, "02:10:00", "02:40:00"},
        {"period 5 s", 5, 22 * 3600, 1200, 1560, "23:40:00", "00:10:00"},
        {"period 7 s: onset on an odd second", 7, 22 * 3600, 1001, 1301, "23:56:47", "00:31:47"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StepNight night(4320, {{c.first, c.last}});
        const NightAnalysis a = analyseNight({night.bytes, c.period, c.start}, {});
        ASSERT_EQ(a.episodes.size(), 1u);
        const NightEpisode& e = a.episodes[0];
        const int duration = static_cast<int>(c.last - c.first) * c.period;
        EXPECT_EQ(e.start_s, static_cast<int>(c.first) * c.period);
        EXPECT_EQ(e.end_s, static_cast<int>(c.last) * c.period);
        EXPECT_EQ(e.start, c.onset);
        EXPECT_EQ(e.end, c.end);
        EXPECT_EQ(e.duration_s, duration);
        EXPECT_DOUBLE_EQ(e.baseline_mm, 26.2);
        EXPECT_DOUBLE_EQ(e.peak_mm, 34.2);
        EXPECT_DOUBLE_EQ(e.increase_mm, 8.0);
        EXPECT_DOUBLE_EQ(e.increase_percent, 30.5);  // 8,0 / 26,2
        const int ramps = 2 * static_cast<int>(kRampAboveThreshold - kRampAboveFull) * c.period;
        EXPECT_EQ(e.full_s, duration - ramps);
        // 8,0 mm all along but for the ramps' parts, which give about two thirds of it.
        EXPECT_NEAR(
            e.area_mm_min,
            8.0 * (duration - 2 * static_cast<int>(kRampAboveThreshold) * c.period / 3.0) / 60.0,
            1.0);

        const NightSummary& s = a.summary;
        EXPECT_EQ(s.valid_s, 4320 * c.period);
        EXPECT_EQ(s.total_s, duration);
        EXPECT_EQ(s.longest_s, duration);
        EXPECT_DOUBLE_EQ(s.mean_s, duration);
        EXPECT_DOUBLE_EQ(s.max_increase_mm, 8.0);
        EXPECT_DOUBLE_EQ(s.area_mm_min, e.area_mm_min);
    }
}

// The boundaries of the parameters, on exact steps at period 10 s: the defaults are 5 min
// (30 samples) of minimum duration and 2 min (12 samples) of merge gap.
TEST(EpisodesTest, MinimumDurationAndMergeGapBoundaries) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, std::size_t>> rises;
        AnalysisParameters parameters;
        std::vector<std::pair<int, int>> episodes;  // start_s, end_s
    };
    const AnalysisParameters defaults;
    AnalysisParameters noMerging;
    noMerging.merge_gap_s = 0;
    AnalysisParameters higherThreshold;
    higherThreshold.threshold_mm = 8.2;
    higherThreshold.full_threshold_mm = 10;
    const Case cases[] = {
        {"a run of exactly 5 min is an episode", {{1000, 1030}}, defaults, {{10000, 10300}}},
        {"one sample less is not", {{1000, 1029}}, defaults, {}},
        {"a dip of 110 s is bridged", {{1000, 1030}, {1041, 1071}}, defaults, {{10000, 10710}}},
        {"a dip of exactly 2 min is not",
         {{1000, 1030}, {1042, 1072}},
         defaults,
         {{10000, 10300}, {10420, 10720}}},
        {"two short runs joined by a bridged dip make an episode",
         {{1000, 1020}, {1025, 1045}},
         defaults,
         {{10000, 10450}}},
        {"without merging they are both too short", {{1000, 1020}, {1025, 1045}}, noMerging, {}},
        {"a rise of 8,0 mm is below a threshold of 8,2 mm", {{1000, 1100}}, higherThreshold, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StepNight night(4320, c.rises);
        const NightAnalysis a = analyseNight({night.bytes, 10, 0}, c.parameters);
        std::vector<std::pair<int, int>> found;
        for (const NightEpisode& e : a.episodes) {
            found.emplace_back(e.start_s, e.end_s);
        }
        EXPECT_EQ(found, c.episodes);
    }
}

TEST(EpisodesTest, SummaryOfSeveralEpisodes) {
    // 30, 60 and 45 min at period 10 s in a night of 12 h.
    const StepNight night(4320, {{600, 780}, {1500, 1860}, {3000, 3270}});
    const NightSummary s = analyseNight({night.bytes, 10, 0}, {}).summary;
    EXPECT_EQ(s.episodes, 3);
    EXPECT_EQ(s.total_s, 135 * 60);
    EXPECT_EQ(s.longest_s, 60 * 60);
    EXPECT_DOUBLE_EQ(s.mean_s, 45 * 60);
    // Each ramp's part above the threshold gives two thirds of the 8,0 mm (see StepNight).
    EXPECT_NEAR(s.area_mm_min, 8.0 * (135 - 3 * 2 * kRampAboveThreshold * 10 / 3.0 / 60), 1.0);
    EXPECT_DOUBLE_EQ(s.per_hour, 0.25);  // 3 in 12 h
}

TEST(EpisodesTest, UnusableParametersAreRefused) {
    const StepNight night(4320, {});
    AnalysisParameters p;
    p.threshold_mm = 0;
    EXPECT_THROW(analyseNight({night.bytes, 10, 0}, p), std::invalid_argument);
}

}  // namespace
}  // namespace npt
