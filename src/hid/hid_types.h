// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The records a HID interface is described by: its identity, its attributes and its report
// capabilities, with the byte layouts the platform publishes them in.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace npt::hid {

// A device object could not be made for an interface, or was made the wrong way.
class EControllerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kCannotOpenText = "Device cannot be opened";
inline constexpr const char* kCannotIdentifyText = "Device cannot be identified";

// Identity of one interface: DeviceID is stable for as long as the interface stays present (a
// returning device may get another one); DevicePath is the node opened to talk to it.
struct THidPnPInfo {
    std::uint32_t DeviceID = 0;
    std::string DevicePath;
    // The interface's place in the system: its sysfs path on Linux, its device instance ID on
    // Windows; empty on the simulated backend.
    std::string SysPath;
};

// Vendor, product and version of the device, as USB reports them (12 bytes: Size first).
struct THidAttributes {
    std::uint32_t Size = 12;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// Report capabilities, 64 bytes. The report byte lengths count the report-ID byte, also for a
// device without numbered reports (whose reports travel behind a report ID of 0); a kind of
// report the device does not have has length 0. Only the usage, the lengths and the number of
// collections are filled in; the other counts stay 0.
struct THidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t Reserved[17] = {};
    std::uint16_t NumberLinkCollectionNodes = 0;
    std::uint16_t NumberInputButtonCaps = 0;
    std::uint16_t NumberInputValueCaps = 0;
    std::uint16_t NumberInputDataIndices = 0;
    std::uint16_t NumberOutputButtonCaps = 0;
    std::uint16_t NumberOutputValueCaps = 0;
    std::uint16_t NumberOutputDataIndices = 0;
    std::uint16_t NumberFeatureButtonCaps = 0;
    std::uint16_t NumberFeatureValueCaps = 0;
    std::uint16_t NumberFeatureDataIndices = 0;
};
static_assert(sizeof(THidCaps) == 64);

}  // namespace npt::hid
