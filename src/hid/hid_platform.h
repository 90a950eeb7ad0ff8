// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the transport needs from the operating system's raw HID access: the present interfaces,
// their attributes and report layouts, handles to write and to read, and a hot-plug source.
// Implemented over hidraw and udev (LinuxHidPlatform), over SetupAPI and the HID class driver
// (WindowsHidPlatform), and in process for tests and demonstrations (SimulatedHidPlatform).
//
// Errors cross this interface as errno values on every system: the Windows platform turns its
// system error codes into the nearest one, so the application words them alike.
//
// Threads: everything is called on the main thread except openRead and the HidReadChannel it
// returns, which the device's reader uses on its own thread.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_types.h"
#include "hid/report_descriptor.h"
#include "hid/wait_handle.h"

namespace npt::hid {

// A synchronous handle on an interface: writes and queries.
class HidHandle {
  public:
    virtual ~HidHandle() = default;
    // Opened with read and write access; a handle without it can be queried but not written.
    virtual bool hasReadWriteAccess() const = 0;
    // Writes one whole output report, report ID first. 0, or the errno value saying why not.
    virtual int write(std::span<const std::uint8_t> report) = 0;
};

// The reader's own handle. waitHandle() becomes ready (readable, or POLLHUP/POLLERR, on Linux;
// signalled on Windows) when a report has arrived or the device has gone; read() then takes one
// report, and the handle stays ready while more are waiting.
class HidReadChannel {
  public:
    struct Result {
        enum Kind { Report, Nothing, Gone } kind;
        std::size_t size;  // bytes of the report, report ID first, when kind is Report
    };
    virtual ~HidReadChannel() = default;
    virtual WaitHandle waitHandle() const = 0;
    // Reads one report into buffer with its report ID in front (0 for a device without
    // numbered reports); longer reports are cut to the buffer. Does not block.
    virtual Result read(std::span<std::uint8_t> buffer) = 0;
};

class HidPlatform {
  public:
    enum class OpenStatus { ReadWrite, NoAccess, Vanished, Failed };

    virtual ~HidPlatform() = default;

    // The HID interfaces present now, in the platform's order.
    virtual std::vector<THidPnPInfo> presentInterfaces() = 0;

    // Opens the interface for writing, or without access rights when the user may not write it
    // (enough to tell that it is there). Vanished: the interface went away meanwhile; Failed: it
    // is there but cannot be opened at all (error holds errno).
    virtual std::unique_ptr<HidHandle> open(const THidPnPInfo& info, OpenStatus& status,
                                            int& error) = 0;

    // Vendor, product and version, read without opening the interface; nullopt when they cannot
    // be read.
    virtual std::optional<THidAttributes> attributes(const THidPnPInfo& info) = 0;

    // The report lengths, top-level usage and report numbering, read without needing access to
    // the interface where the platform allows it: from the report descriptor where the system
    // hands it out (Linux), from the HID class driver's parsed capabilities where it does not
    // (Windows). nullopt when they cannot be read.
    virtual std::optional<ReportLayout> reportLayout(const THidPnPInfo& info) = 0;

    // Called on a reader's thread. numberedReports says whether the device's reports carry
    // their own ID byte. nullptr with error set (errno) when the interface cannot be opened for
    // reading.
    virtual std::unique_ptr<HidReadChannel> openRead(const THidPnPInfo& info, bool numberedReports,
                                                     int& error) = 0;

    // A wait handle that becomes ready when HID interfaces may have come or gone, watched on the
    // main thread; kNoWaitHandle when the platform has no hot-plug source.
    virtual WaitHandle hotplugHandle() = 0;
    // Takes one pending hot-plug event; true when it is the arrival or removal of a HID
    // interface's node, the only events that start a scan.
    virtual bool takeHotplugEvent() = 0;
};

}  // namespace npt::hid
