// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_sim/simulated_recorder_device.h"

namespace npt::hid {

// Shared with the actions scheduled on the platform's device-side thread, which may outlive
// the device object (they then do nothing).
struct SimulatedRecorderDevice::State {
    SimulatedHidPlatform& platform;
    SimulatedRecorder& recorder;
    // Taken when the adapter is made: a plug from the device-side thread must not read the
    // recorder the main thread uses.
    const std::vector<std::uint8_t> reportDescriptor;
    std::mutex mutex;  // guards id and alive
    std::uint32_t id = 0;
    bool alive = true;

    State(SimulatedHidPlatform& p, SimulatedRecorder& r)
        : platform(p),
          recorder(r),
          reportDescriptor(adapterReportDescriptor(r.faults.inputReportBytes)) {}

    static void plug(const std::shared_ptr<State>& state) {
        std::lock_guard lock(state->mutex);
        if (!state->alive || state->id != 0) {
            return;
        }
        SimulatedHidPlatform::DeviceSpec spec;
        spec.attributes.VendorID = kAdapterVendorId;
        spec.attributes.ProductID = kAdapterProductId;
        spec.attributes.VersionNumber = 0x0100;
        spec.reportDescriptor = state->reportDescriptor;
        std::weak_ptr<State> weak = state;
        state->id = state->platform.plug(
            std::move(spec), [weak](std::uint32_t id, std::span<const std::uint8_t> report) {
                if (auto self = weak.lock()) {
                    self->onOutput(self, id, report);
                }
            });
    }

    static void unplug(const std::shared_ptr<State>& state, std::uint32_t id) {
        std::lock_guard lock(state->mutex);
        if (state->id == id && id != 0) {
            state->platform.unplug(id);
            state->id = 0;
        }
    }

    void onOutput(const std::shared_ptr<State>& self, std::uint32_t id,
                  std::span<const std::uint8_t> report) {
        if (report.empty()) {
            return;
        }
        // The adapter passes the report on without its report-ID byte.
        for (const RecorderStep& step : recorder.answer(report.subspan(1))) {
            std::weak_ptr<State> weak = self;
            platform.after(step.delay, [weak, id, step] {
                auto state = weak.lock();
                if (!state) {
                    return;
                }
                switch (step.kind) {
                    case RecorderStep::Report: {
                        std::lock_guard lock(state->mutex);
                        if (state->alive && state->id == id) {
                            state->platform.sendInput(id, step.block);
                        }
                        break;
                    }
                    case RecorderStep::Unplug:
                        unplug(state, id);
                        break;
                    case RecorderStep::Replug:
                        plug(state);
                        break;
                }
            });
        }
    }
};

SimulatedRecorderDevice::SimulatedRecorderDevice(SimulatedHidPlatform& platform,
                                                 SimulatedRecorder& recorder)
    : state_(std::make_shared<State>(platform, recorder)) {
    State::plug(state_);
}

SimulatedRecorderDevice::~SimulatedRecorderDevice() {
    unplug();
    std::lock_guard lock(state_->mutex);
    state_->alive = false;
}

void SimulatedRecorderDevice::plug() {
    State::plug(state_);
}

void SimulatedRecorderDevice::unplug() {
    std::uint32_t id;
    {
        std::lock_guard lock(state_->mutex);
        id = state_->id;
    }
    State::unplug(state_, id);
}

std::uint32_t SimulatedRecorderDevice::id() const {
    std::lock_guard lock(state_->mutex);
    return state_->id;
}

}  // namespace npt::hid
