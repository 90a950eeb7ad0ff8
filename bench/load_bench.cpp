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

class FixedClock final : public npt::Clock {
public:
    npt::LocalDateTime now() const override { return {2026, 12, 8, 21, 30, 0}; }
};

std::vector<std::uint8_t> exampleBytes() {
    std::ifstream in(NPT_EXAMPLES_DIR "/night.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_LoadRecording(benchmark::State& state) {
    const auto bytes = exampleBytes();
    npt::BatchView view;
    FixedClock clock;
    npt::TTMForm form(view, clock, nullptr);
    form.FormCreate();
    for (auto _ : state) {
        if (!form.loadRecordingBytes(bytes, "night.txt")) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(form.chart().series2().count());
    }
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMicrosecond);

void BM_SmoothingPeriodChange(benchmark::State& state) {
    const auto bytes = exampleBytes();
    npt::BatchView view;
    FixedClock clock;
    npt::TTMForm form(view, clock, nullptr);
    form.FormCreate();
    form.loadRecordingBytes(bytes, "night.txt");
    double period = 25;
    for (auto _ : state) {
        form.chart().setPeriod(period);  // 1 -> 25 and back: every change recomputes
        period = period == 25 ? 1 : 25;
        benchmark::DoNotOptimize(form.chart().series2().count());
    }
}
BENCHMARK(BM_SmoothingPeriodChange)->Unit(benchmark::kMicrosecond);

}  // namespace
