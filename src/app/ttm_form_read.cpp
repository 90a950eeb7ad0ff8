// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The read session: "Чтение" asks the recorder for its whole memory, the receive handler stores
// the 140 blocks that come back (and drives the write session's answers too), and one second
// after the acknowledgement the completion check judges the read, asks for the password of a
// whole one and shows the recording with its battery.
#include <algorithm>

#include "app/link_texts.h"
#include "app/ttm_form.h"
#include "recorder/battery.h"

namespace npt {

namespace {
bool lastCommandIs(const FormState& state, CommandCode code) {
    return state.outputReport[1] == static_cast<std::uint8_t>(code);
}
}  // namespace

void TTMForm::ReadDataClick() {
    guarded([&] {
        // While the answer comes in (its check pending), a second click would set the counter
        // back and mix the rest of this answer with the next one: it is not taken. When the
        // recorder has not answered at all, the click sends the command again.
        if (lastCommandIs(state_, CommandCode::Read) && view_.timerRunning(TimerId::Timer2)) {
            return;
        }
        const bool repeat = state_.read.waiting && lastCommandIs(state_, CommandCode::Read);
        state_.blockCounter = 0;
        state_.password.askPassword = true;
        state_.password.nameHidden = false;
        if (state_.recorderDevice == nullptr) {
            return;
        }
        state_.reportsIgnored = false;
        // A write's slide that never got its confirmation would move the indicator about
        // during the read.
        view_.stopTimer(TimerId::Timer1);
        // The answer is handled only after this handler has returned, so sending first is safe.
        Click_code(CommandCode::Read);
        filedNight_.reset();
        state_.blockCounter = 0;
        chart_.clearSeries1();
        chart_.clearSeries3();
        clearAnalysis();  // the shaded episodes and the line went with the curve
        view_.setText(Control::Name, "");
        view_.setText(Control::Old, "");
        view_.setColour(Control::Ubat, std::nullopt);
        state_.memoryImage.reset();
        state_.password.clearBuffer();
        state_.password.mode = PasswordMode::Check;
        state_.password.passwordWrong = false;
        view_.setColour(Control::OpenIndicator, colours::kBlue);
        view_.setTop(Control::OpenIndicator, state_.readButtonTop);
        const int repeats = repeat ? state_.read.repeatsSent + 1 : 0;
        state_.read = ReadSession{};
        state_.read.waiting = state_.lastSendError == 0;
        state_.read.repeatsSent = repeats;
        state_.read.passwordDecided = false;
        state_.read.image = ImageState::Receiving;
    });
}

bool TTMForm::repeatedAnswer(Marker marker) {
    ReadSession& read = state_.read;
    if (read.droppingRepeat) {
        if (marker == Marker::Done) {
            read.droppingRepeat = false;
        }
        return true;
    }
    // The recorder answers one command after the other: an acknowledgement after the closing
    // block of a whole read begins the answer to the command sent again, the same memory once
    // more.
    if (read.repeatsSent == 0 || marker != Marker::Ack) {
        return false;
    }
    const ReadCheck sofar = checkRead(state_.memoryImage, state_.blockCounter);
    if (!sofar.whole() || sofar.overlong()) {
        return false;
    }
    --read.repeatsSent;
    read.droppingRepeat = true;
    return true;
}

void TTMForm::HIDDeviceData(hid::THidDevice* HidDev, std::uint8_t ReportID,
                            const std::uint8_t* Data, std::uint16_t Size) {
    (void)ReportID;
    // Only the claimed adapter's reports belong to the session: another adapter may hear the
    // same recorder. Compared here: once a box below has run the loop, the device may be gone.
    if (HidDev != nullptr && HidDev != state_.recorderDevice) {
        return;
    }
    const std::size_t size = std::min<std::size_t>(Size, MemoryImage::kBlockSize);
    const Marker marker = markerOf({Data, size});
    if (state_.reportsIgnored) {
        // A recording loaded from a file is shown: no report goes into it, nor sets off a check,
        // a password report or a write's confirmation over it. An acknowledgement that no
        // session awaits is answered as one that no command asked for.
        if (marker == Marker::Ack && !state_.sessionInterrupted) {
            warning(link_texts::kNoCommandTitle, link_texts::kNoCommandText);
            view_.setFocus(Control::ReadData);
        }
        return;
    }
    if (marker == Marker::Ack && lastCommandIs(state_, CommandCode::Read)) {
        state_.read.acknowledged = true;
    }
    guarded([&] {
        if (lastCommandIs(state_, CommandCode::Read)) {
            state_.read.waiting = false;
            if (repeatedAnswer(marker)) {
                return;
            }
        }
        if (state_.blockCounter >= 0 && state_.blockCounter < kBlocksInRead) {
            std::copy_n(
                Data, size,
                state_.memoryImage.bytes().begin() +
                    static_cast<std::ptrdiff_t>(MemoryImage::kBlockSize) * state_.blockCounter);
        }
        switch (marker) {
            case Marker::Ack:
                state_.ackFlag = true;
                break;
            case Marker::Done:
                state_.doneFlag = true;
                break;
            case Marker::Programmed:
                state_.programmedFlag = true;
                break;
            case Marker::None:
                break;
        }
        // Each flag is cleared only after its branch's box has closed: a report handled while
        // the box is open runs the branch again.
        if (state_.programmedFlag) {
            confirmWrite();
        }
        if (state_.ackFlag) {
            switch (static_cast<CommandCode>(state_.outputReport[1])) {
                case CommandCode::None:
                    warning(link_texts::kNoCommandTitle, link_texts::kNoCommandText);
                    state_.ackFlag = false;
                    view_.setFocus(Control::ReadData);
                    break;
                case CommandCode::Read:
                    if (!view_.timerRunning(TimerId::Timer2)) {
                        view_.startTimer(TimerId::Timer2, kTimer2IntervalMs);
                    }
                    view_.setTop(Control::OpenIndicator,
                                 state_.readButtonTop - state_.blockCounter);
                    break;
                case CommandCode::WritePassport:
                    state_.blockCounter = 0;
                    Edit_Buttery();
                    if (!view_.timerRunning(TimerId::Timer1)) {
                        view_.startTimer(TimerId::Timer1, kTimer1IntervalMs);
                    }
                    state_.outputReport = passwordReport(state_.password.buffer);
                    if (state_.recorderDevice != nullptr) {
                        sendOutputReport();
                    }
                    state_.outputReport[1] = static_cast<std::uint8_t>(CommandCode::WritePassport);
                    break;
            }
        }
        if (state_.doneFlag) {
            chart_.clearSeries1();
            // The night's analysis goes with its curve: after a write it would otherwise stand
            // under the new patient's passport, and a report would join the two.
            clearAnalysis();
            state_.ackFlag = false;
            state_.doneFlag = false;
            if (state_.outputReport[1] == static_cast<std::uint8_t>(CommandCode::Read)) {
                view_.beep();
            }
        }
        ++state_.blockCounter;
    });
}

void TTMForm::Timer1Timer() {
    if (state_.indicatorTop <= state_.readButtonTop) {
        view_.setTop(Control::OpenIndicator, state_.indicatorTop);
        state_.indicatorTop += 2;
    }
}

void TTMForm::Timer2Timer() {
    guarded([&] {
        view_.stopTimer(TimerId::Timer2);
        // One verdict for the whole check. Reports handled while its boxes are open are judged
        // by the next check, which they arm while the acknowledgement is latched.
        const ReadCheck check = checkRead(state_.memoryImage, state_.blockCounter);
        ReadSession& session = state_.read;
        session.lastCheck = check;
        session.image = check.whole() ? ImageState::Keepable : ImageState::Incomplete;
        // The password is decided once, for a whole read: before, its bytes may not have come
        // or may stand a block off, and a mismatch would hide the name for good.
        if (check.whole() && !session.passwordDecided) {
            // Filed before anything is asked: whatever the doctor does next (closes the
            // window, writes the next passport, opens a file), the night is kept.
            if (!check.overlong()) {
                fileReadNight();
            }
            checkPassword();
            session.passwordDecided = true;
            identifyReadNight();
        }
        const bool read = lastCommandIs(state_, CommandCode::Read);
        if (!check.whole() && !check.overlong() && read) {
            view_.setColour(Control::OpenIndicator, colours::kRed);
            warning(link_texts::kReadErrorTitle, link_texts::kIncompleteText);
        }
        if (check.whole() && !check.overlong()) {
            view_.setColour(Control::OpenIndicator, colours::kGreen);
        }
        if (check.overlong()) {
            view_.setColour(Control::OpenIndicator, colours::kRed);
            warning(link_texts::kReadErrorTitle, link_texts::kOverlongText);
        }
        Graf_byteArray();
        showRecording();
        Edit_Buttery();
        batteryWarnings(true);
        if (read) {
            view_.beep();
        }
    });
}

void TTMForm::batteryWarnings(bool recolour) {
    const battery::Warning w = battery::warningFor(state_.batteryLevel);
    if (w == battery::Warning::None) {
        return;
    }
    if (recolour) {
        view_.setColour(Control::Ubat,
                        w == battery::Warning::NearlyFlat ? colours::kYellow : colours::kRed);
    }
    info(battery::kWarningTitle, battery::warningText(w));
}

std::optional<CommandCode> TTMForm::pendingSession() const {
    if (state_.reportsIgnored) {
        return std::nullopt;  // ended by the load before
    }
    const auto last = static_cast<CommandCode>(state_.outputReport[1]);
    if (last == CommandCode::Read &&
        (!state_.read.acknowledged || state_.ackFlag || view_.timerRunning(TimerId::Timer2))) {
        return last;
    }
    if (last == CommandCode::WritePassport && !state_.writeConfirmed) {
        return last;
    }
    return std::nullopt;
}

void TTMForm::endLinkSession() {
    const auto cut = pendingSession();
    state_.reportsIgnored = true;
    state_.sessionInterrupted = cut.has_value();
    view_.stopTimer(TimerId::Timer1);
    view_.stopTimer(TimerId::Timer2);
    state_.ackFlag = false;
    state_.doneFlag = false;
    state_.programmedFlag = false;
    if (!cut) {
        return;  // an ended read or write keeps the colour its end gave the indicator
    }
    // Neither green (a complete read, a confirmed write) nor blue (waiting, while nothing is
    // awaited any more) would be true: red, where the indicator stands, and said plainly, for an
    // unprogrammed recorder must not go home with the patient.
    view_.setColour(Control::OpenIndicator, colours::kRed);
    if (*cut == CommandCode::Read) {
        warning(link_texts::kReadCutTitle, link_texts::kReadCutText);
    } else {
        warning(link_texts::kWriteCutTitle, link_texts::kWriteCutText);
    }
}

}  // namespace npt
