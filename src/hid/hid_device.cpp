// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/hid_device.h"

#include <cerrno>

#include "hid/hid_device_controller.h"

namespace npt::hid {

namespace {

constexpr std::int32_t kMaxPollingDelay = 10000;
constexpr std::int32_t kMinThreadSleep = 10;
constexpr std::int32_t kMaxThreadSleep = 10000;

}  // namespace

THidDevice::THidDevice(THidPnPInfo info, THidDeviceController& controller)
    : controller_(&controller),
      platform_(controller.platform_),
      loop_(controller.loop_),
      pnpInfo_(std::move(info)),
      flags_(std::make_shared<THidDeviceFlags>()) {
    flags_->pollingDelayTime = controller.devPollingDelayTime_;
    flags_->threadSleepTime = controller.devThreadSleepTime_;
    onData_ = controller.onDeviceData_;  // not claimed yet: no reader starts
    onUnplug_ = controller.onDeviceUnplug_;
    // The controller's error handler reaches only devices listed when it is assigned; a new
    // device still counts as using the default while that default is none.
    defaultOnDataError_ = !controller.onDeviceDataError_;

    HidPlatform::OpenStatus status;
    int error = 0;
    auto handle = platform_.open(pnpInfo_, status, error);
    if (status == HidPlatform::OpenStatus::Vanished) {
        throw Vanished{};
    }
    if (status == HidPlatform::OpenStatus::Failed || !handle) {
        throw EControllerError(kCannotOpenText);
    }
    hasReadWriteAccess_ = status == HidPlatform::OpenStatus::ReadWrite;
    const auto attributes = platform_.attributes(pnpInfo_);
    if (!attributes) {
        throw EControllerError(kCannotIdentifyText);
    }
    attributes_ = *attributes;
    // A listed device that nobody has claimed holds no open handle: handle closes here.
}

THidDevice::~THidDevice() {
    // A device being freed delivers nothing more: its owner may be going away as well.
    StopReader(false);
    CloseFile();
}

bool THidDevice::CheckOut() {
    if (controller_ == nullptr || !IsPluggedIn() || IsCheckedOut()) {
        return false;
    }
    flags_->checkedOut = true;
    controller_->Recount();
    StartReader();
    return true;
}

bool THidDevice::OpenFile() {
    if (!handle_ && IsUsable()) {
        HidPlatform::OpenStatus status;
        int error = 0;
        handle_ = platform_.open(pnpInfo_, status, error);
        if (handle_) {
            hasReadWriteAccess_ = status == HidPlatform::OpenStatus::ReadWrite;
            // Access granted since the claim (udev applies the adapter's rule just after the
            // node appears): the reader the claim could not start starts now.
            StartReader();
        } else {
            lastError_ = error != 0 ? error : ENODEV;
        }
    } else if (!handle_) {
        lastError_ = IsPluggedIn() ? EBADF : ENODEV;
    }
    return handle_ != nullptr;
}

void THidDevice::CloseFile() {
    handle_.reset();
}

bool THidDevice::WriteFile(const std::uint8_t* Report, std::uint32_t ToWrite,
                           std::uint32_t& BytesWritten) {
    BytesWritten = 0;
    int error = 0;
    if (!OpenFile()) {
        error = lastError_;
    } else if (!handle_->hasReadWriteAccess()) {
        error = EACCES;
    } else {
        error = handle_->write({Report, ToWrite});
    }
    if (error != 0) {
        lastError_ = error;
        errno = error;
        return false;
    }
    BytesWritten = ToWrite;
    return true;
}

THidCaps THidDevice::Caps() {
    if (!layout_) {
        layout_ = platform_.reportLayout(pnpInfo_);
    }
    return layout_ ? layout_->caps : THidCaps{};
}

void THidDevice::SetOnData(THidDataEvent handler) {
    defaultOnData_ = false;
    AssignOnData(std::move(handler));
}

void THidDevice::AssignOnData(THidDataEvent handler) {
    if (!handler) {
        StopReader(true);
    }
    onData_ = std::move(handler);
    StartReader();
}

void THidDevice::SetOnDataError(THidDataErrorEvent handler) {
    defaultOnDataError_ = false;
    onDataError_ = std::move(handler);
}

void THidDevice::SetOnUnplug(THidPlugEvent handler) {
    defaultOnUnplug_ = false;
    onUnplug_ = std::move(handler);
}

void THidDevice::SetPollingDelayTime(std::int32_t ms) {
    if (ms >= 0 && ms <= kMaxPollingDelay) {
        flags_->pollingDelayTime = ms;
    }
}

void THidDevice::SetThreadSleepTime(std::int32_t ms) {
    if (ms >= kMinThreadSleep && ms <= kMaxThreadSleep) {
        flags_->threadSleepTime = ms;
    }
}

void THidDevice::StartReader() {
    if (!onData_ || !IsPluggedIn() || !IsCheckedOut() || !hasReadWriteAccess_ || reader_) {
        return;
    }
    const THidCaps caps = Caps();
    const bool numbered = layout_ && layout_->numberedReports;
    reader_.reset(new THidDeviceReadThread(*this, flags_, pnpInfo_, platform_, loop_,
                                           caps.InputReportByteLength, numbered));
}

void THidDevice::StopReader(bool serve) {
    // Taken out first: a handler run while the reader stops may come back here.
    std::unique_ptr<THidDeviceReadThread> reader = std::move(reader_);
    if (reader) {
        reader->Stop(serve);
    }
}

void THidDevice::HandleUnplug() {
    CloseFile();
    flags_->pluggedIn = false;
    if (reader_) {
        reader_->Wake();  // it closes its own read handle once it sees the device unusable
    }
    // Cleared before the call: it fires at most once, and a handler that hands the device
    // back (which frees it) leaves nothing of it to be touched here.
    THidPlugEvent handler = std::move(onUnplug_);
    onUnplug_ = nullptr;
    // Its handler is none now: a later default reaches it only if the default is none as well,
    // so the stale object is not told of its unplug a second time.
    defaultOnUnplug_ = controller_ == nullptr || !controller_->onDeviceUnplug_;
    if (handler) {
        handler(*this);
    }
}

void THidDevice::DeliverReport(const std::uint8_t* report, std::size_t bytesRead) {
    if (!onData_) {
        return;
    }
    THidDataEvent handler = onData_;  // the handler may replace itself
    handler(*this, report[0], report + 1, static_cast<std::uint16_t>(bytesRead - 1));
}

void THidDevice::DeliverReadError(std::uint32_t error) {
    if (onDataError_) {
        THidDataErrorEvent handler = onDataError_;
        handler(*this, error);
    }
}

}  // namespace npt::hid
