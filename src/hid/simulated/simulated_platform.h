// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-process HID platform: devices exist only in this object, are plugged and unplugged at
// will, and talk through the same handles and hot-plug source as real ones. Serves the tests,
// the benchmarks and a demonstration without hardware.
//
// Controls (callable from any thread):
//   plug(spec, onOutput)    adds an interface and returns its DeviceID; one hot-plug event
//   touch()                 one hot-plug event that changes nothing (a scan finds the same set)
//   unplug(id)              removes it; open handles then fail with ENODEV and readers see it
//                           gone; one hot-plug event
//   sendInput(id, bytes)    the device sends one input report: bytes as on the wire (no ID byte
//                           for a device without numbered reports); every open read handle
//                           gets a copy, as hidraw does
//   failOpens(id, n, err)   the next n opens of any kind fail with err: ENOENT makes the
//                           interface look gone, EACCES opens it without access rights (as
//                           before udev grants access), any other value makes it unopenable
//   failWrites(id, n, err)  the next n writes fail with err
//   spec.accessible=false   listed, openable only without access rights: no reads, no writes
//   spec.identifiable=false listed, but its attributes cannot be read
//   after(delay, action)    runs action on the platform's own device-side thread, delay after
//                           the previous scheduled action is due (actions run in order)
//
// Observations: readersOpen(id), writtenReports(id).
//
// Output reports written by the application reach onOutput on the writing thread, with their
// report-ID byte, as the application wrote them.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "hid/event_counter.h"
#include "hid/hid_platform.h"

namespace npt::hid {

class SimulatedHidPlatform final : public HidPlatform {
  public:
    struct DeviceSpec {
        THidAttributes attributes;
        std::vector<std::uint8_t> reportDescriptor;
        bool accessible = true;
        bool identifiable = true;
    };
    using OutputHandler = std::function<void(std::uint32_t id, std::span<const std::uint8_t>)>;

    SimulatedHidPlatform();
    ~SimulatedHidPlatform() override;
    SimulatedHidPlatform(const SimulatedHidPlatform&) = delete;
    SimulatedHidPlatform& operator=(const SimulatedHidPlatform&) = delete;

    std::uint32_t plug(DeviceSpec spec, OutputHandler onOutput = {});
    void unplug(std::uint32_t id);
    void touch() { notifyHotplug(); }
    bool isPlugged(std::uint32_t id) const;
    void sendInput(std::uint32_t id, std::span<const std::uint8_t> bytes);
    void failOpens(std::uint32_t id, int count, int error);
    void failWrites(std::uint32_t id, int count, int error);
    void after(std::chrono::microseconds delay, std::function<void()> action);
    // Waits until every scheduled action has run.
    void settle();

    int readersOpen(std::uint32_t id) const;
    std::vector<std::vector<std::uint8_t>> writtenReports(std::uint32_t id) const;

    // HidPlatform
    std::vector<THidPnPInfo> presentInterfaces() override;
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, OpenStatus& status,
                                    int& error) override;
    std::optional<THidAttributes> attributes(const THidPnPInfo& info) override;
    std::optional<ReportLayout> reportLayout(const THidPnPInfo& info) override;
    std::unique_ptr<HidReadChannel> openRead(const THidPnPInfo& info, bool numberedReports,
                                             int& error) override;
    WaitHandle hotplugHandle() override { return hotplug_.handle(); }
    bool takeHotplugEvent() override;

    struct Queue;  // one read handle's reports

  private:
    struct Device {
        DeviceSpec spec;
        OutputHandler onOutput;
        bool plugged = true;
        int failOpens = 0, openError = 0;
        int failWrites = 0, writeError = 0;
        std::vector<std::shared_ptr<Queue>> readers;
        std::vector<std::vector<std::uint8_t>> written;
    };
    class Handle;
    class Channel;

    void notifyHotplug();
    // Takes one of the failures asked for with failOpens: true when this open is to fail.
    static bool takeOpenFailure(Device& device, int& error);
    int write(std::uint32_t id, std::span<const std::uint8_t> report);
    void closeReader(std::uint32_t id, const std::shared_ptr<Queue>& queue);
    void radioLoop();

    mutable std::mutex mutex_;  // guards devices_ and nextId_
    std::map<std::uint32_t, Device> devices_;
    std::uint32_t nextId_ = 1;
    const EventCounter hotplug_;  // counts hot-plug events not yet taken

    // The device side's thread: scheduled actions, run in order at their time.
    using Clock = std::chrono::steady_clock;
    std::mutex radioMutex_;  // guards everything down to radioStop_
    std::condition_variable radioChanged_;
    std::deque<std::pair<Clock::time_point, std::function<void()>>> actions_;
    Clock::time_point lastDue_{};
    bool radioBusy_ = false;
    bool radioStop_ = false;
    std::thread radio_;
};

}  // namespace npt::hid
