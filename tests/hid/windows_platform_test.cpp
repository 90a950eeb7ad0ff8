// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows platform against the system's own HID interfaces (under Wine: its two virtual
// ones, and no adapter): listing, identity, capabilities, opening, reading and cancelling, the
// errors of paths that are gone, errno values from system codes, and hot-plug notifications
// reaching the controller's scan on the main thread.
#include <windows.h>
// After <windows.h>.
#include <dbt.h>
// MinGW-w64's HID headers declare C functions without saying so to C++.
extern "C" {
#include <hidsdi.h>
}

#include <cerrno>
#include <cwctype>

#include "hid/windows/windows_error.h"
#include "hid/windows/windows_platform.h"
#include "transport_fixture.h"

namespace npt::hid::test {
namespace {

// A path of the HID interface class that names no interface.
constexpr const char* kAbsentPath =
    R"(\\?\hid#vid_1915&pid_007b#9&1c9a7e8&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";

TEST(WindowsError, SystemCodesBecomeTheNearestErrnoValue) {
    const struct {
        DWORD code;
        int error;
    } cases[] = {
        {ERROR_ACCESS_DENIED, EACCES},     {ERROR_FILE_NOT_FOUND, ENODEV},
        {ERROR_PATH_NOT_FOUND, ENODEV},    {ERROR_DEVICE_NOT_CONNECTED, ENODEV},
        {ERROR_BAD_COMMAND, ENODEV},       {ERROR_OPERATION_ABORTED, ENODEV},
        {ERROR_GEN_FAILURE, EIO},          {ERROR_SEM_TIMEOUT, ETIMEDOUT},
        {ERROR_SHARING_VIOLATION, EBUSY},  {ERROR_INVALID_USER_BUFFER, EINVAL},
        {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_SUCCESS + 0x7FFF, EIO},  // unknown codes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errnoFromWindowsError(c.code), c.error) << c.code;
    }
}

class WindowsPlatform : public ::testing::Test {
  protected:
    WindowsHidPlatform platform;
    PollLoop loop;

    bool pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        return loop.runUntil(done, timeout);
    }

    // Sends the platform's notification window what the system sends at an arrival or removal
    // of a device interface of class, at path.
    void notify(WPARAM event, const GUID& interfaceClass, const std::wstring& path) {
        const HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr,
                                            WindowsHidPlatform::kNotificationWindowClass, nullptr);
        ASSERT_NE(window, nullptr);
        std::vector<DWORD> buffer(
            (sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + path.size() * sizeof(wchar_t)) /
                sizeof(DWORD) +
            1);
        auto* change = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
        change->dbcc_size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
        change->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        change->dbcc_classguid = interfaceClass;
        std::copy(path.begin(), path.end(), change->dbcc_name);
        ::SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(change));
    }

    static GUID hidClass() {
        GUID guid;
        ::HidD_GetHidGuid(&guid);
        return guid;
    }
};

std::wstring wide(const std::string& text) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

TEST_F(WindowsPlatform, ListsTheSystemsInterfacesWithIdentityAndCapabilities) {
    const auto present = platform.presentInterfaces();
    ASSERT_FALSE(present.empty()) << "the system lists no HID interface";
    const auto again = platform.presentInterfaces();
    ASSERT_EQ(again.size(), present.size());
    for (std::size_t i = 0; i < present.size(); ++i) {
        const THidPnPInfo& info = present[i];
        SCOPED_TRACE(info.DevicePath);
        EXPECT_EQ(info.DevicePath.rfind(R"(\\?\)", 0), 0u);
        EXPECT_FALSE(info.SysPath.empty());
        EXPECT_EQ(again[i].DeviceID, info.DeviceID);  // stable while present
        const auto attributes = platform.attributes(info);
        ASSERT_TRUE(attributes.has_value());
        EXPECT_NE(attributes->VendorID, 0);
        EXPECT_FALSE(attributes->VendorID == kAdapterVendorId &&
                     attributes->ProductID == kAdapterProductId);
        const auto layout = platform.reportLayout(info);
        ASSERT_TRUE(layout.has_value());
        EXPECT_NE(layout->caps.UsagePage, 0);
        EXPECT_GT(layout->caps.InputReportByteLength, 0);
        EXPECT_GE(layout->caps.NumberLinkCollectionNodes, 1);

        HidPlatform::OpenStatus status;
        int error = -1;
        auto handle = platform.open(info, status, error);
        ASSERT_NE(handle, nullptr);
        EXPECT_TRUE(status == HidPlatform::OpenStatus::ReadWrite ||
                    status == HidPlatform::OpenStatus::NoAccess);
        EXPECT_EQ(handle->hasReadWriteAccess(), status == HidPlatform::OpenStatus::ReadWrite);
        const std::uint8_t report[33] = {0, 1};
        if (!handle->hasReadWriteAccess()) {
            EXPECT_EQ(handle->write(report), EACCES);
        } else if (layout->caps.OutputReportByteLength == 0) {
            // Nothing to write to (Wine's mouse and keyboard): refused at once, saying why.
            const int error = handle->write(report);
            EXPECT_TRUE(error == EINVAL || error == ENOTSUP) << error;
        }
    }
    for (std::size_t i = 1; i < present.size(); ++i) {
        EXPECT_NE(present[i].DeviceID, present[0].DeviceID);
    }
}

TEST_F(WindowsPlatform, AReadUnderWayIsCancelledWhenTheChannelGoes) {
    // A report may never come (nobody moves Wine's mouse): the channel's end must not wait for
    // one, nor leave the read's handles behind.
    const auto present = platform.presentInterfaces();
    ASSERT_FALSE(present.empty());
    int opened = 0;
    const std::size_t before = handlesOfThisProcess();
    // Ten rounds: a handle left by each channel adds up past the few event objects that locks
    // may get late.
    for (int round = 0; round < 10; ++round) {
        for (const THidPnPInfo& info : present) {
            int error = 0;
            auto channel = platform.openRead(info, false, error);
            if (!channel) {
                EXPECT_NE(error, 0);  // the system may keep an interface to itself
                continue;
            }
            ++opened;
            std::vector<std::uint8_t> buffer(
                platform.reportLayout(info)->caps.InputReportByteLength);
            const auto result = channel->read(buffer);
            if (result.kind == HidReadChannel::Result::Report) {
                EXPECT_GT(result.size, 0u);
            } else {
                EXPECT_EQ(result.kind, HidReadChannel::Result::Nothing);
                EXPECT_FALSE(isReady(channel->waitHandle()));
            }
            const auto start = std::chrono::steady_clock::now();
            channel.reset();
            EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
        }
    }
    EXPECT_LE(handlesOfThisProcess(), before + kLateLockHandles);
    if (opened == 0) {
        GTEST_SKIP() << "no interface could be opened for reading";
    }
}

TEST_F(WindowsPlatform, APathThatIsGoneFailsWithENODEV) {
    const THidPnPInfo gone{999, kAbsentPath, {}};
    HidPlatform::OpenStatus status = HidPlatform::OpenStatus::ReadWrite;
    int error = 0;
    EXPECT_EQ(platform.open(gone, status, error), nullptr);
    EXPECT_EQ(status, HidPlatform::OpenStatus::Vanished);
    EXPECT_EQ(error, ENODEV);
    error = 0;
    EXPECT_EQ(platform.openRead(gone, false, error), nullptr);
    EXPECT_EQ(error, ENODEV);
    EXPECT_FALSE(platform.attributes(gone).has_value());
    EXPECT_FALSE(platform.reportLayout(gone).has_value());
}

TEST_F(WindowsPlatform, TheControllerListsEveryInterfaceAndClaimsNone) {
    // SetupAPI keeps the registry keys its first listing opens.
    platform.presentInterfaces();
    const std::size_t before = handlesOfThisProcess();
    // Ten controllers in turn: a handle left by each listing or opening adds up past the few
    // event objects that locks may get late.
    for (int round = 0; round < 10 && !HasFailure(); ++round) {
        THidDeviceController hid(loop, platform);
        std::vector<THidDevice*> offered;
        hid.SetOnEnumerate([&](THidDevice& device, std::int32_t) {
            offered.push_back(&device);
            return true;  // not the adapter: passed over
        });
        int changes = 0;
        hid.SetOnDeviceChange([&](THidDeviceController& sender) {
            ++changes;
            sender.Enumerate();
        });
        ASSERT_TRUE(pump([&] { return !hid.Loading() && changes == 1; }));
        EXPECT_EQ(hid.Count(), platform.presentInterfaces().size());
        ASSERT_EQ(offered.size(), hid.Count());
        // No SCOPED_TRACE here: its first use starts a thread of GoogleTest's for good.
        for (THidDevice* device : offered) {
            const std::string& path = device->PnPInfo().DevicePath;
            EXPECT_FALSE(isAdapter(*device)) << path;
            EXPECT_TRUE(device->IsPluggedIn()) << path;
            EXPECT_FALSE(device->IsCheckedOut()) << path;
            EXPECT_GT(device->Caps().InputReportByteLength, 0) << path;
        }
        EXPECT_EQ(hid.NumCheckedInDevices(), static_cast<std::int32_t>(hid.Count()));
    }
    EXPECT_LE(handlesOfThisProcess(), before + kLateLockHandles);
}

TEST_F(WindowsPlatform, OnlyHidInterfaceNotificationsCount) {
    const WaitHandle hotplug = platform.hotplugHandle();
    ASSERT_NE(hotplug, kNoWaitHandle);
    EXPECT_FALSE(isReady(hotplug));
    const GUID otherClass = {
        0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};
    notify(DBT_DEVICEARRIVAL, otherClass, L"\\\\?\\usb#vid_1915&pid_007b#1#{a5dcbf10}");
    EXPECT_FALSE(isReady(hotplug));
    notify(DBT_DEVICEQUERYREMOVE, hidClass(), wide(kAbsentPath));
    EXPECT_FALSE(isReady(hotplug));
    // Two notifications before a scan make one.
    notify(DBT_DEVICEARRIVAL, hidClass(), wide(kAbsentPath));
    notify(DBT_DEVICEREMOVECOMPLETE, hidClass(), wide(kAbsentPath));
    EXPECT_TRUE(isReady(hotplug));
    EXPECT_TRUE(platform.takeHotplugEvent());
    EXPECT_FALSE(isReady(hotplug));
    EXPECT_FALSE(platform.takeHotplugEvent());
}

TEST_F(WindowsPlatform, ARemovalNotificationRenewsTheDeviceAtTheControllersNextScan) {
    // The system may put a device that comes back at the path it had: once its removal was
    // announced, the controller must see a new device there, not the stale object.
    THidDeviceController hid(loop, platform);
    int changes = 0;
    std::vector<std::thread::id> scanThreads;
    hid.SetOnDeviceChange([&](THidDeviceController&) {
        ++changes;
        scanThreads.push_back(std::this_thread::get_id());
    });
    std::vector<std::string> removed;
    hid.SetOnRemoval([&](THidDevice& device) { removed.push_back(device.PnPInfo().DevicePath); });
    ASSERT_TRUE(pump([&] { return !hid.Loading() && changes == 1; }));
    ASSERT_GT(hid.Count(), 0u);
    const THidPnPInfo first = hid.Device(0).PnPInfo();
    std::wstring path = wide(first.DevicePath);
    for (wchar_t& c : path) {
        c = static_cast<wchar_t>(std::towupper(c));  // the notification's own spelling
    }
    notify(DBT_DEVICEREMOVECOMPLETE, hidClass(), path);
    ASSERT_TRUE(pump([&] { return changes == 2; }));
    EXPECT_EQ(removed, std::vector<std::string>{first.DevicePath});
    EXPECT_EQ(scanThreads.back(), std::this_thread::get_id());
    bool renewed = false;
    for (std::size_t i = 0; i < hid.Count(); ++i) {
        const THidPnPInfo& info = hid.Device(i).PnPInfo();
        if (info.DevicePath == first.DevicePath) {
            renewed = info.DeviceID != first.DeviceID;
        }
    }
    EXPECT_TRUE(renewed);
    // An arrival that changes nothing scans and finds the same list.
    notify(DBT_DEVICEARRIVAL, hidClass(), path);
    ASSERT_TRUE(pump([&] { return !isReady(platform.hotplugHandle()); }));
    loop.processEvents(20ms);
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace npt::hid::test
