// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How long the doctor waits: a whole load of one recording from file bytes in memory to the
// raw curve, the smoothed curve and the diameter table; and a change of the smoothing.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"

namespace {

std::vector<std::uint8_t> exampleBytes() {
    std::ifstream in(NPT_EXAMPLES_DIR "/night.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A window after start-up, with no screen.
struct Window {
    npt::BatchView view;
    npt::FixedClock clock{{2026, 12, 8, 21, 30, 0}};
    npt::TTMForm form{view, clock, nullptr};
    Window() { form.FormCreate(); }
};

void BM_LoadRecording(benchmark::State& state) {
    const auto bytes = exampleBytes();
    Window w;
    npt::TTMForm& form = w.form;
    for (auto _ : state) {
        if (!form.loadRecordingBytes(bytes, "night.txt")) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(form.chart().series2().count());
    }
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMicrosecond);

void BM_SmoothingPeriodChange(benchmark::State& state) {
    Window w;
    npt::TTMForm& form = w.form;
    form.loadRecordingBytes(exampleBytes(), "night.txt");
    double period = 25;
    for (auto _ : state) {
        form.chart().setPeriod(period);  // 1 -> 25 and back: every change recomputes
        period = period == 25 ? 1 : 25;
        benchmark::DoNotOptimize(form.chart().series2().count());
    }
}
BENCHMARK(BM_SmoothingPeriodChange)->Unit(benchmark::kMicrosecond);

}  // namespace
