// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recorder_link.h"

#ifdef _WIN32
#include "hid/windows/windows_platform.h"
#else
#include "hid/linux/linux_platform.h"
#endif
#include "hid/simulated/simulated_platform.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder.h"
#include "recorder_sim/simulated_recorder_device.h"

namespace npt {

namespace {

using namespace std::chrono_literals;

// The demonstration recorder: the demonstration night, a fresh battery, and the pace of the radio
// link: the answer starts after the recorder has woken, a read's 140 blocks take about 0,7 s,
// and storing a passport takes a few seconds, so the indicator's rise and slide can be seen.
void demoPace(hid::RecorderFaults& pace) {
    pace.stallBeforeAnswer = 150ms;
    pace.reportInterval = 5ms;
    pace.storeTime = 2500ms;
}

}  // namespace

RecorderLink::RecorderLink(bool demo) {
    if (demo) {
        auto simulated = std::make_unique<hid::SimulatedHidPlatform>();
        simulated_ = simulated.get();
        platform_ = std::move(simulated);
        // Its night says it is a demonstration, and keeps saying so after a write: the name
        // typed for the write does not come back as a patient's.
        recorder_ = std::make_unique<hid::SimulatedRecorder>(demonstrationNight(), 3300);
        recorder_->keepsOwnName = true;
        demoPace(recorder_->faults);
        adapter_ = std::make_unique<hid::SimulatedRecorderDevice>(*simulated_, *recorder_);
    } else {
#ifdef _WIN32
        platform_ = std::make_unique<hid::WindowsHidPlatform>();
#else
        platform_ = std::make_unique<hid::LinuxHidPlatform>();
#endif
    }
    controller_ = std::make_unique<hid::THidDeviceController>(loop_, *platform_);
}

RecorderLink::~RecorderLink() {
    // The controller stops the readers before the adapter and the platform go.
    controller_.reset();
    adapter_.reset();
}

}  // namespace npt
