// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps one device object for every HID interface present, notices interfaces coming and going,
// and offers the present ones to its owner through OnEnumerate. The owner claims (checks out)
// the one it wants; a claimed device's input reports reach the owner on the main thread through
// OnDeviceData.
//
// Everything here runs on the main thread. The first scan is posted to the main loop at
// construction and always reports a change; until it runs the controller is loading: handlers
// assigned meanwhile are only stored. After it, every arrival or removal of a HID interface's
// node runs one scan; a notification that comes while a scan (or a handler it called) is still
// running is dropped.
//
// A device object stays valid from the scan that found it until a scan finds it gone while
// nobody has claimed it, until it is checked in after being unplugged, or until the controller
// is destroyed; so an owner may keep a pointer to a claimed device across scans. A device that
// is unplugged while claimed stays listed, unplugged, until it is checked in; every scan
// reports a change while such a device is listed, so the owner should check it in at the next
// OnDeviceChange (CheckInUnplugged does that for all of them).
#include <cstdint>
#include <memory>
#include <vector>

#include "hid/hid_device.h"
#include "hid/hid_events.h"
#include "hid/hid_platform.h"
#include "hid/main_loop.h"

namespace npt::hid {

class THidDeviceController {
  public:
    // loop and platform must outlive the controller.
    THidDeviceController(MainLoop& loop, HidPlatform& platform);
    ~THidDeviceController();
    THidDeviceController(const THidDeviceController&) = delete;
    THidDeviceController& operator=(const THidDeviceController&) = delete;

    // Offers every listed device that is plugged in to OnEnumerate, in list order, with its list
    // position; stops after a callback that returns false. Returns how many were offered, the
    // last one included. An offered device may be opened (and written) during its callback;
    // unless the callback claims it, its handle is closed afterwards.
    std::int32_t Enumerate();

    // Hands a claimed device back: its reader is stopped and its handle closed; a device still
    // plugged in becomes unclaimed, an unplugged one is freed. HidDev becomes null either way.
    void CheckIn(THidDevice*& HidDev);
    // Checks in every claimed device that has been unplugged; returns how many.
    int CheckInUnplugged();

    // Runs one scan and reconciles the list with it. Throws EControllerError when a device
    // object cannot be made and no OnDeviceCreateError handler handles it; the list is then left
    // as it was.
    void DeviceChange();

    std::size_t Count() const { return list_.size(); }
    // The loop the controller's handlers run on.
    MainLoop& Loop() const { return loop_; }
    THidDevice& Device(std::size_t index) const { return *list_.at(index); }

    std::int32_t NumCheckedInDevices() const { return numCheckedIn_; }
    std::int32_t NumCheckedOutDevices() const { return numCheckedOut_; }  // still plugged in
    std::int32_t NumUnpluggedDevices() const { return numUnplugged_; }
    bool Loading() const { return loading_; }

    // Called at the end of a scan that changed the list (and after the first scan). Assigning
    // it after loading runs a scan at once.
    void SetOnDeviceChange(THidNotifyEvent handler);
    void SetOnEnumerate(THidEnumerateEvent handler) { onEnumerate_ = std::move(handler); }
    void SetOnArrival(THidPlugEvent handler) { onArrival_ = std::move(handler); }
    void SetOnRemoval(THidPlugEvent handler) { onRemoval_ = std::move(handler); }
    void SetOnDeviceCreateError(THidDeviceCreateError handler) {
        onDeviceCreateError_ = std::move(handler);
    }
    // Receives the error of a scan started by a notification (no caller to throw to).
    void SetOnScanError(THidScanErrorEvent handler) { onScanError_ = std::move(handler); }

    // Defaults of the device objects: given to every listed device that still uses the default,
    // and to every device made later (OnDeviceDataError to listed devices only).
    void SetOnDeviceData(THidDataEvent handler);
    void SetOnDeviceDataError(THidDataErrorEvent handler);
    void SetOnDeviceUnplug(THidPlugEvent handler);
    const THidDataEvent& OnDeviceData() const { return onDeviceData_; }

    // Timing defaults of new device objects, also given to listed devices that still use the
    // old default. Values outside the devices' ranges (0..10000 and 10..10000 ms) are ignored.
    std::int32_t DevPollingDelayTime() const { return devPollingDelayTime_; }
    void SetDevPollingDelayTime(std::int32_t ms);
    std::int32_t DevThreadSleepTime() const { return devThreadSleepTime_; }
    void SetDevThreadSleepTime(std::int32_t ms);

  private:
    friend class THidDevice;

    using DeviceList = std::vector<std::unique_ptr<THidDevice>>;

    // A hot-plug notification, or the first scan (initial): one scan unless one is running.
    void Notify(bool initial);
    DeviceList Scan();
    void Recount();
    std::ptrdiff_t IndexOf(const THidDevice* device) const;
    void Free(THidDevice* device);
    // Stores a timing default (min..10000 ms) after giving it to the devices that use the old.
    void PassDefault(std::int32_t& current, std::int32_t ms, std::int32_t min,
                     std::int32_t (THidDevice::*get)() const,
                     void (THidDevice::*set)(std::int32_t));

    MainLoop& loop_;
    HidPlatform& platform_;
    DeviceList list_;
    std::int32_t numCheckedIn_ = 0;
    std::int32_t numCheckedOut_ = 0;
    std::int32_t numUnplugged_ = 0;
    bool loading_ = true;
    bool inDeviceChange_ = false;
    bool initialScan_ = false;  // the scan running now is the first one
    MainLoop::WatchId hotplugWatch_ = 0;
    bool watchingHotplug_ = false;
    // Tells the posted first scan whether the controller still exists.
    std::shared_ptr<THidDeviceController*> self_;

    THidNotifyEvent onDeviceChange_;
    THidEnumerateEvent onEnumerate_;
    THidPlugEvent onArrival_;
    THidPlugEvent onRemoval_;
    THidDeviceCreateError onDeviceCreateError_;
    THidScanErrorEvent onScanError_;
    THidDataEvent onDeviceData_;
    THidDataErrorEvent onDeviceDataError_;
    THidPlugEvent onDeviceUnplug_;
    std::int32_t devPollingDelayTime_ = 0;
    std::int32_t devThreadSleepTime_ = 100;
};

}  // namespace npt::hid
