// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's way to the recorder: the HID controller on Qt's event loop, over the machine's
// hidraw devices, or, for a demonstration without hardware, over a simulated recorder whose
// adapter is plugged in from the start and answers at the real recorder's pace.
#include <memory>

#include "hid/hid_device_controller.h"
#include "ui/qt_main_loop.h"

namespace npt {

namespace hid {
class SimulatedHidPlatform;
class SimulatedRecorder;
class SimulatedRecorderDevice;
}  // namespace hid

class RecorderLink {
  public:
    // Create after the application object; create the window's TTMForm right after it.
    explicit RecorderLink(bool demo);
    ~RecorderLink();
    RecorderLink(const RecorderLink&) = delete;
    RecorderLink& operator=(const RecorderLink&) = delete;

    hid::THidDeviceController& controller() { return *controller_; }
    bool demo() const { return simulated_ != nullptr; }

  private:
    QtMainLoop loop_;
    std::unique_ptr<hid::HidPlatform> platform_;
    hid::SimulatedHidPlatform* simulated_ = nullptr;  // platform_, in demo mode
    std::unique_ptr<hid::SimulatedRecorder> recorder_;
    std::unique_ptr<hid::SimulatedRecorderDevice> adapter_;
    std::unique_ptr<hid::THidDeviceController> controller_;
};

// What the window says of itself in demo mode: the recorder it reaches is simulated. (The files
// it opens meanwhile may be a patient's.)
inline constexpr const char* kDemoCaptionSuffix =
    "  —  ДЕМОНСТРАЦИЯ: имитатор датчика вместо радиоадаптера";

}  // namespace npt
