// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/hid_device_controller.h"

#include <algorithm>

namespace npt::hid {

THidDeviceController::THidDeviceController(MainLoop& loop, HidPlatform& platform)
    : loop_(loop), platform_(platform), self_(std::make_shared<THidDeviceController*>(this)) {
    const WaitHandle hotplug = platform_.hotplugHandle();
    if (hotplug != kNoWaitHandle) {
        hotplugWatch_ = loop_.watchReady(hotplug, [this] {
            // Every event is taken, also while a scan runs: a dropped notification must not
            // keep the handle ready.
            if (platform_.takeHotplugEvent()) {
                Notify(false);
            }
        });
        watchingHotplug_ = true;
    }
    // The first scan runs from the main loop, after the owner has assigned its handlers.
    loop_.post([weak = std::weak_ptr<THidDeviceController*>(self_)] {
        if (auto self = weak.lock()) {
            (*self)->loading_ = false;
            (*self)->Notify(true);
        }
    });
}

THidDeviceController::~THidDeviceController() {
    self_.reset();
    if (watchingHotplug_) {
        loop_.unwatch(hotplugWatch_);
    }
    onDeviceChange_ = nullptr;
    SetOnDeviceUnplug(nullptr);
    onEnumerate_ = nullptr;
    // Detached first, so that freeing a device does not touch the list.
    DeviceList devices = std::move(list_);
    list_.clear();
    for (auto& device : devices) {
        device->controller_ = nullptr;
        if (device->IsCheckedOut()) {
            device->HandleUnplug();
        }
        device.reset();
    }
}

void THidDeviceController::Notify(bool initial) {
    if (inDeviceChange_) {
        return;  // a scan is running: this notification is dropped, not deferred
    }
    inDeviceChange_ = true;
    initialScan_ = initial;
    try {
        DeviceChange();
    } catch (const EControllerError& error) {
        inDeviceChange_ = false;
        initialScan_ = false;
        if (onScanError_) {
            THidScanErrorEvent handler = onScanError_;
            handler(*this, error);
        }
        return;
    }
    inDeviceChange_ = false;
    initialScan_ = false;
}

THidDeviceController::DeviceList THidDeviceController::Scan() {
    DeviceList found;
    for (const THidPnPInfo& info : platform_.presentInterfaces()) {
        for (;;) {
            try {
                found.emplace_back(new THidDevice(info, *this));
                found.back()->controller_ = nullptr;  // not listed until the arrival pass
                break;
            } catch (const THidDevice::Vanished&) {
                break;  // gone between the listing and the opening: not present any more
            } catch (const EControllerError&) {
                bool handled = false;
                bool retry = false;
                if (onDeviceCreateError_) {
                    THidDeviceCreateError handler = onDeviceCreateError_;
                    handler(*this, info, handled, retry);
                }
                if (!handled) {
                    throw;  // the objects made so far are released with found
                }
                if (!retry) {
                    break;
                }
            }
        }
    }
    return found;
}

void THidDeviceController::DeviceChange() {
    bool changed = initialScan_;
    DeviceList found = Scan();

    const auto foundHas = [&found](std::uint32_t id) {
        return std::any_of(found.begin(), found.end(),
                           [id](const auto& d) { return d && d->PnPInfo().DeviceID == id; });
    };
    // Removal pass, from the last to the first.
    for (std::size_t i = list_.size(); i-- > 0;) {
        if (i >= list_.size()) {
            continue;  // a handler shortened the list
        }
        THidDevice* device = list_[i].get();
        if (device->IsPluggedIn() && foundHas(device->PnPInfo().DeviceID)) {
            continue;
        }
        device->HandleUnplug();
        if (onRemoval_ && IndexOf(device) >= 0) {
            THidPlugEvent handler = onRemoval_;
            handler(*device);
        }
        if (IndexOf(device) >= 0 && !device->IsCheckedOut()) {
            Free(device);
        }
        changed = true;
    }
    // Duplicate pass: a device still listed and plugged in keeps its object.
    for (auto& candidate : found) {
        const std::uint32_t id = candidate->PnPInfo().DeviceID;
        const bool listed = std::any_of(list_.begin(), list_.end(), [id](const auto& d) {
            return d->IsPluggedIn() && d->PnPInfo().DeviceID == id;
        });
        if (listed) {
            candidate.reset();
        }
    }
    // Arrival pass.
    for (auto& candidate : found) {
        if (!candidate) {
            continue;
        }
        THidDevice* device = candidate.get();
        device->controller_ = this;
        list_.push_back(std::move(candidate));
        changed = true;
        if (onArrival_) {
            THidPlugEvent handler = onArrival_;
            handler(*device);
        }
    }
    Recount();
    if (changed && onDeviceChange_) {
        THidNotifyEvent handler = onDeviceChange_;
        handler(*this);
    }
}

std::int32_t THidDeviceController::Enumerate() {
    std::int32_t offered = 0;
    for (std::size_t i = 0; i < list_.size(); ++i) {
        THidDevice* device = list_[i].get();
        if (!device->IsPluggedIn()) {
            continue;
        }
        ++offered;
        if (!onEnumerate_) {
            break;
        }
        THidEnumerateEvent handler = onEnumerate_;
        device->flags_->enumerated = true;
        const bool more = handler(*device, static_cast<std::int32_t>(i));
        if (IndexOf(device) >= 0) {
            device->flags_->enumerated = false;
            if (!device->IsCheckedOut()) {
                device->CloseFile();
            }
        }
        if (!more) {
            break;
        }
    }
    return offered;
}

void THidDeviceController::CheckIn(THidDevice*& HidDev) {
    THidDevice* device = HidDev;
    HidDev = nullptr;
    if (device == nullptr) {
        return;
    }
    device->StopReader(true);
    if (IndexOf(device) < 0) {
        return;  // freed by a handler that ran while the reader stopped
    }
    device->CloseFile();
    if (device->IsPluggedIn()) {
        device->flags_->checkedOut = false;
        Recount();
    } else {
        Free(device);
    }
}

int THidDeviceController::CheckInUnplugged() {
    int count = 0;
    for (std::size_t i = list_.size(); i-- > 0;) {
        if (i >= list_.size()) {
            continue;
        }
        THidDevice* device = list_[i].get();
        if (!device->IsPluggedIn() && device->IsCheckedOut()) {
            CheckIn(device);
            ++count;
        }
    }
    return count;
}

void THidDeviceController::Free(THidDevice* device) {
    const std::ptrdiff_t index = IndexOf(device);
    if (index < 0) {
        return;
    }
    std::unique_ptr<THidDevice> owned = std::move(list_[static_cast<std::size_t>(index)]);
    list_.erase(list_.begin() + index);
    owned->controller_ = nullptr;
    owned.reset();
    Recount();
}

std::ptrdiff_t THidDeviceController::IndexOf(const THidDevice* device) const {
    for (std::size_t i = 0; i < list_.size(); ++i) {
        if (list_[i].get() == device) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

void THidDeviceController::Recount() {
    std::int32_t checkedOut = 0;
    numCheckedIn_ = 0;
    numUnplugged_ = 0;
    for (const auto& device : list_) {
        if (device->IsCheckedOut()) {
            ++checkedOut;
        } else {
            ++numCheckedIn_;
        }
        if (!device->IsPluggedIn()) {
            ++numUnplugged_;
        }
    }
    numCheckedOut_ = checkedOut - numUnplugged_;
}

void THidDeviceController::SetOnDeviceChange(THidNotifyEvent handler) {
    const bool differs = handler || onDeviceChange_;
    onDeviceChange_ = std::move(handler);
    if (differs && !loading_ && !inDeviceChange_) {
        inDeviceChange_ = true;
        try {
            DeviceChange();
        } catch (...) {
            inDeviceChange_ = false;
            throw;
        }
        inDeviceChange_ = false;
    }
}

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
    for (std::size_t i = 0; i < list_.size(); ++i) {
        THidDevice& device = *list_[i];
        if (device.defaultOnData_) {
            device.AssignOnData(handler);
        }
    }
    onDeviceData_ = std::move(handler);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent handler) {
    for (const auto& device : list_) {
        if (device->defaultOnDataError_) {
            device->onDataError_ = handler;
        }
    }
    onDeviceDataError_ = std::move(handler);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
    for (const auto& device : list_) {
        if (device->defaultOnUnplug_) {
            device->onUnplug_ = handler;
        }
    }
    onDeviceUnplug_ = std::move(handler);
}

void THidDeviceController::PassDefault(std::int32_t& current, std::int32_t ms, std::int32_t min,
                                       std::int32_t (THidDevice::*get)() const,
                                       void (THidDevice::*set)(std::int32_t)) {
    if (ms == current || ms < min || ms > 10000) {
        return;
    }
    for (const auto& device : list_) {
        if (((*device).*get)() == current) {
            ((*device).*set)(ms);
        }
    }
    current = ms;
}

void THidDeviceController::SetDevPollingDelayTime(std::int32_t ms) {
    PassDefault(devPollingDelayTime_, ms, 0, &THidDevice::PollingDelayTime,
                &THidDevice::SetPollingDelayTime);
}

void THidDeviceController::SetDevThreadSleepTime(std::int32_t ms) {
    PassDefault(devThreadSleepTime_, ms, 10, &THidDevice::ThreadSleepTime,
                &THidDevice::SetThreadSleepTime);
}

}  // namespace npt::hid
