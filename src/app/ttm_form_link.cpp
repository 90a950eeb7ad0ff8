// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder link's presence: the radio adapter recognised among the HID devices the
// controller offers, claimed, and the read and write controls shown while it is plugged in;
// and the one send step every command goes through.
#include <algorithm>

#include "app/link_texts.h"
#include "app/ttm_form.h"
#include "hid/hid_device_controller.h"

namespace npt {

void TTMForm::wireRecorderLink() {
    if (hid_ == nullptr) {
        return;
    }
    hid_->SetOnEnumerate([this](hid::THidDevice& device, std::int32_t index) {
        return HIDEnumerate(device, index);
    });
    hid_->SetOnDeviceData([this](hid::THidDevice& device, std::uint8_t id, const std::uint8_t* data,
                                 std::uint16_t size) { HIDDeviceData(&device, id, data, size); });
    // An interface that cannot be opened or identified at all is nobody's adapter: it is left
    // out, so that it neither hides the adapter from this scan nor raises a box at start-up.
    hid_->SetOnDeviceCreateError(
        [](hid::THidDeviceController&, const hid::THidPnPInfo&, bool& handled, bool& retry) {
            handled = true;
            retry = false;
        });
    // Assigned last: while the controller still waits for its first scan this only stores it.
    hid_->SetOnDeviceChange([this](hid::THidDeviceController&) { HIDDeviceChange(); });
}

void TTMForm::HIDDeviceChange() {
    state_.recorderDevice = nullptr;
    state_.recorderPresent = false;
    if (hid_ == nullptr) {
        return;
    }
    // An adapter pulled out stays claimed until handed back; its reader stops only then.
    hid_->CheckInUnplugged();
    if (hid_->Enumerate() == 0) {
        // No HID device at all, so no adapter either.
        enumerated_ = true;
        showPresence();
    }
}

bool TTMForm::HIDEnumerate(hid::THidDevice& HidDev, std::int32_t Idx) {
    (void)Idx;
    const hid::THidAttributes& id = HidDev.Attributes();
    if (id.VendorID == kAdapterVendorId && id.ProductID == kAdapterProductId) {
        // Said once per plug; shown after the scan, whose hot-plug events a box open inside it
        // would lose.
        const auto sayOnce = [&](std::string text) {
            if (HidDev.Tag == 0) {
                HidDev.Tag = 1;
                showLater(link_texts::kAdapterTitle, std::move(text));
            }
        };
        const hid::THidCaps caps = HidDev.Caps();
        if (caps.OutputReportByteLength != kOutputReportLength ||
            caps.InputReportByteLength != kInputReportLength) {
            sayOnce(link_texts::unsupportedAdapter(caps.OutputReportByteLength,
                                                   caps.InputReportByteLength));
        } else if (state_.recorderDevice == nullptr) {
            // The first adapter in the controller's list: the one plugged in first, so that a
            // second one plugged in later never takes over a session.
            state_.recorderDevice = &HidDev;
            HidDev.CheckOut();
            state_.recorderPresent = true;
        } else {
            sayOnce(link_texts::kSeveralAdaptersText);
        }
    }
    enumerated_ = true;
    showPresence();
    return true;
}

void TTMForm::showPresence() {
    const bool present = state_.recorderPresent;
    if (!printing_) {
        for (Control c : {Control::ReadData, Control::WriteData, Control::OpenIndicator}) {
            view_.setVisible(c, present);
        }
    }
    // Green at "Чтение" says the adapter is ready. While a read or a write still awaits the
    // recorder, a scan (any USB device plugged in or out) leaves the indicator telling how far
    // that session has come: green there would pass for a whole read or a confirmed write.
    if (present && !pendingSession()) {
        view_.setTop(Control::OpenIndicator, state_.readButtonTop);
        view_.setColour(Control::OpenIndicator, colours::kGreen);
    }
}

void TTMForm::showLater(const char* title, std::string text) {
    hid_->Loop().post([alive = std::weak_ptr<bool>(alive_), this, title, text = std::move(text)] {
        if (alive.lock()) {
            warning(title, text);
        }
    });
}

void TTMForm::Click_code(CommandCode code) {
    if (state_.recorderDevice == nullptr) {
        return;
    }
    state_.outputReport = commandReport(code);
    sendOutputReport();
}

void TTMForm::sendOutputReport() {
    hid::THidDevice* device = state_.recorderDevice;
    // Adapters declaring other lengths are never claimed, so this is the whole report.
    const std::size_t length =
        std::min<std::size_t>(device->Caps().OutputReportByteLength, kOutputReportLength);
    std::uint32_t written = 0;
    if (device->WriteFile(state_.outputReport.data(), static_cast<std::uint32_t>(length),
                          written)) {
        state_.lastSendError = 0;
        return;
    }
    state_.lastSendError = device->LastError();
    // Nothing is retried: the session goes on waiting for the recorder.
    view_.messageBox(link_texts::kSendTitle, link_texts::sendFailure(state_.lastSendError),
                     MessageIcon::None, MessageButtons::Ok);
}

}  // namespace npt
