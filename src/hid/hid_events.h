// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The handlers through which the HID transport reaches its owner. All of them are called on the
// main thread.
#include <cstdint>
#include <functional>

#include "hid/hid_types.h"

namespace npt::hid {

class THidDevice;
class THidDeviceController;

// Offered one plugged-in device during Enumerate; Idx is its position in the controller's list.
// true continues the enumeration.
using THidEnumerateEvent = std::function<bool(THidDevice& HidDev, std::int32_t Idx)>;
// A device was added to the list, found gone, or unplugged.
using THidPlugEvent = std::function<void(THidDevice& HidDev)>;
// One input report: ReportID is its first byte, Data the Size bytes after it. Data is valid only
// during the call; the device reads no further report until the handler returns.
using THidDataEvent = std::function<void(THidDevice& HidDev, std::uint8_t ReportID,
                                         const std::uint8_t* Data, std::uint16_t Size)>;
// A read could not be started; Error is the errno value.
using THidDataErrorEvent = std::function<void(THidDevice& HidDev, std::uint32_t Error)>;
// A device object could not be made during a scan. Setting Handled skips the interface, or
// tries again when RetryCreate is set as well; leaving it false ends the scan with the error.
using THidDeviceCreateError =
    std::function<void(THidDeviceController& Controller, const THidPnPInfo& PnPInfo, bool& Handled,
                       bool& RetryCreate)>;
// The list of devices may have changed.
using THidNotifyEvent = std::function<void(THidDeviceController& Sender)>;
// A scan started by a hot-plug notification ended with an error (the owner shows its text).
using THidScanErrorEvent =
    std::function<void(THidDeviceController& Sender, const EControllerError& Error)>;

}  // namespace npt::hid
