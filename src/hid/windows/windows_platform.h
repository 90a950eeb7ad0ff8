// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HID platform of a Windows machine: the HID interface class's device interfaces listed
// through SetupAPI, attributes and report capabilities from the HID class driver (through a
// handle opened without access rights, so keyboards and mice the system keeps to itself are
// still listed), overlapped reads, and device-interface notifications as the hot-plug source.
//
// Windows hands out no report descriptor: the report lengths and usage come from the class
// driver's parsed capabilities, and reports are numbered when any of their items carries a report
// ID. Reads always put the report ID in front, 0 for a device without numbered reports.
//
// The notifications reach a message-only window on a thread of the platform's own, which
// signals the hot-plug handle; the scan itself runs on the main thread, as on Linux. An interface
// whose removal was announced gets a new DeviceID at the next scan, even when a device has come
// back at the same path meanwhile.
//
// Paths are UTF-16 for the system and UTF-8 in THidPnPInfo; SysPath holds the device's instance
// ID (HID\VID_...\...).
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "hid/hid_platform.h"

namespace npt::hid {

class WindowsHidPlatform final : public HidPlatform {
  public:
    // The window class of the message-only window that receives the notifications.
    static constexpr const wchar_t* kNotificationWindowClass = L"npt-hid-notifications";

    WindowsHidPlatform();
    ~WindowsHidPlatform() override;
    WindowsHidPlatform(const WindowsHidPlatform&) = delete;
    WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

    std::vector<THidPnPInfo> presentInterfaces() override;
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, OpenStatus& status,
                                    int& error) override;
    std::optional<THidAttributes> attributes(const THidPnPInfo& info) override;
    std::optional<ReportLayout> reportLayout(const THidPnPInfo& info) override;
    std::unique_ptr<HidReadChannel> openRead(const THidPnPInfo& info, bool numberedReports,
                                             int& error) override;
    WaitHandle hotplugHandle() override;
    bool takeHotplugEvent() override;

  private:
    class Notifications;  // the notification thread and its window

    std::unique_ptr<Notifications> notifications_;
    // DeviceIDs by interface path (in lower case: the system does not keep one spelling), for
    // the interfaces present at the last scan.
    std::map<std::string, std::uint32_t> ids_;
    std::uint32_t nextId_ = 1;
};

}  // namespace npt::hid
