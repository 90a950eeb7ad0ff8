// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of a claimed device: whole reports on the main thread, one at a time in read order,
// the reader held while the handler runs, writes from inside the handler, stops during a wait
// and during a hand-off, unplugs, and no threads or descriptors left behind.
#ifndef _WIN32
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <fstream>
#include <thread>

#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder_device.h"
#include "support/passport_write_model.h"
#include "transport_fixture.h"

namespace npt::hid::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> block(std::uint8_t first) {
    std::vector<std::uint8_t> bytes(32, 0);
    bytes[0] = first;
    return bytes;
}

#ifndef _WIN32
// The thread id of a reader thread of this process blocked in poll(2), or 0.
pid_t readerInPoll() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::ifstream call(task.path() / "syscall");
        std::string name;
        long number = -1;
        if (std::getline(comm, name) && name == "hid-reader" && (call >> number) &&
            (number == SYS_poll || number == SYS_ppoll)) {
            return static_cast<pid_t>(std::stol(task.path().filename().string()));
        }
    }
    return 0;
}
#endif

TEST_F(RecorderOwner, AReadArrivesAsWholeReportsInOrderOnTheMainThread) {
    SimulatedRecorder recorder(exampleNight(""), 3300);
    SimulatedRecorderDevice device(platform, recorder);
    startOwner();
    ASSERT_TRUE(adapterReading(device.id()));
    std::vector<std::thread::id> threads;
    hid->SetOnDeviceData(
        [&](THidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
            threads.push_back(std::this_thread::get_id());
            std::vector<std::uint8_t> report{id};
            report.insert(report.end(), data, data + size);
            reports.push_back(std::move(report));
        });
    ASSERT_TRUE(send(0x41));
    ASSERT_TRUE(pump([&] { return reports.size() == 140; }));

    // Acknowledge block with the battery value, the flash's blocks 1-138, closing block; each
    // behind report ID 0, 32 bytes.
    const auto flash = recorder.flash().bytes();
    for (std::size_t n = 0; n < 140; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(reports[n].size(), 33u);
        EXPECT_EQ(reports[n][0], 0x00);
        EXPECT_EQ(threads[n], std::this_thread::get_id());
        if (n > 0 && n < 139) {
            EXPECT_TRUE(
                std::equal(reports[n].begin() + 1, reports[n].end(), flash.begin() + 32 * n));
        }
    }
    EXPECT_EQ(std::vector<std::uint8_t>(reports[0].begin() + 1, reports[0].begin() + 5),
              (std::vector<std::uint8_t>{0xFE, 0xFE, 3300 >> 8, 3300 & 0xFF}));
    EXPECT_EQ(reports[139][1], 0xFE);
    EXPECT_EQ(reports[139][2], 0xFF);
}

TEST_F(RecorderOwner, NumberedReportsKeepTheirOwnReportId) {
    // A vendor collection with report ID 5: 8 bytes in.
    auto spec = adapterSpec();
    spec.reportDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05,
                             0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0xC0};
    const std::uint32_t id = platform.plug(spec);
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    EXPECT_EQ(adapter->Caps().InputReportByteLength, 9);
    platform.sendInput(id, std::vector<std::uint8_t>{5, 1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(pump([&] { return reports.size() == 1; }));
    EXPECT_EQ(reports[0], (std::vector<std::uint8_t>{5, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(RecorderOwner, TheHandlerHoldsTheReaderAndItsWritesComplete) {
    std::vector<std::vector<std::uint8_t>> output;
    const std::uint32_t id =
        platform.plug(adapterSpec(), [&](std::uint32_t, std::span<const std::uint8_t> report) {
            output.emplace_back(report.begin(), report.end());
        });
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    std::vector<std::uint8_t> seen;
    bool inside = false;
    bool overlapped = false;
    hid->SetOnDeviceData(
        [&](THidDevice& device, std::uint8_t, const std::uint8_t* data, std::uint16_t) {
            overlapped = overlapped || inside;
            inside = true;
            seen.push_back(data[0]);
            if (data[0] == 1) {
                // A write made while the reader waits for this handler.
                std::uint8_t answer[33] = {0x00, 0x43};
                std::uint32_t written = 0;
                EXPECT_TRUE(device.WriteFile(answer, 33, written));
                EXPECT_EQ(written, 33u);
                // A modal box's loop: the reports behind this one must wait for it to close.
                const auto until = Clock::now() + 50ms;
                while (Clock::now() < until) {
                    loop.poll.processEvents(5ms);
                }
                EXPECT_EQ(seen.size(), 1u);
            }
            inside = false;
        });
    for (std::uint8_t n = 1; n <= 3; ++n) {
        platform.sendInput(id, block(n));
    }
    ASSERT_TRUE(pump([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0].size(), 33u);
    EXPECT_EQ(output[0][1], 0x43);
}

TEST_F(RecorderOwner, AStopIsNoticedWithoutWaitingForTheSlice) {
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    hid->SetDevThreadSleepTime(10000);
    ASSERT_TRUE(adapterReading(id));
    // The reader was claimed before the default changed; give it the long slice as well.
    adapter->SetThreadSleepTime(10000);
    platform.sendInput(id, block(1));  // one report, so the reader is back in a fresh wait
    ASSERT_TRUE(pump([&] { return reports.size() == 1; }));
    const auto start = Clock::now();
    hid->CheckIn(adapter);
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(platform.readersOpen(id), 0);  // the read handle went with the reader
}

#ifndef _WIN32
// Linux only: Windows has no signals that interrupt a thread's wait.
TEST_F(RecorderOwner, ASignalToTheReaderDoesNotHoldBackTheNextReport) {
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    adapter->SetThreadSleepTime(10000);
    platform.sendInput(id, block(1));  // the reader's next wait takes the long slice
    ASSERT_TRUE(pump([&] { return reports.size() == 1; }));
    pid_t reader = 0;
    ASSERT_TRUE(pump([&] { return (reader = readerInPoll()) != 0; }));
    // A signal with a handler interrupts the reader's wait (EINTR); the report comes after it.
    static std::atomic<bool> handled;
    handled = false;
    struct sigaction quiet {};
    struct sigaction before {};
    quiet.sa_handler = [](int) { handled = true; };
    ::sigaction(SIGUSR1, &quiet, &before);
    ASSERT_EQ(::syscall(SYS_tgkill, ::getpid(), reader, SIGUSR1), 0);
    ASSERT_TRUE(pump([&] { return handled.load(); }));
    platform.sendInput(id, block(2));
    // Delivered at once, not a slice later: at a report a millisecond, a slice's pause would
    // overrun the platform's queue and lose reports of a read.
    EXPECT_TRUE(pump([&] { return reports.size() == 2; }, 2s));
    ::sigaction(SIGUSR1, &before, nullptr);
}
#endif

TEST_F(RecorderOwner, AStopDuringAHandOffDeliversTheWaitingReportAndEnds) {
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    const int postsBefore = loop.posts;
    platform.sendInput(id, block(7));
    // The reader has posted its hand-off; the main loop has not run it.
    while (loop.posts == postsBefore) {
        std::this_thread::yield();
    }
    THidDevice* device = adapter;
    hid->CheckIn(device);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][1], 7);
    EXPECT_FALSE(hid->Device(0).HasReader());
    loop.poll.processEvents(0ms);  // the posted hand-off finds nothing left to do
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(RecorderOwner, AHandlerCanCheckItsOwnDeviceIn) {
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    int delivered = 0;
    hid->SetOnDeviceData([&](THidDevice& device, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        ++delivered;
        THidDevice* self = &device;
        hid->CheckIn(self);
    });
    platform.sendInput(id, block(1));
    platform.sendInput(id, block(2));
    ASSERT_TRUE(pump([&] { return delivered == 1 && platform.readersOpen(id) == 0; }));
    loop.poll.processEvents(20ms);
    EXPECT_EQ(delivered, 1);
    EXPECT_FALSE(hid->Device(0).IsCheckedOut());
}

TEST_F(RecorderOwner, AnUnpluggedReaderDeliversNothingAndRetriesAtItsPace) {
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    ASSERT_TRUE(adapterReading(id));
    // An owner who never checks in: the reader of the stale device keeps trying.
    hid->SetOnDeviceChange([](THidDeviceController&) {});
    THidDevice* device = adapter;
    device->SetThreadSleepTime(10);
    std::vector<std::uint32_t> errors;
    device->SetOnDataError([&](THidDevice&, std::uint32_t error) { errors.push_back(error); });
    platform.unplug(id);
    settleHotplug();
    EXPECT_FALSE(device->IsPluggedIn());
    ASSERT_TRUE(pump([&] { return errors.size() >= 3; }));
    for (std::uint32_t error : errors) {
        // ENOENT while the node is gone but the scan has not yet run, ENODEV after it.
        EXPECT_TRUE(error == ENODEV || error == ENOENT) << error;
    }
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(platform.readersOpen(id), 0);
    EXPECT_EQ(hid->CheckInUnplugged(), 1);
    EXPECT_EQ(hid->Count(), 0u);
}

TEST_F(RecorderOwner, APassportWriteIsConfirmedOnceThroughTheReaderAndHandlerWrites) {
    // The password report goes out from inside the data handler, as the application sends it.
    SimulatedRecorder recorder(exampleNight(""), 3300);
    SimulatedRecorderDevice device(platform, recorder);
    startOwner();
    ASSERT_TRUE(adapterReading(device.id()));
    PassportWriteModel handler;
    int failedWrites = 0;
    handler.send = [&](const OutputReport& report) {
        std::uint32_t written = 0;
        failedWrites += !adapter->WriteFile(report.data(), 33, written);
    };
    int received = 0;
    hid->SetOnDeviceData([&](THidDevice&, std::uint8_t, const std::uint8_t* data, std::uint16_t) {
        ++received;
        handler.receive(data);
    });
    handler.start();
    // The acknowledgement, then closing block, block 1, the echo and the programmed marker; the
    // second password report is not answered.
    ASSERT_TRUE(pump([&] { return received == 6; }));
    platform.settle();
    EXPECT_EQ(received, 6);
    EXPECT_EQ(handler.confirmations, 1);
    EXPECT_EQ(handler.passwordsSent, 2);
    EXPECT_EQ(failedWrites, 0);
    EXPECT_TRUE(handler.echoInPlace());
}

TEST_F(RecorderOwner, AnUnplugInTheMiddleOfAReadEndsItAndTheAdapterComesBack) {
    SimulatedRecorder recorder(exampleNight(""), 3300);
    recorder.faults.unplugAfterReports = 50;
    recorder.faults.comeBackAfter = 20ms;
    SimulatedRecorderDevice device(platform, recorder);
    startOwner();
    ASSERT_TRUE(adapterReading(device.id()));
    const std::uint32_t first = device.id();
    ASSERT_TRUE(send(0x41));
    // Gone after 50 reports, then back under a new identity and claimed again.
    std::uint32_t second = 0;
    ASSERT_TRUE(pump([&] {
        second = device.id();  // read once: it passes through 0 between unplug and replug
        return second != 0 && second != first;
    }));
    ASSERT_TRUE(adapterReading(second));
    EXPECT_LE(reports.size(), 50u);
    EXPECT_EQ(hid->Count(), 1u);  // the stale object was checked in
    reports.clear();
    ASSERT_TRUE(send(0x41));
    ASSERT_TRUE(pump([&] { return reports.size() == 140; }));
}

TEST_F(RecorderOwner, AHundredPlugCyclesLeaveNoReaderThreadOrHandle) {
    SimulatedRecorder recorder(exampleNight(""), 3300);
    SimulatedRecorderDevice device(platform, recorder);
    device.unplug();
    startOwner();
    settleHotplug();
    const auto cycle = [&](int n) {
        SCOPED_TRACE(n);
        device.plug();
        settleHotplug();
        ASSERT_TRUE(adapterReading(device.id()));
        device.unplug();
        settleHotplug();
        ASSERT_EQ(adapter, nullptr);
    };
    // The first cycle counts before the others: what it starts once for good (GoogleTest's
    // watcher of the main thread's trace, on Windows) is not a leak.
    cycle(0);
    const std::size_t threads = threadsOfThisProcess();
    const std::size_t handles = handlesOfThisProcess();
    for (int n = 1; n <= 100 && !HasFatalFailure(); ++n) {
        cycle(n);
    }
    EXPECT_EQ(hid->Count(), 0u);
    // A thread that has been joined may take a moment to leave the system's list.
    EXPECT_TRUE(pump([&] { return threadsOfThisProcess() == threads; }, 5s));
    // A leak leaves a handle behind at every cycle. The few that may come on top are the event
    // objects a long-lived lock gets when it is first contended (Windows only), at any cycle.
    EXPECT_LE(handlesOfThisProcess(), handles + kLateLockHandles);
}

}  // namespace
}  // namespace npt::hid::test
