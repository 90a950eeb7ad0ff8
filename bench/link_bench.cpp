// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder link as the doctor waits on it: one input report handled by the window's receive
// handler, and a whole read from the click on "Чтение" to the checked recording with its
// smoothed curve, the simulated recorder sending as fast as it can.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"
#include "hid/hid_device.h"
#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder_device.h"

namespace {

using namespace npt;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// The 140 blocks a read brings: acknowledgement, the memory, the closing block.
std::vector<std::array<std::uint8_t, 32>> readBlocks() {
    const MemoryImage flash = exampleNight("");
    std::vector<std::array<std::uint8_t, 32>> blocks(140);
    for (std::size_t b = 0; b < 140; ++b) {
        std::copy_n(flash.bytes().begin() + 32 * b, 32, blocks[b].begin());
    }
    blocks.front() = {0xFE, 0xFE, 0x0C, 0xE4};
    blocks.back() = {0xFE, 0xFF};
    return blocks;
}

// Each report of a read through HIDDeviceData, each read begun by "Чтение" to a claimed adapter
// whose recorder takes the command but never answers: the reports come from the benchmark. The
// counter first_read_max_us is the slowest report of the first read, caches cold (over millions
// of reports the slowest one is whichever the scheduler interrupted).
void BM_HIDDeviceData(benchmark::State& state) {
    hid::PollLoop loop;
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder(exampleNight(""));
    recorder.faults.neverAcknowledge = true;
    hid::SimulatedRecorderDevice adapter(platform, recorder);
    hid::THidDeviceController controller(loop, platform);
    BatchView view(std::nullopt);
    FixedClock clock({2026, 12, 9, 8, 5, 0});
    TTMForm form(view, clock, nullptr, &controller);
    form.FormCreate();
    if (!loop.runUntil([&] { return form.state().recorderDevice != nullptr; }, 5s)) {
        state.SkipWithError("the adapter was not claimed");
        return;
    }
    const auto blocks = readBlocks();
    std::size_t next = 0;
    double slowest = 0;
    std::size_t handled = 0;
    for (auto _ : state) {
        if (next == 0) {
            state.PauseTiming();
            // The read before is checked (the view runs no timers of its own), then the next
            // one begins.
            if (view.timerRunning(TimerId::Timer2)) {
                form.Timer2Timer();
            }
            form.ReadDataClick();
            state.ResumeTiming();
        }
        const auto start = SteadyClock::now();
        form.HIDDeviceData(nullptr, 0, blocks[next].data(), 32);
        const std::chrono::duration<double, std::micro> took = SteadyClock::now() - start;
        if (handled++ < blocks.size()) {
            slowest = std::max(slowest, took.count());
        }
        next = (next + 1) % blocks.size();
    }
    if (!view.messages().empty()) {
        state.SkipWithError(view.messages().front().text.c_str());
    }
    state.counters["first_read_max_us"] = slowest;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HIDDeviceData);

// From the click to the recording shown, with the real controller, reader thread and one-second
// completion timer on a poll loop. One second of it is the check's wait.
void BM_ReadSession(benchmark::State& state) {
    hid::PollLoop loop;
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder(exampleNight(""));
    hid::SimulatedRecorderDevice adapter(platform, recorder);
    hid::THidDeviceController controller(loop, platform);
    BatchView view(std::nullopt);
    view.runTimersOn(loop);
    FixedClock clock({2026, 12, 9, 8, 5, 0});
    TTMForm form(view, clock, nullptr, &controller);
    int checks = 0;
    view.onTimer = [&](TimerId timer) {
        if (timer == TimerId::Timer2) {
            form.Timer2Timer();
            ++checks;
        }
    };
    form.FormCreate();
    const FormState& s = form.state();
    if (!loop.runUntil([&] { return s.recorderDevice && s.recorderDevice->IsReading(); }, 5s)) {
        state.SkipWithError("the adapter was not claimed");
        return;
    }
    for (auto _ : state) {
        const int before = checks;
        const auto start = SteadyClock::now();
        form.ReadDataClick();
        const bool shown = loop.runUntil(
            [&] { return checks > before && form.chart().series2().count() == 4320; }, 5s);
        state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - start).count());
        if (!shown || s.blockCounter != 140) {
            state.SkipWithError("the read was not whole");
            return;
        }
    }
}
BENCHMARK(BM_ReadSession)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
