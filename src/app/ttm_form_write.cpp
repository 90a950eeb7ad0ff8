// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The write session: "Запись" checks the passport fields, asks whether to write and when to
// start, takes the password, works out the programming time and the start delay, and sends the
// passport; the receive handler sends the password when the recorder acknowledges and confirms
// the write against the recorder's echo.
#include <charconv>
#include <stdexcept>

#include "app/link_texts.h"
#include "app/ttm_form.h"
#include "measure/time_of_day.h"
#include "recorder/cp1251.h"
#include "recorder/passport_entry.h"

namespace npt {

namespace {

constexpr unsigned kLongestPeriod = 10;
constexpr int kMinutesPerDay = 24 * 60;
constexpr int kTenthsPerDay = 240;

// Whole minutes since midnight of an "HH:mm" field, or an error naming what it holds.
int fieldMinutes(const std::string& text, const char* what) {
    const auto seconds = parseTimeOfDaySeconds(text);
    if (!seconds) {
        throw std::runtime_error("«" + text + "» — неверное " + what + " (ожидается ЧЧ:ММ).");
    }
    return *seconds / 60;
}

// The whole number in the period field.
int periodField(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw std::runtime_error("«" + text + "» — неверный период считывания.");
    }
    return value;
}

}  // namespace

void TTMForm::WriteDataClick() {
    guarded([&] {
        state_.blockCounter = 0;
        view_.stopTimer(TimerId::Timer1);
        if (state_.recorderDevice == nullptr) {
            return;
        }
        state_.password.mode = PasswordMode::Store;
        state_.password.passwordWrong = false;
        state_.password.clearBuffer();
        if (!passportStorable()) {
            return;
        }
        const auto answer = [this](const char* question) {
            return view_.messageBox(link_texts::kQuestionTitle, question, MessageIcon::Warning,
                                    MessageButtons::YesNo);
        };
        if (answer(link_texts::kWriteQuestion) != MessageAnswer::Yes) {
            return;
        }
        state_.startNow = answer(link_texts::kStartQuestion) != MessageAnswer::Yes;
        if (!takeStorePassword()) {
            return;
        }
        view_.repaint();
        prepareWriteValues();
        // The image takes the recorder's echo of the passport. Emptied only now that the write
        // goes ahead: a write refused or called off leaves the night on screen saveable.
        state_.memoryImage.reset();
        WriteDataFlash();
    });
}

bool TTMForm::passportStorable() {
    const auto refuse = [this](Control field, const std::string& text) {
        info(link_texts::kPassportCheckTitle, text);
        view_.setFocus(field);
        return false;
    };
    const std::string name = view_.text(Control::Name);
    const std::string age = view_.text(Control::Old);
    if (name.empty()) {
        return refuse(Control::Name, link_texts::kNoNameText);
    }
    if (age.empty()) {
        return refuse(Control::Old, link_texts::kNoAgeText);
    }
    if (const auto problem = passport_entry::nameProblem(name)) {
        return refuse(Control::Name, *problem);
    }
    if (!passport_entry::age(age)) {
        return refuse(Control::Old, passport_entry::kAgeProblem);
    }
    return true;
}

bool TTMForm::takeStorePassword() {
    const auto typed = view_.askPassword();
    if (!typed) {
        // Closed with Esc or the window's close: the doctor has said Yes to writing, so the
        // write goes on without a password (the buffer keeps its 0xFF bytes, as for an empty
        // one) rather than leave the recorder unprogrammed without a word.
        return true;
    }
    if (const auto problem = passport_entry::passwordProblem(*typed)) {
        info(link_texts::kPassportCheckTitle, *problem);
        return false;
    }
    confirmPassword(state_.password, *typed, state_.memoryImage);
    return true;
}

void TTMForm::prepareWriteValues() {
    const LocalDateTime now = clock_.now();
    view_.setText(Control::Date, shortDateText(now));
    view_.setText(Control::TimeNow, hourMinuteText(now));

    const auto age = passport_entry::age(view_.text(Control::Old));
    if (!age) {
        throw std::runtime_error(passport_entry::kAgeProblem);
    }
    state_.patientAge = static_cast<std::uint8_t>(*age);
    const unsigned period = static_cast<unsigned>(periodField(view_.text(Control::Tscan))) & 0xFF;
    state_.samplePeriod = static_cast<std::uint8_t>(std::min(period, kLongestPeriod));
    state_.studyDay = now.day;
    state_.studyMonth = now.month;
    state_.studyYear = now.year - 2000;

    const int programMinutes = fieldMinutes(view_.text(Control::TimeNow), "время программирования");
    int delay = 0;
    if (state_.startNow) {
        view_.setText(Control::TimeStart, view_.text(Control::TimeNow));
        LocalDateTime end = now;
        end.hour = (now.hour + 12) % 24;
        view_.setText(Control::TimeEnd, hourMinuteText(end));
        view_.repaint();
    } else {
        view_.setText(Control::TimeStart, "22:00");
        view_.setText(Control::TimeEnd, "10:00");
        view_.repaint();
        delay = startDelay(programMinutes, fieldMinutes(view_.text(Control::TimeStart),
                                                        "время начала исследования"));
    }
    state_.delayHigh = delay / 256;
    state_.delayLow = delay % 256;
    // Tenths of an hour; whole minutes give an exact value, so a half rounds as a half.
    state_.programTime =
        static_cast<double>(programMinutes * kTenthsPerDay) / static_cast<double>(kMinutesPerDay);
}

void TTMForm::WriteDataFlash() {
    if (state_.recorderDevice == nullptr) {
        return;
    }
    const std::string name = view_.text(Control::Name);
    if (const auto problem = passport_entry::nameProblem(name)) {
        info(link_texts::kPassportCheckTitle, *problem);  // changed since it was checked
        return;
    }
    const auto nameBytes = cp1251::encode(name).value_or(std::vector<std::uint8_t>{});
    PassportValues values;
    values.name = nameBytes;
    values.samplePeriod = state_.samplePeriod;
    values.age = state_.patientAge;
    values.day = static_cast<unsigned>(state_.studyDay);
    values.month = static_cast<unsigned>(state_.studyMonth);
    values.yearSince2000 = static_cast<unsigned>(static_cast<int>(state_.studyYear)) & 0xFF;
    values.programTime = state_.programTime;
    values.delayHigh = static_cast<unsigned>(state_.delayHigh);
    values.delayLow = static_cast<unsigned>(state_.delayLow);
    state_.outputReport = passportReport(values);
    // The recorder's answer to this passport is awaited from now on, also over a loaded file.
    state_.reportsIgnored = false;
    state_.writeConfirmed = false;
    sendOutputReport();
    view_.setColour(Control::OpenIndicator, colours::kBlue);
    state_.indicatorTop = state_.writeButtonTop;
    view_.setTop(Control::OpenIndicator, state_.indicatorTop);
}

void TTMForm::confirmWrite() {
    view_.stopTimer(TimerId::Timer1);
    if (!passportConfirmed(state_.memoryImage, state_.password.buffer, state_.samplePeriod,
                           static_cast<unsigned>(state_.delayHigh),
                           static_cast<unsigned>(state_.delayLow))) {
        return;  // tried again on every later report
    }
    state_.writeConfirmed = true;
    view_.setColour(Control::OpenIndicator, colours::kGreen);
    warning(link_texts::kStartedTitle,
            state_.startNow ? link_texts::kStartedNowText : link_texts::kStartsAt22Text);
    state_.programmedFlag = false;
    state_.ackFlag = false;
    batteryWarnings(false);
}

}  // namespace npt
