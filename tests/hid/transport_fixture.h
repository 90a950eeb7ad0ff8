// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A controller on the in-process platform, driven by a poll loop on the test's thread.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
// <windows.h> first.
#include <tlhelp32.h>
#include <winternl.h>
#else
#include <poll.h>
#endif

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
    WatchId watchReady(WaitHandle handle, Callback callback) override {
        return poll.watchReady(handle, std::move(callback));
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

// Whether a wait handle is ready now, without taking anything.
inline bool isReady(WaitHandle handle) {
#ifdef _WIN32
    return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
#else
    pollfd fd{handle, POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
#endif
}

#ifdef _WIN32
// The threads library gives a lock its event object when the lock is first contended, and keeps
// it for the lock's life: the loop's, the platform's and the radio's locks may get theirs late.
inline constexpr std::size_t kLateLockHandles = 8;

inline std::size_t threadsOfThisProcess() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    std::size_t n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        n += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    }
    ::CloseHandle(snapshot);
    return n;
}
// The system's list of open handles, which Wine keeps too (its GetProcessHandleCount says 0).
inline std::size_t handlesOfThisProcess() {
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
        PVOID object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT creatorBackTrace;
        USHORT objectType;
        ULONG attributes;
        ULONG reserved;
    };
    constexpr auto kExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
    constexpr auto kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<ULONG_PTR> buffer(1 << 14);
    NTSTATUS status;
    ULONG length = 0;
    while (
        (status = ::NtQuerySystemInformation(kExtendedHandleInformation, buffer.data(),
                                             static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)),
                                             &length)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        ADD_FAILURE() << "NtQuerySystemInformation: " << std::hex << status;
        return 0;
    }
    // The number of entries and a reserved word, then the entries.
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 2);
    std::size_t n = 0;
    for (ULONG_PTR i = 0; i < buffer[0]; ++i) {
        n += entries[i].processId == ::GetCurrentProcessId();
    }
    return n;
}
#else
inline constexpr std::size_t kLateLockHandles = 0;

inline std::size_t entriesIn(const char* dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) {
        ++n;
    }
    return n;
}
inline std::size_t threadsOfThisProcess() {
    return entriesIn("/proc/self/task");
}
// Open descriptors: those of the devices, the readers' wake counters and the loop's.
inline std::size_t handlesOfThisProcess() {
    return entriesIn("/proc/self/fd");
}
#endif

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
        ASSERT_TRUE(pump([this] { return !isReady(platform.hotplugHandle()); }));
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
