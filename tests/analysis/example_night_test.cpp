// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The example recording (written by tools/make_example): a 12-hour night from 22:00 at 10 s,
// resting at 26,4 mm with a slow wave of 0,6 mm and noise of 0,25 mm, and five episodes, each a
// smooth rise, a plateau at a given peak and a smooth fall.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/analysis_text.h"
#include "analysis/night_analysis.h"
#include "measure/time_of_day.h"
#include "recorder/passport.h"
#include "records/data_file.h"

namespace npt {
namespace {

struct GeneratedEpisode {
    double startHours;
    double riseMin, plateauMin, fallMin;
    double peakMm;
};

// The generator's table of episodes.
constexpr GeneratedEpisode kGenerated[] = {{1.6, 6, 18, 9, 33.8},
                                           {3.9, 8, 31, 12, 36.2},
                                           {6.2, 7, 24, 10, 35.0},
                                           {8.7, 9, 36, 14, 37.4},
                                           {10.9, 5, 14, 8, 32.6}};

TEST(ExampleNightTest, FindsTheFiveGeneratedEpisodes) {
    const MemoryImage image = readDataFile(NPT_EXAMPLES_DIR "/night.txt");
    const PassportFields passport = decodePassport(image, false);
    const int start = passport.timeStart * 60;
    EXPECT_EQ(start, 22 * 3600);
    const NightAnalysis a = analyseNight(nightRecordingOf(image, passport.samplePeriod, start), {});

    EXPECT_EQ(a.quality.usability, Usability::Usable);
    EXPECT_EQ(a.quality.verdict, "данные пригодны для анализа");
    EXPECT_EQ(a.summary.valid_s, 12 * 3600);
    ASSERT_EQ(a.episodes.size(), std::size(kGenerated));
    for (std::size_t i = 0; i < a.episodes.size(); ++i) {
        SCOPED_TRACE(i);
        const NightEpisode& e = a.episodes[i];
        const GeneratedEpisode& g = kGenerated[i];
        const double riseStart = g.startHours * 60;
        const double fallStart = riseStart + g.riseMin + g.plateauMin;
        // The diameter crosses the threshold somewhere on the rise and again on the fall.
        EXPECT_GE(e.start_s / 60.0, riseStart - 1);
        EXPECT_LE(e.start_s / 60.0, riseStart + g.riseMin + 1);
        EXPECT_GE(e.end_s / 60.0, fallStart - 1);
        EXPECT_LE(e.end_s / 60.0, fallStart + g.fallMin + 1);
        // The resting level there, with the slow wave: what the baseline should find, and what
        // the plateau stands on.
        const double middleHours = (riseStart + g.riseMin + g.plateauMin / 2) / 60;
        const double wave = 0.6 * std::sin(middleHours * 0.9);
        EXPECT_NEAR(e.baseline_mm, 26.4 + wave, 0.2);
        EXPECT_NEAR(e.peak_mm, g.peakMm + wave, 0.25);
        // The rise the generator put on top of the resting level, wave and noise aside.
        EXPECT_NEAR(e.increase_mm, g.peakMm - 26.4, 0.2 + 1e-9);
        EXPECT_GE(e.full_s, g.plateauMin * 60);
    }
    EXPECT_EQ(a.episodes[0].start.substr(0, 4), "23:3");  // 1,6 h after 22:00 is 23:36
    EXPECT_THAT(summaryLine(a), testing::StartsWith("Эпизодов: 5 · всего "));
}

}  // namespace
}  // namespace npt
