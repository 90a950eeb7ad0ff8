// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One HID interface found by the controller's scan: its identity, attributes and report
// capabilities, its handle (opened only when needed), its check-out state and handlers, and the
// reader that a claimed device runs.
#include <cstdint>
#include <memory>
#include <optional>

#include "hid/hid_events.h"
#include "hid/hid_platform.h"
#include "hid/hid_read_thread.h"
#include "hid/main_loop.h"

namespace npt::hid {

class THidDevice {
  public:
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    // Claims the device: true only when it was plugged in, listed and not yet claimed. Starts
    // the reader when a data handler is assigned and the device could be opened for writing.
    bool CheckOut();

    // Writes one whole output report (report ID first, ToWrite bytes: the output report's
    // length). False, with LastError() and errno saying why, when the device is not usable (not
    // plugged in, or neither claimed nor being offered), could only be opened without access
    // rights (EACCES), or refused the report. Blocks until the device has taken it.
    bool WriteFile(const std::uint8_t* Report, std::uint32_t ToWrite, std::uint32_t& BytesWritten);
    int LastError() const { return lastError_; }

    // Report lengths and top-level usage; all zeros while the platform cannot read them.
    THidCaps Caps();
    const THidAttributes& Attributes() const { return attributes_; }
    const THidPnPInfo& PnPInfo() const { return pnpInfo_; }

    bool IsPluggedIn() const { return flags_->pluggedIn; }
    bool IsCheckedOut() const { return flags_->checkedOut; }
    // Whether the last opening of the handle got read and write access.
    bool HasReadWriteAccess() const { return hasReadWriteAccess_; }
    bool HasReader() const { return reader_ != nullptr; }
    // The reader has its read handle open: a report the device sends from now on is delivered.
    bool IsReading() const { return reader_ != nullptr && reader_->reading_; }

    // The handle used for writes: opened when the device is usable, kept open afterwards until
    // check-in, unplug or the end of an offer. OpenFile returns whether it is open.
    bool OpenFile();
    void CloseFile();

    // Assigning a data handler starts the reader of a claimed device; clearing it stops the
    // reader (delivering a report the reader was waiting to hand over first).
    const THidDataEvent& OnData() const { return onData_; }
    void SetOnData(THidDataEvent handler);
    // Called on the main thread when the reader fails to read (a fault other than the unplug).
    const THidDataErrorEvent& OnDataError() const { return onDataError_; }
    void SetOnDataError(THidDataErrorEvent handler);
    void SetOnUnplug(THidPlugEvent handler);

    // Pause of the reader after each report, 0 to 10000 ms; other values are ignored.
    std::int32_t PollingDelayTime() const { return flags_->pollingDelayTime; }
    void SetPollingDelayTime(std::int32_t ms);
    // Longest wait of the reader between looks at its stop request, 10 to 10000 ms; also the
    // retry pace after a failed read. Other values are ignored.
    std::int32_t ThreadSleepTime() const { return flags_->threadSleepTime; }
    void SetThreadSleepTime(std::int32_t ms);

    std::intptr_t Tag = 0;  // free for the owner

  private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;
    friend struct std::default_delete<THidDevice>;

    // Made by the controller's scan only. Throws EControllerError when the interface cannot be
    // opened even without access rights, or its attributes cannot be read; Vanished when it went
    // away meanwhile.
    struct Vanished {};
    THidDevice(THidPnPInfo info, THidDeviceController& controller);
    ~THidDevice();

    bool IsUsable() const { return flags_->usable(); }
    void StartReader();
    // Stops the reader and waits for it. With serve, a report it was waiting to hand over is
    // delivered first.
    void StopReader(bool serve);
    void AssignOnData(THidDataEvent handler);
    // The device is gone: handle closed, reader woken, IsPluggedIn cleared, OnUnplug called once.
    void HandleUnplug();

    // Main thread, from the reader's hand-off.
    void DeliverReport(const std::uint8_t* report, std::size_t bytesRead);
    void DeliverReadError(std::uint32_t error);

    THidDeviceController* controller_;  // null once detached
    HidPlatform& platform_;
    MainLoop& loop_;
    THidPnPInfo pnpInfo_;
    THidAttributes attributes_;
    std::optional<ReportLayout> layout_;  // read on first need
    std::shared_ptr<THidDeviceFlags> flags_;
    std::unique_ptr<HidHandle> handle_;
    bool hasReadWriteAccess_ = false;
    int lastError_ = 0;
    THidDataEvent onData_;
    THidDataErrorEvent onDataError_;
    THidPlugEvent onUnplug_;
    // Whether each handler is still the controller's default (the controller hands a new
    // default only to devices that have not been given one of their own).
    bool defaultOnData_ = true;
    bool defaultOnDataError_ = true;
    bool defaultOnUnplug_ = true;
    std::unique_ptr<THidDeviceReadThread> reader_;
};

}  // namespace npt::hid
