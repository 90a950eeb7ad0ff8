// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated recorder's adapter plugged into the in-process platform: output reports written
// to it reach the recorder, and its answer comes back as input reports from the platform's
// device-side thread, paced as the recorder's steps say. Used by the tests and by a
// demonstration without hardware.
#include <cstdint>
#include <memory>
#include <mutex>

#include "hid/simulated/simulated_platform.h"
#include "recorder_sim/simulated_recorder.h"

namespace npt::hid {

class SimulatedRecorderDevice {
  public:
    // Plugs the adapter in at once, declaring the input report size the recorder's faults say.
    // The recorder is used on the thread that writes to the adapter (the main thread) and must
    // outlive this object.
    SimulatedRecorderDevice(SimulatedHidPlatform& platform, SimulatedRecorder& recorder);
    // Unplugs the adapter; answers still scheduled are dropped.
    ~SimulatedRecorderDevice();
    SimulatedRecorderDevice(const SimulatedRecorderDevice&) = delete;
    SimulatedRecorderDevice& operator=(const SimulatedRecorderDevice&) = delete;

    void plug();
    void unplug();
    // The adapter's DeviceID while plugged in (a new one after every plug); 0 while unplugged.
    std::uint32_t id() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace npt::hid
