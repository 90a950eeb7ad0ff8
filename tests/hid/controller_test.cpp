// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's scans, enumeration, check-out and setters on the in-process platform.
#include <cerrno>
#include <cstring>
#include <map>

#include "transport_fixture.h"

namespace npt::hid::test {
namespace {

// An owner like the recorder link: on every change it enumerates and claims each adapter it is
// offered, remembering what it was offered and at which position.
class Owner : public Transport {
  protected:
    std::string offered;  // "A@0 K@1": adapter or other device, with its list position
    THidDevice* adapter = nullptr;
    bool checkInStale = false;

    void startOwner() {
        hid = std::make_unique<THidDeviceController>(loop, platform);
        // Assigned before the first scan runs, as the owner's construction would.
        hid->SetOnEnumerate([this](THidDevice& device, std::int32_t idx) {
            offered += (offered.empty() ? "" : " ") + std::string(isAdapter(device) ? "A" : "K") +
                       "@" + std::to_string(idx);
            if (isAdapter(device)) {
                adapter = &device;
                device.CheckOut();
            }
            return true;
        });
        hid->SetOnDeviceData([](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
        hid->SetOnDeviceChange([this](THidDeviceController&) {
            ++changes;
            if (checkInStale) {
                hid->CheckInUnplugged();
            }
            offered.clear();
            adapter = nullptr;
            hid->Enumerate();
        });
        ASSERT_TRUE(pump([this] { return !hid->Loading(); }));
    }
};

TEST_F(Owner, HotPlugKeepsClaimedObjectsAndGivesReturningDevicesNewOnes) {
    startOwner();
    std::map<char, std::uint32_t> ids;
    THidDevice* firstAdapter = nullptr;
    struct Step {
        const char* what;
        std::function<void()> action;
        int changes;
        std::size_t listed;
        int checkedIn, checkedOut, unplugged;
        const char* offered;  // after the step's change; unchanged when no change came
    };
    const Step steps[] = {
        // The first scan reports a change even with nothing present.
        {.what = "start empty",
         .action = [] {},
         .changes = 1,
         .listed = 0,
         .checkedIn = 0,
         .checkedOut = 0,
         .unplugged = 0,
         .offered = ""},
        {.what = "plug adapter",
         .action = [&] { ids['A'] = platform.plug(adapterSpec()); },
         .changes = 2,
         .listed = 1,
         .checkedIn = 0,
         .checkedOut = 1,
         .unplugged = 0,
         .offered = "A@0"},
        {.what = "plug keyboard",
         .action = [&] { ids['K'] = platform.plug(keyboardSpec()); },
         .changes = 3,
         .listed = 2,
         .checkedIn = 1,
         .checkedOut = 1,
         .unplugged = 0,
         .offered = "A@0 K@1"},
        // A node event that changes nothing: no change, no enumeration.
        {.what = "same set",
         .action = [&] { platform.touch(); },
         .changes = 3,
         .listed = 2,
         .checkedIn = 1,
         .checkedOut = 1,
         .unplugged = 0,
         .offered = "A@0 K@1"},
        {.what = "unplug keyboard",
         .action = [&] { platform.unplug(ids['K']); },
         .changes = 4,
         .listed = 1,
         .checkedIn = 0,
         .checkedOut = 1,
         .unplugged = 0,
         .offered = "A@0"},
        // The claimed adapter stays listed, unplugged, and is not offered any more.
        {.what = "unplug adapter",
         .action = [&] { platform.unplug(ids['A']); },
         .changes = 5,
         .listed = 1,
         .checkedIn = 0,
         .checkedOut = 0,
         .unplugged = 1,
         .offered = ""},
        // While it stays listed, every scan reports a change.
        {.what = "same set again",
         .action = [&] { platform.touch(); },
         .changes = 6,
         .listed = 1,
         .checkedIn = 0,
         .checkedOut = 0,
         .unplugged = 1,
         .offered = ""},
        // The returning adapter is a new object, behind the stale one.
        {.what = "replug adapter",
         .action = [&] { ids['A'] = platform.plug(adapterSpec()); },
         .changes = 7,
         .listed = 2,
         .checkedIn = 0,
         .checkedOut = 1,
         .unplugged = 1,
         .offered = "A@1"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.action();
        settleHotplug();
        EXPECT_EQ(changes, step.changes);
        EXPECT_EQ(hid->Count(), step.listed);
        EXPECT_EQ(hid->NumCheckedInDevices(), step.checkedIn);
        EXPECT_EQ(hid->NumCheckedOutDevices(), step.checkedOut);
        EXPECT_EQ(hid->NumUnpluggedDevices(), step.unplugged);
        EXPECT_EQ(offered, step.offered);
        if (std::strcmp(step.what, "plug adapter") == 0) {
            firstAdapter = adapter;
        }
        if (std::strcmp(step.what, "unplug keyboard") == 0) {
            // The adapter kept its object, its claim and its reader through three scans.
            EXPECT_EQ(adapter, firstAdapter);
            EXPECT_TRUE(adapter->IsCheckedOut());
            EXPECT_TRUE(adapter->HasReader());
        }
    }
    EXPECT_NE(adapter, firstAdapter);
    EXPECT_FALSE(hid->Device(0).IsPluggedIn());

    // Checking the stale object in frees it; then an empty notification changes nothing.
    THidDevice* stale = &hid->Device(0);
    hid->CheckIn(stale);
    EXPECT_EQ(stale, nullptr);
    EXPECT_EQ(hid->Count(), 1u);
    EXPECT_EQ(hid->NumUnpluggedDevices(), 0);
    platform.touch();
    settleHotplug();
    EXPECT_EQ(changes, 7);
}

TEST_F(Owner, CheckingInStaleDevicesAtEachChangeEndsTheRepeatedChanges) {
    checkInStale = true;
    const std::uint32_t id = platform.plug(adapterSpec());
    startOwner();
    ASSERT_NE(adapter, nullptr);
    platform.unplug(id);
    settleHotplug();
    // The scan marks it unplugged before the change handler runs, which checks it in.
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(hid->Count(), 0u);
    EXPECT_EQ(adapter, nullptr);
    platform.touch();
    settleHotplug();
    EXPECT_EQ(changes, 2);
}

TEST_F(Transport, EnumerateStopsAtTheDeviceWhoseCallbackSaysSo) {
    for (int i = 0; i < 3; ++i) {
        platform.plug(keyboardSpec());
    }
    start();
    // Unassigned: the first plugged-in device counts, and nothing more happens.
    EXPECT_EQ(hid->Enumerate(), 1);

    std::vector<std::int32_t> indices;
    hid->SetOnEnumerate([&](THidDevice&, std::int32_t idx) {
        indices.push_back(idx);
        return idx < 1;
    });
    EXPECT_EQ(hid->Enumerate(), 2);
    EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(Transport, InitialScanWithNothingPresentStillReportsOneChange) {
    start();
    EXPECT_EQ(changes, 1);
    bool called = false;
    hid->SetOnEnumerate([&](THidDevice&, std::int32_t) { return called = true; });
    EXPECT_EQ(hid->Enumerate(), 0);
    EXPECT_FALSE(called);
}

TEST_F(Transport, CheckOutClaimsOnceAndOnlyAPluggedInDevice) {
    const std::uint32_t id = platform.plug(adapterSpec());
    start();
    THidDevice* device = &hid->Device(0);
    EXPECT_TRUE(device->CheckOut());
    EXPECT_FALSE(device->CheckOut());  // already claimed: false, counters unchanged
    EXPECT_EQ(hid->NumCheckedOutDevices(), 1);
    EXPECT_EQ(hid->NumCheckedInDevices(), 0);

    hid->CheckIn(device);
    ASSERT_EQ(hid->Count(), 1u);
    device = &hid->Device(0);
    EXPECT_FALSE(device->IsCheckedOut());
    EXPECT_EQ(hid->NumCheckedInDevices(), 1);

    // Unclaimed and gone: the next scan frees it.
    platform.unplug(id);
    settleHotplug();
    EXPECT_EQ(hid->Count(), 0u);
}

TEST_F(Transport, AnOfferedDeviceCanBeWrittenOnlyDuringItsOffer) {
    const std::uint32_t id = platform.plug(adapterSpec());
    start();
    const std::uint8_t report[33] = {0x00, 0x41};
    std::uint32_t written = 0;
    bool wroteDuringOffer = false;
    hid->SetOnEnumerate([&](THidDevice& device, std::int32_t) {
        wroteDuringOffer = device.WriteFile(report, 33, written);
        return true;
    });
    hid->Enumerate();
    EXPECT_TRUE(wroteDuringOffer);
    EXPECT_EQ(written, 33u);
    EXPECT_EQ(platform.writtenReports(id).size(), 1u);
    // Not claimed: its handle was closed after the offer and cannot be opened again.
    EXPECT_FALSE(hid->Device(0).WriteFile(report, 33, written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(platform.writtenReports(id).size(), 1u);
}

TEST_F(Transport, TimingSettersKeepTheirRanges) {
    platform.plug(adapterSpec());
    start();
    THidDevice& device = hid->Device(0);
    struct Case {
        std::int32_t value;
        std::int32_t sleepAfter;    // ThreadSleepTime: 10..10000
        std::int32_t pollingAfter;  // PollingDelayTime: 0..10000
    };
    const Case cases[] = {{5, 100, 5},           {10, 10, 10},          {-1, 10, 10},   {0, 10, 0},
                          {10000, 10000, 10000}, {10001, 10000, 10000}, {250, 250, 250}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        device.SetThreadSleepTime(c.value);
        device.SetPollingDelayTime(c.value);
        EXPECT_EQ(device.ThreadSleepTime(), c.sleepAfter);
        EXPECT_EQ(device.PollingDelayTime(), c.pollingAfter);
    }
}

TEST_F(Transport, ControllerDefaultsReachOnlyDevicesThatStillUseThem) {
    platform.plug(adapterSpec());
    platform.plug(keyboardSpec());
    start();
    THidDevice& own = hid->Device(1);
    own.SetThreadSleepTime(50);
    hid->SetDevThreadSleepTime(200);
    EXPECT_EQ(hid->Device(0).ThreadSleepTime(), 200);
    EXPECT_EQ(own.ThreadSleepTime(), 50);
    hid->SetDevThreadSleepTime(5);  // outside the devices' range: ignored
    EXPECT_EQ(hid->DevThreadSleepTime(), 200);
    hid->SetDevPollingDelayTime(20);
    EXPECT_EQ(hid->Device(0).PollingDelayTime(), 20);
    platform.plug(keyboardSpec());
    settleHotplug();
    EXPECT_EQ(hid->Device(2).ThreadSleepTime(), 200);
    EXPECT_EQ(hid->Device(2).PollingDelayTime(), 20);

    // The data handler likewise: a device given its own keeps it.
    int toDefault = 0;
    int toOwn = 0;
    own.SetOnData([&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++toOwn; });
    hid->SetOnDeviceData(
        [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++toDefault; });
    EXPECT_TRUE(hid->Device(0).OnData());
    EXPECT_TRUE(hid->Device(2).OnData());
    own.OnData()(own, 0, nullptr, 0);
    EXPECT_EQ(toOwn, 1);
    EXPECT_EQ(toDefault, 0);

    // The error handler reaches the listed devices that still use the controller's, and none
    // made later.
    std::vector<std::string> errors;
    own.SetOnDataError([&](THidDevice&, std::uint32_t) { errors.emplace_back("own"); });
    hid->SetOnDeviceDataError([&](THidDevice&, std::uint32_t) { errors.emplace_back("default"); });
    hid->Device(0).OnDataError()(hid->Device(0), 5);
    own.OnDataError()(own, 5);
    EXPECT_EQ(errors, (std::vector<std::string>{"default", "own"}));
    platform.plug(keyboardSpec());
    settleHotplug();
    EXPECT_FALSE(hid->Device(3).OnDataError());
}

TEST_F(Transport, ArrivalAndRemovalNameEachDeviceAScanAddsOrFindsGone) {
    const std::uint32_t adapter = platform.plug(adapterSpec());
    hid = std::make_unique<THidDeviceController>(loop, platform);
    std::vector<std::string> seen;
    const auto name = [](const THidDevice& device) {
        return std::string(isAdapter(device) ? "adapter" : "keyboard");
    };
    hid->SetOnArrival([&](THidDevice& device) { seen.push_back("+" + name(device)); });
    hid->SetOnRemoval([&](THidDevice& device) { seen.push_back("-" + name(device)); });
    hid->SetOnEnumerate([](THidDevice& device, std::int32_t) {
        if (isAdapter(device)) {
            device.CheckOut();
        }
        return true;
    });
    hid->SetOnDeviceChange([this](THidDeviceController&) { hid->Enumerate(); });
    ASSERT_TRUE(pump([this] { return !hid->Loading(); }));
    const std::uint32_t keyboard = platform.plug(keyboardSpec());
    settleHotplug();
    platform.unplug(keyboard);
    settleHotplug();
    // The claimed adapter stays listed when unplugged: every later scan finds it gone again.
    platform.unplug(adapter);
    settleHotplug();
    platform.touch();
    settleHotplug();
    EXPECT_EQ(seen, (std::vector<std::string>{"+adapter", "+keyboard", "-keyboard", "-adapter",
                                              "-adapter"}));
}

TEST_F(Transport, ADeviceWithoutAccessIsListedAndClaimedButNeitherReadNorWritten) {
    auto spec = adapterSpec();
    spec.accessible = false;
    platform.plug(spec);
    start();
    ASSERT_EQ(hid->Count(), 1u);
    THidDevice& device = hid->Device(0);
    EXPECT_FALSE(device.HasReadWriteAccess());
    EXPECT_EQ(device.Attributes().ProductID, kAdapterProductId);
    hid->SetOnDeviceData([](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    EXPECT_TRUE(device.CheckOut());
    EXPECT_FALSE(device.HasReader());
    const std::uint8_t report[33] = {0x00, 0x41};
    std::uint32_t written = 1;
    EXPECT_FALSE(device.WriteFile(report, 33, written));
    EXPECT_EQ(device.LastError(), EACCES);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(device.Caps().OutputReportByteLength, 33);  // read without opening the node
}

TEST_F(Transport, AClaimedDeviceThatGainsAccessGetsItsReaderAtTheNextWrite) {
    // The node appears before udev grants the user access to it.
    const std::uint32_t id = platform.plug(adapterSpec());
    platform.failOpens(id, 1, EACCES);
    start();
    ASSERT_EQ(hid->Count(), 1u);
    THidDevice& device = hid->Device(0);
    EXPECT_FALSE(device.HasReadWriteAccess());
    hid->SetOnDeviceData([](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    ASSERT_TRUE(device.CheckOut());
    EXPECT_FALSE(device.HasReader());
    const std::uint8_t report[33] = {0x00, 0x41};
    std::uint32_t written = 0;
    EXPECT_TRUE(device.WriteFile(report, 33, written));
    EXPECT_TRUE(device.HasReadWriteAccess());
    EXPECT_TRUE(device.HasReader());
}

TEST_F(Transport, ADeviceThatCannotBeMadeEndsTheScanUnlessHandled) {
    platform.plug(adapterSpec());
    start();
    ASSERT_EQ(hid->Count(), 1u);
    THidDevice* adapter = &hid->Device(0);

    struct Case {
        const char* what;
        bool identifiable;
        int openFailures, openError;
        bool handled, retry;
        const char* error;   // the scan's error, or none
        std::size_t listed;  // after the scan
    };
    const Case cases[] = {
        {.what = "unidentifiable",
         .identifiable = false,
         .openFailures = 0,
         .openError = 0,
         .handled = false,
         .retry = false,
         .error = kCannotIdentifyText,
         .listed = 1},
        {.what = "unopenable",
         .identifiable = true,
         .openFailures = 1,
         .openError = EIO,
         .handled = false,
         .retry = false,
         .error = kCannotOpenText,
         .listed = 1},
        {.what = "handled: skipped",
         .identifiable = true,
         .openFailures = 1,
         .openError = EIO,
         .handled = true,
         .retry = false,
         .error = nullptr,
         .listed = 1},
        {.what = "handled: tried again",
         .identifiable = true,
         .openFailures = 1,
         .openError = EIO,
         .handled = true,
         .retry = true,
         .error = nullptr,
         .listed = 2},
        // Gone between the listing and the opening: simply not present.
        {.what = "vanished",
         .identifiable = true,
         .openFailures = 1,
         .openError = ENOENT,
         .handled = false,
         .retry = false,
         .error = nullptr,
         .listed = 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scanErrors.clear();
        const int changesBefore = changes;
        int handlerCalls = 0;
        hid->SetOnDeviceCreateError(
            [&](THidDeviceController&, const THidPnPInfo&, bool& handled, bool& retry) {
                ++handlerCalls;
                handled = c.handled;
                retry = c.retry;
            });
        auto spec = keyboardSpec();
        spec.identifiable = c.identifiable;
        const std::uint32_t id = platform.plug(spec);
        if (c.openFailures > 0) {
            platform.failOpens(id, c.openFailures, c.openError);
        }
        settleHotplug();
        if (c.error != nullptr) {
            ASSERT_EQ(scanErrors.size(), 1u);
            EXPECT_EQ(scanErrors[0], c.error);
            EXPECT_EQ(changes, changesBefore);  // the list stayed as it was
        } else {
            EXPECT_TRUE(scanErrors.empty());
        }
        EXPECT_EQ(hid->Count(), c.listed);
        EXPECT_EQ(&hid->Device(0), adapter);
        platform.unplug(id);
        settleHotplug();
    }
}

TEST_F(Transport, AssigningTheDataHandlerStartsAndStopsTheReader) {
    const std::uint32_t id = platform.plug(adapterSpec());
    start();
    THidDevice& device = hid->Device(0);
    ASSERT_TRUE(device.CheckOut());
    EXPECT_FALSE(device.HasReader());  // claimed without a data handler: no reader
    hid->SetOnDeviceData([](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    EXPECT_TRUE(device.HasReader());
    ASSERT_TRUE(pump([&] { return platform.readersOpen(id) == 1; }));
    hid->SetOnDeviceData(nullptr);
    EXPECT_FALSE(device.HasReader());
    EXPECT_EQ(platform.readersOpen(id), 0);
}

TEST_F(Transport, AnUnplugHandlerThatHandsTheDeviceBackIsCalledOnce) {
    const std::uint32_t id = platform.plug(adapterSpec());
    start();
    THidDevice* device = &hid->Device(0);
    ASSERT_TRUE(device->CheckOut());
    int unplugs = 0;
    // The owner hands the device back the moment it goes, which frees it.
    device->SetOnUnplug([&](THidDevice& gone) {
        ++unplugs;
        THidDevice* self = &gone;
        hid->CheckIn(self);
    });
    platform.unplug(id);
    settleHotplug();
    EXPECT_EQ(unplugs, 1);
    EXPECT_EQ(hid->Count(), 0u);
    EXPECT_EQ(hid->NumUnpluggedDevices(), 0);
}

TEST_F(Transport, AStaleDeviceIsNotGivenALaterUnplugHandler) {
    const std::uint32_t id = platform.plug(adapterSpec());
    start();
    int first = 0;
    int later = 0;
    hid->SetOnDeviceUnplug([&](THidDevice&) { ++first; });
    ASSERT_TRUE(hid->Device(0).CheckOut());
    platform.unplug(id);
    settleHotplug();
    EXPECT_EQ(first, 1);
    // Still listed, unplugged and claimed: its unplug was told once and is not told again.
    hid->SetOnDeviceUnplug([&](THidDevice&) { ++later; });
    platform.touch();
    settleHotplug();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace npt::hid::test
