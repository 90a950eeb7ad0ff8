// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The HID transport on Qt's event loop (offscreen): the first scan, hot-plug through the loop's
// notifier (a socket notifier on Linux, an event notifier on Windows), a read of the simulated
// recorder handed over by queued calls, and timers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "hid/event_counter.h"
#include "hid/hid_device_controller.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder_device.h"
#include "ui/qt_main_loop.h"
#include "window_fixture.h"

namespace npt {
namespace {

using namespace std::chrono_literals;

bool processUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

TEST(QtMainLoop, CarriesTheTransportThroughScansHotPlugAndARead) {
    testing::ensureApplication();
    QtMainLoop loop;
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder(exampleNight(""));
    auto device = std::make_unique<hid::SimulatedRecorderDevice>(platform, recorder);
    device->unplug();
    hid::THidDeviceController controller(loop, platform);
    hid::THidDevice* adapter = nullptr;
    int changes = 0;
    std::vector<std::uint8_t> firstBytes;
    controller.SetOnEnumerate([&](hid::THidDevice& d, std::int32_t) {
        adapter = &d;
        d.CheckOut();
        return true;
    });
    controller.SetOnDeviceChange([&](hid::THidDeviceController& c) {
        ++changes;
        c.CheckInUnplugged();
        adapter = nullptr;
        c.Enumerate();
    });
    controller.SetOnDeviceData([&](hid::THidDevice&, std::uint8_t, const std::uint8_t* data,
                                   std::uint16_t) { firstBytes.push_back(data[0]); });

    ASSERT_TRUE(processUntil([&] { return changes == 1; }));  // the first scan, nothing there
    device->plug();
    ASSERT_TRUE(processUntil(
        [&] { return adapter != nullptr && platform.readersOpen(device->id()) == 1; }));
    std::uint8_t read[33] = {0x00, 0x41};
    std::uint32_t written = 0;
    ASSERT_TRUE(adapter->WriteFile(read, 33, written));
    ASSERT_TRUE(processUntil([&] { return firstBytes.size() == 140; }));
    EXPECT_EQ(firstBytes.front(), 0xFE);
    EXPECT_EQ(firstBytes.back(), 0xFE);

    device->unplug();
    ASSERT_TRUE(processUntil([&] { return changes == 3 && controller.Count() == 0; }));
    EXPECT_EQ(adapter, nullptr);
}

TEST(QtMainLoop, AWatchFiresAgainWhileItsHandleStaysReady) {
    // Level triggered, as the transport needs: each of three hot-plug events is taken by its own
    // call, and once all are taken the watch stays quiet.
    testing::ensureApplication();
    QtMainLoop loop;
    const hid::EventCounter counter(hid::EventCounter::Counting::One);
    int calls = 0;
    const auto watch = loop.watchReady(counter.handle(), [&] {
        ++calls;
        counter.take();
    });
    counter.signal();
    counter.signal();
    counter.signal();
    ASSERT_TRUE(processUntil([&] { return calls == 3; }));
    processUntil([] { return false; }, 30);
    EXPECT_EQ(calls, 3);
    loop.unwatch(watch);
    counter.signal();
    processUntil([] { return false; }, 30);
    EXPECT_EQ(calls, 3);
}

TEST(QtMainLoop, TimersFireOnceOrRepeatUntilStopped) {
    testing::ensureApplication();
    QtMainLoop loop;
    int once = 0;
    int repeated = 0;
    loop.startTimer(5ms, false, [&] { ++once; });
    const auto id = loop.startTimer(1ms, true, [&] { ++repeated; });
    ASSERT_TRUE(processUntil([&] { return once == 1 && repeated >= 3; }));
    loop.stopTimer(id);
    const int stoppedAt = repeated;
    processUntil([] { return false; }, 30);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeated, stoppedAt);
}

}  // namespace
}  // namespace npt
