// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How long the doctor waits for the night's analysis: the example night (12 h at 10 s, 4320
// samples, five episodes), and the longest window the analysis slides, at period 1 s.
#include <benchmark/benchmark.h>

#include "analysis/night_analysis.h"
#include "measure/time_of_day.h"
#include "recorder/passport.h"
#include "records/data_file.h"

namespace {

void BM_AnalyseExampleNight(benchmark::State& state) {
    const npt::MemoryImage image = npt::readDataFile(NPT_EXAMPLES_DIR "/night.txt");
    const npt::PassportFields passport = npt::decodePassport(image, false);
    const auto recording =
        npt::nightRecordingOf(image, passport.samplePeriod, passport.timeStart * 60);
    for (auto _ : state) {
        benchmark::DoNotOptimize(npt::analyseNight(recording, {}).summary.episodes);
    }
}
BENCHMARK(BM_AnalyseExampleNight)->Unit(benchmark::kMicrosecond);

void BM_AnalyseAtOneSecond(benchmark::State& state) {
    // Period 1 s: the one-minute median spans 61 samples and the baseline window the whole
    // recording.
    npt::MemoryImage image = npt::readDataFile(NPT_EXAMPLES_DIR "/night.txt");
    const auto recording = npt::nightRecordingOf(image, 1, 22 * 3600);
    for (auto _ : state) {
        benchmark::DoNotOptimize(npt::analyseNight(recording, {}).summary.episodes);
    }
}
BENCHMARK(BM_AnalyseAtOneSecond)->Unit(benchmark::kMicrosecond);

}  // namespace
