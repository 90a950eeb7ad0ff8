// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HID platform of a Linux machine: hidraw nodes found through udev, attributes and report
// descriptors read from sysfs (no access to the node needed, so keyboards and security keys the
// user may not open are still listed), and uevents as the hot-plug source, with inotify on /dev
// as the fallback.
//
// Where a udev daemon runs, its own events are watched: they come after it has applied its
// rules, so the node already carries the access the adapter's rule grants when the scan opens
// it. Without a daemon (a container, a minimal system) the kernel's uevents serve instead.
#include <map>
#include <string>

#include "hid/hid_platform.h"

struct udev;
struct udev_monitor;

namespace npt::hid {

class LinuxHidPlatform final : public HidPlatform {
  public:
    enum class HotplugSource {
        Uevents,       // udev's events, or the kernel's without a daemon; else inotify
        DevDirectory,  // inotify on /dev only
    };
    explicit LinuxHidPlatform(HotplugSource source = HotplugSource::Uevents);
    ~LinuxHidPlatform() override;
    LinuxHidPlatform(const LinuxHidPlatform&) = delete;
    LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

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
    // The sysfs path of the HID device that carries the interface; empty when there is none.
    std::string hidParentPath(const THidPnPInfo& info);
    // From sysfs, which lets every user read it, else from the node; nullopt when neither can.
    std::optional<std::vector<std::uint8_t>> reportDescriptor(const THidPnPInfo& info);

    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    int inotifyFd_ = -1;  // used when the uevent monitor cannot be had
    // DeviceIDs by sysfs path, for the interfaces present at the last scan. The path names a
    // new HID device instance after every plug, so a returning device gets a new ID.
    std::map<std::string, std::uint32_t> ids_;
    std::uint32_t nextId_ = 1;
};

}  // namespace npt::hid
