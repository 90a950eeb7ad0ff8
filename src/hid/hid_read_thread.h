// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reader of a claimed device: waits for input reports on its own thread and hands each one
// to the main thread, where the device's OnData handler runs; it waits until the handler has
// returned before it reads the next report.
//
// The reader opens, uses and closes its own read handle: the main thread never touches it. At
// an unplug the main thread only wakes the reader, which then finds the device unusable and
// closes the handle itself, so no read ever meets a closed or reused descriptor or handle.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "hid/event_counter.h"
#include "hid/hid_platform.h"
#include "hid/main_loop.h"

namespace npt::hid {

class THidDevice;

// The state of a device that its reader reads; changed on the main thread only.
struct THidDeviceFlags {
    std::atomic<bool> pluggedIn{true};
    std::atomic<bool> checkedOut{false};
    std::atomic<bool> enumerated{false};  // being offered by Enumerate
    std::atomic<std::int32_t> pollingDelayTime{0};
    std::atomic<std::int32_t> threadSleepTime{100};

    // Plugged in and claimed, or being offered: only then may the device's handles be opened.
    bool usable() const { return pluggedIn && (checkedOut || enumerated); }
};

class THidDeviceReadThread {
  public:
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

  private:
    friend class THidDevice;

    // Made by the device only; starts running at once. reportLength is the input report's
    // length with its ID byte.
    THidDeviceReadThread(THidDevice& device, std::shared_ptr<const THidDeviceFlags> flags,
                         THidPnPInfo info, HidPlatform& platform, MainLoop& loop,
                         std::size_t reportLength, bool numberedReports);

    // Main thread. Wakes the reader so it notices that its device has become unusable.
    void Wake();
    // Main thread. Asks the reader to stop and waits until its thread has ended. With serve, a
    // report the reader is waiting to hand over is delivered here first; a delivery already
    // running (this call comes from inside the handler) is not waited for.
    void Stop(bool serve);

  public:
    // What the reader hands to the main thread, and the hand-off's progress.
    struct Link;

  private:
    // Main thread: runs the hand-off numbered handOff, or whichever is waiting when it is 0.
    static void Serve(const std::shared_ptr<Link>& link, std::uint64_t handOff);
    void Execute();
    // Reader thread: hands a report of bytesRead bytes (in the buffer) or a read error over and
    // waits until it is handled or a stop is requested. false when the reader is to stop.
    bool HandOff(bool isReport, std::size_t bytesRead, std::uint32_t error);
    // Reader thread: waits up to ms milliseconds or until woken.
    void Pause(std::int32_t ms);
    bool StopRequested();

    std::shared_ptr<Link> link_;
    std::shared_ptr<const THidDeviceFlags> flags_;
    const THidPnPInfo info_;
    HidPlatform& platform_;
    MainLoop& loop_;
    const bool numberedReports_;
    // The read handle is open: from now on no report of the device is missed.
    std::atomic<bool> reading_{false};
    const EventCounter wake_;  // signalled by the main thread to interrupt the reader's waits
    std::thread thread_;
};

}  // namespace npt::hid
