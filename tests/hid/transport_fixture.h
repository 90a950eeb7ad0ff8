// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A controller on the in-process platform, driven by a poll loop on the test's thread.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"
#include "hid/simulated/simulated_platform.h"
#include "recorder_sim/simulated_recorder.h"

namespace npt::hid::test {

using namespace std::chrono_literals;

// The poll loop, counting posts: a reader waiting in a hand-off has posted one.
class CountingLoop final : public MainLoop {
  public:
    PollLoop poll;
    std::atomic<int> posts{0};

    void post(Callback callback) override {
        ++posts;
        poll.post(std::move(callback));
    }
    WatchId watchReadable(int fd, Callback callback) override {
        return poll.watchReadable(fd, std::move(callback));
    }
    void unwatch(WatchId id) override { poll.unwatch(id); }
    TimerId startTimer(std::chrono::milliseconds interval, bool repeating,
                       Callback callback) override {
        return poll.startTimer(interval, repeating, std::move(callback));
    }
    void stopTimer(TimerId id) override { poll.stopTimer(id); }
};

inline constexpr std::uint16_t kKeyboardVendor = 0x046D;
inline constexpr std::uint16_t kKeyboardProduct = 0xC31C;

inline SimulatedHidPlatform::DeviceSpec deviceSpec(std::uint16_t vendor, std::uint16_t product) {
    SimulatedHidPlatform::DeviceSpec spec;
    spec.attributes.VendorID = vendor;
    spec.attributes.ProductID = product;
    spec.reportDescriptor = adapterReportDescriptor();
    return spec;
}
inline SimulatedHidPlatform::DeviceSpec adapterSpec() {
    return deviceSpec(kAdapterVendorId, kAdapterProductId);
}
inline SimulatedHidPlatform::DeviceSpec keyboardSpec() {
    return deviceSpec(kKeyboardVendor, kKeyboardProduct);
}

inline bool isAdapter(const THidDevice& device) {
    return device.Attributes().VendorID == kAdapterVendorId &&
           device.Attributes().ProductID == kAdapterProductId;
}

inline std::size_t entriesIn(const char* dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

class Transport : public ::testing::Test {
  protected:
    CountingLoop loop;
    SimulatedHidPlatform platform;
    std::unique_ptr<THidDeviceController> hid;
    int changes = 0;
    std::vector<std::string> scanErrors;

    // Creates the controller with a change counter and runs its first scan.
    void start() {
        hid = std::make_unique<THidDeviceController>(loop, platform);
        hid->SetOnDeviceChange([this](THidDeviceController&) {
            ++changes;
            if (onChange) {
                onChange();
            }
        });
        hid->SetOnScanError([this](THidDeviceController&, const EControllerError& e) {
            scanErrors.emplace_back(e.what());
        });
        ASSERT_TRUE(pump([this] { return !hid->Loading(); }));
    }

    bool pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        return loop.poll.runUntil(done, timeout);
    }

    // Runs the loop until every hot-plug event so far has been taken (and its scan has run).
    void settleHotplug() {
        ASSERT_TRUE(pump([this] {
            pollfd fd{platform.hotplugFd(), POLLIN, 0};
            return ::poll(&fd, 1, 0) == 0;
        }));
    }

    std::function<void()> onChange;
};

}  // namespace npt::hid::test

namespace npt::hid::test {

// An owner like the recorder link: at every change it checks in the devices that have gone,
// enumerates, and claims the adapter; it keeps the reports the adapter delivers.
class RecorderOwner : public Transport {
  protected:
    THidDevice* adapter = nullptr;
    std::vector<std::vector<std::uint8_t>> reports;  // report ID first

    void startOwner() {
        hid = std::make_unique<THidDeviceController>(loop, platform);
        hid->SetOnEnumerate([this](THidDevice& device, std::int32_t) {
            if (isAdapter(device)) {
                adapter = &device;
                device.CheckOut();
            }
            return true;
        });
        hid->SetOnDeviceData(
            [this](THidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
                std::vector<std::uint8_t> report{id};
                report.insert(report.end(), data, data + size);
                reports.push_back(std::move(report));
            });
        hid->SetOnDeviceChange([this](THidDeviceController&) {
            ++changes;
            hid->CheckInUnplugged();
            adapter = nullptr;
            hid->Enumerate();
        });
        ASSERT_TRUE(pump([this] { return !hid->Loading(); }));
    }

    // Waits until the adapter is claimed and its reader has its read handle open.
    bool adapterReading(std::uint32_t id) {
        return pump([&] { return adapter != nullptr && platform.readersOpen(id) == 1; });
    }

    bool send(std::uint8_t command) {
        std::uint8_t report[33] = {0x00, command};
        std::uint32_t written = 0;
        return adapter != nullptr && adapter->WriteFile(report, 33, written);
    }
};

}  // namespace npt::hid::test
