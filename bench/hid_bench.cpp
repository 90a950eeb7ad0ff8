// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the transport moves: a whole read of the recorder (140 reports from the simulated
// device through the reader thread and the hand-off to the handler), a scan of twenty
// interfaces, and stopping a reader.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder_device.h"

namespace {

using namespace npt;
using namespace npt::hid;
using namespace std::chrono_literals;

// A controller on the in-process platform that claims the recorder's adapter.
struct Rig {
    PollLoop loop;
    SimulatedHidPlatform platform;
    SimulatedRecorder recorder{exampleNight("")};
    std::unique_ptr<SimulatedRecorderDevice> adapter;
    std::unique_ptr<THidDeviceController> hid;
    THidDevice* claimed = nullptr;
    int reports = 0;

    explicit Rig(int otherInterfaces) {
        for (int i = 0; i < otherInterfaces; ++i) {
            SimulatedHidPlatform::DeviceSpec spec;
            spec.attributes.VendorID = 0x046D;
            spec.attributes.ProductID = static_cast<std::uint16_t>(0xC300 + i);
            spec.reportDescriptor = adapterReportDescriptor();
            platform.plug(spec);
        }
        adapter = std::make_unique<SimulatedRecorderDevice>(platform, recorder);
        hid = std::make_unique<THidDeviceController>(loop, platform);
        hid->SetOnEnumerate([this](THidDevice& d, std::int32_t) {
            if (d.Attributes().VendorID == kAdapterVendorId) {
                claimed = &d;
                d.CheckOut();
            }
            return true;
        });
        hid->SetOnDeviceChange([](THidDeviceController& c) { c.Enumerate(); });
        hid->SetOnDeviceData(
            [this](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++reports; });
        loop.runUntil(
            [&] { return claimed != nullptr && platform.readersOpen(adapter->id()) == 1; }, 10s);
    }
};

void BM_ReadOf140Reports(benchmark::State& state) {
    Rig rig(0);
    const std::uint8_t read[33] = {0x00, 0x41};
    for (auto _ : state) {
        rig.reports = 0;
        std::uint32_t written = 0;
        rig.claimed->WriteFile(read, 33, written);
        if (!rig.loop.runUntil([&] { return rig.reports == 140; }, 10s)) {
            state.SkipWithError("the read did not complete");
            break;
        }
    }
}
BENCHMARK(BM_ReadOf140Reports)->Unit(benchmark::kMillisecond);

void BM_ScanOf20Interfaces(benchmark::State& state) {
    Rig rig(19);
    for (auto _ : state) {
        rig.hid->DeviceChange();
    }
    if (rig.hid->Count() != 20) {
        state.SkipWithError("not 20 interfaces");
    }
}
BENCHMARK(BM_ScanOf20Interfaces)->Unit(benchmark::kMicrosecond);

void BM_ReaderStop(benchmark::State& state) {
    Rig rig(0);
    for (auto _ : state) {
        state.PauseTiming();
        THidDevice* device = &rig.hid->Device(0);
        device->CheckOut();
        rig.loop.runUntil([&] { return rig.platform.readersOpen(rig.adapter->id()) == 1; }, 10s);
        state.ResumeTiming();
        rig.hid->CheckIn(device);
    }
}
// A fixed count: between two timed stops the reader is started again and awaited untimed,
// which takes far longer than the stop itself.
BENCHMARK(BM_ReaderStop)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
