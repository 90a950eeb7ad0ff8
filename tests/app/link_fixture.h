// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's behaviour wired to the real HID controller and its reader threads on a poll
// loop, over the in-process platform where the simulated recorder's adapter is plugged in.
// Reports arrive while the test runs the loop, also from inside a message box that is "open"
// (ScriptedView::whileBoxOpen); the timers are fired by the test, the scripted view only
// remembers which of them run.
#include <chrono>
#include <memory>
#include <optional>

#include "form_fixture.h"
#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"
#include "hid/simulated/simulated_platform.h"
#include "recorder_sim/simulated_recorder.h"
#include "recorder_sim/simulated_recorder_device.h"

namespace npt::test {

using namespace std::chrono_literals;

class SettableClock final : public Clock {
  public:
    explicit SettableClock(LocalDateTime moment) : moment(moment) {}
    LocalDateTime now() const override { return moment; }
    LocalDateTime moment;
};

struct LinkRig {
    SettableClock clock{{2026, 12, 9, 8, 5, 0}};
    hid::PollLoop loop;
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder{makeImage()};
    std::optional<hid::SimulatedRecorderDevice> adapter;
    std::unique_ptr<hid::THidDeviceController> hid;
    ScriptedView view;
    std::unique_ptr<TTMForm> form;
    int delivered = 0;  // reports handed to the form, ignored ones included

    // Starts the window as npt-desk does and runs the first scan; with the adapter plugged in,
    // until the form has claimed it and its reader reads.
    void start(bool plugged = true) {
        if (plugged) {
            adapter.emplace(platform, recorder);
        }
        hid = std::make_unique<hid::THidDeviceController>(loop, platform);
        form = std::make_unique<TTMForm>(view, clock, nullptr, hid.get());
        hid::THidDataEvent handler = hid->OnDeviceData();
        hid->SetOnDeviceData([this, handler](hid::THidDevice& device, std::uint8_t id,
                                             const std::uint8_t* data, std::uint16_t size) {
            ++delivered;
            handler(device, id, data, size);
        });
        form->FormCreate();
        ASSERT_TRUE(pump([this] { return !hid->Loading(); }));
        if (plugged) {
            ASSERT_TRUE(claimed());
        }
    }

    bool pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        return loop.runUntil(done, timeout);
    }
    // The adapter is claimed and its reader has its read handle open.
    bool claimed() {
        return pump([this] {
            return state().recorderDevice != nullptr && adapter && adapter->id() != 0 &&
                   platform.readersOpen(adapter->id()) == 1;
        });
    }
    // The adapter has been seen gone and its stale object checked in.
    bool gone() {
        return pump([this] { return !state().recorderPresent && hid->Count() == 0; });
    }
    // Runs the loop until count more reports have reached the form.
    bool receive(int count) {
        const int target = delivered + count;
        return pump([this, target] { return delivered >= target; });
    }

    void fire(TimerId timer) {
        ASSERT_TRUE(view.timerRunning(timer)) << "the timer does not run";
        timer == TimerId::Timer1 ? form->Timer1Timer() : form->Timer2Timer();
    }

    // "Чтение", then the recorder's whole answer of reports.
    void read(int reports = 140) {
        form->ReadDataClick();
        ASSERT_TRUE(receive(reports));
    }

    // "Запись" with the passport fields filled in, both questions answered Yes (at 22:00) or the
    // second one No (at once), and the password typed (nothing: the dialog closed unconfirmed).
    void write(const std::string& name, const std::string& age, bool at22,
               const std::optional<std::string>& password = "") {
        view.setText(Control::Name, name);
        view.setText(Control::Old, age);
        view.questionAnswers = {MessageAnswer::Yes, at22 ? MessageAnswer::Yes : MessageAnswer::No};
        view.passwordAnswers.push_back(password);
        form->WriteDataClick();
    }

    const FormState& state() const { return form->state(); }
    std::vector<std::vector<std::uint8_t>> written() const {
        return adapter ? platform.writtenReports(adapter->id())
                       : std::vector<std::vector<std::uint8_t>>{};
    }
};

// The report the recorder sends unasked, as block bytes.
inline std::array<std::uint8_t, 32> markerBlock(std::uint8_t kind) {
    std::array<std::uint8_t, 32> block{};
    block[0] = 0xFE;
    block[1] = kind;
    return block;
}

}  // namespace npt::test
