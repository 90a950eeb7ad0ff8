// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted window for whole-flow tests of TTMForm: answers to dialogs are queued in advance,
// and everything the behaviour does to the screen is recorded. Also builders for recorder
// memory images and a scratch directory per test.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/form_view.h"
#include "app/ttm_form.h"
#include "app/view_record.h"
#include "app/view_timers.h"
#include "hid/main_loop.h"
#include "os/file_error.h"
#include "recorder/cp1251.h"
#include "recorder/memory_image.h"
#include "records/data_file.h"
#include "support/scratch.h"

namespace npt::test {

namespace fs = std::filesystem;

class ScriptedView : public FormView {
  public:
    // Queued answers; an empty queue answers as a cancelled dialog and fails the test, so that
    // an unexpected dialog never goes unnoticed.
    std::deque<std::optional<std::string>> passwordAnswers;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> reportAnswers;
    // Reports written, with their paths; while reportFailure is set, writing throws it.
    std::vector<std::pair<std::string, NightReport>> reportsWritten;
    std::optional<FileError> reportFailure;
    // Answers to Yes/No questions, in order.
    std::deque<MessageAnswer> questionAnswers;
    // Run while a message box or the password dialog is "open", after it has been recorded:
    // reports and timer ticks delivered here arrive inside the box's own loop.
    std::function<void()> whileBoxOpen;
    // The print dialog: what happens while it is open, and how it ends.
    std::function<PrintOutcome()> onPrint;
    int prints = 0;

    std::map<Control, int> maxLengths;
    std::map<Control, bool> readOnly;
    std::map<Control, bool> enabled;
    std::vector<Control> focusLog;
    std::vector<std::pair<Control, std::optional<Rgb>>> colourLog;
    int chartChanges = 0;
    int chartSentBack = 0;
    int repaints = 0;
    std::map<TimerId, int> timerStarts;
    std::map<TimerId, int> timerIntervals;
    // What the file dialogs were opened with, the last time each opened.
    std::string openFolder, saveProposal, reportProposal;

    // Timers from now on tick on loop (which must outlive the view), each tick going to onTimer;
    // until then the test fires them.
    void runTimersOn(hid::MainLoop& loop) { timers_.runOn(loop); }
    std::function<void(TimerId)> onTimer;

    // The screen as the behaviour left it.
    const std::vector<CollectedMessage>& messages() const { return screen_.messages(); }
    void clearMessages() { screen_.clearMessages(); }
    std::optional<Rgb> colour(Control control) const { return screen_.colour(control); }
    std::optional<int> top(Control control) const { return screen_.top(control); }
    int beeps() const { return beeps_; }
    int passwordPrompts() const { return passwordPrompts_; }
    // The analysis as last shown, and how often the analysis dialog was asked for.
    const AnalysisDisplay& analysisShown() const { return analysisShown_; }
    int analysisDialogs() const { return analysisDialogs_; }
    // Every field text the form reports, for before/after comparisons.
    std::vector<std::string> fieldTexts() const {
        std::vector<std::string> texts;
        for (Control c :
             {Control::Name, Control::Old, Control::Tscan, Control::Date, Control::TimeStart,
              Control::TimeEnd, Control::TimeNow, Control::Ubat, Control::VName}) {
            texts.push_back(text(c));
        }
        return texts;
    }

    std::string text(Control control) const override { return screen_.text(control); }
    void setText(Control control, std::string_view text) override {
        screen_.setText(control, text);
    }
    std::size_t caret(Control control) const override { return screen_.caret(control); }
    void setCaret(Control control, std::size_t position) override {
        screen_.setCaret(control, position);
    }
    void setMaxLength(Control control, int characters) override {
        maxLengths[control] = characters;
    }
    void setVisible(Control control, bool visible) override {
        screen_.setVisible(control, visible);
    }
    bool visible(Control control) const override { return screen_.visible(control); }
    void setEnabled(Control control, bool on) override { enabled[control] = on; }
    void setReadOnly(Control control, bool on) override { readOnly[control] = on; }
    void setColour(Control control, std::optional<Rgb> colour) override {
        screen_.setColour(control, colour);
        colourLog.emplace_back(control, colour);
    }
    void setTop(Control control, int top) override { screen_.setTop(control, top); }
    void setHeight(Control, int) override {}
    void setFocus(Control control) override { focusLog.push_back(control); }

    MessageAnswer messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override {
        screen_.addMessage(title, text, icon, buttons);
        runWhileOpen();
        if (buttons == MessageButtons::Ok) {
            return MessageAnswer::Ok;
        }
        if (questionAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return MessageAnswer::No;
        }
        const MessageAnswer answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> askPassword() override {
        ++passwordPrompts_;
        auto answer = next(passwordAnswers, "password");
        runWhileOpen();
        return answer;
    }
    std::optional<std::string> chooseSaveFile(const std::string& proposed) override {
        saveProposal = proposed;
        return next(saveAnswers, "save");
    }
    std::optional<std::string> chooseOpenFile(const std::string& folder) override {
        openFolder = folder;
        return next(openAnswers, "open");
    }
    PrintOutcome printWindow() override {
        ++prints;
        return onPrint ? onPrint() : PrintOutcome::Cancelled;
    }

    void startTimer(TimerId timer, int intervalMs) override {
        ++timerStarts[timer];
        timerIntervals[timer] = intervalMs;
        timers_.start(timer, intervalMs);
    }
    void stopTimer(TimerId timer) override { timers_.stop(timer); }
    bool timerRunning(TimerId timer) const override { return timers_.running(timer); }

    void beep() override { ++beeps_; }
    void repaint() override { ++repaints; }
    void chartChanged() override { ++chartChanges; }
    void sendChartToBack() override { ++chartSentBack; }

    void showAnalysis(const AnalysisDisplay& analysis) override { analysisShown_ = analysis; }
    void openAnalysisDialog() override { ++analysisDialogs_; }
    std::optional<std::string> chooseReportFile(const std::string& proposed) override {
        reportProposal = proposed;
        return next(reportAnswers, "report file");
    }
    void writeReport(const std::string& path, const NightReport& report) override {
        if (reportFailure) {
            throw *reportFailure;
        }
        reportsWritten.emplace_back(path, report);
    }

  private:
    void runWhileOpen() {
        if (whileBoxOpen) {
            // Once: a box opened inside it does not run it again.
            auto run = std::move(whileBoxOpen);
            whileBoxOpen = nullptr;
            run();
        }
    }
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& queue,
                                           const char* dialog) {
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected " << dialog << " dialog";
            return std::nullopt;
        }
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }

    ViewRecord screen_;
    int beeps_ = 0;
    int passwordPrompts_ = 0;
    AnalysisDisplay analysisShown_;
    int analysisDialogs_ = 0;
    ViewTimers timers_{[this](TimerId timer) {
        if (onTimer) {
            onTimer(timer);
        }
    }};
};

// 9 December 2026, 08:05.
inline const FixedClock& testClock() {
    static const FixedClock clock({2026, 12, 9, 8, 5, 0});
    return clock;
}

struct ImageOptions {
    bool passport = true;
    std::string password;  // empty: none
    std::string name = "Иванов Иван Иванович";
    bool calibrated = true;  // four-point calibration words
    std::uint16_t battery = 3300;
    std::uint8_t period = 10;
    std::uint8_t sample = 100;  // every sample byte: 0.2 * 100 + 9.6 = 29.6 mm

    ImageOptions& withoutPassport() {
        passport = false;
        return *this;
    }
    ImageOptions& withPassword(std::string text) {
        password = std::move(text);
        return *this;
    }
    ImageOptions& withName(std::string text) {
        name = std::move(text);
        return *this;
    }
    ImageOptions& withPeriod(std::uint8_t seconds) {
        period = seconds;
        return *this;
    }
    ImageOptions& withSamples(std::uint8_t byte) {
        sample = byte;
        return *this;
    }
    // Samples rising by one step each, from sample, and falling back every 100: a curve with
    // height, for zooming.
    ImageOptions& withRamp() {
        ramp = true;
        return *this;
    }
    bool ramp = false;
};

// A recorder memory image as a read leaves it (the acknowledge block first, the closing block
// last): a four-point recorder programmed at 21:30 for a study from 22:00 on 08.12.26, patient
// aged 47.
inline MemoryImage makeImage(const ImageOptions& options = {}) {
    using namespace ImageOffsets;
    MemoryImage image;
    image[0] = 0xFE;
    image[1] = 0xFE;
    image.setWord(kBattery, options.battery);
    const std::uint16_t words[4] = {14520, 16890, 19240, 21610};
    for (std::size_t i = 0; i < kCalibrationPoints; ++i) {
        image.setWord(kCalibration + 2 * i, options.calibrated && i < 4 ? words[i] : kMissingWord);
    }
    for (std::size_t i = 0; i < kPasswordLength; ++i) {
        image[kPassword + i] = kErasedByte;
    }
    const auto pw = cp1251::encode(options.password).value();
    for (std::size_t i = 0; i < pw.size(); ++i) {
        image[kPassword + i] = pw[i];
    }
    if (options.passport) {
        image[kPassportLead] = 0x00;
        const auto name = cp1251::encode(options.name).value();
        for (std::size_t i = 0; i < name.size(); ++i) {
            image[kName + i] = name[i];
        }
        image[kPeriod] = options.period;
        image[kAge] = 47;
        image[kDay] = 8;
        image[kMonth] = 12;
        image[kYear] = 26;
        image[kProgramTime] = 215;
        image.setWord(kDelayHigh, 30);
    } else {
        for (std::size_t i = kPassportLead; i < kSamples; ++i) {
            image[i] = kErasedByte;
        }
    }
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        image[kSamples + i] =
            static_cast<std::uint8_t>(options.sample + (options.ramp ? i % 100 : 0));
    }
    image[MemoryImage::kSize - MemoryImage::kBlockSize] = 0xFE;
    image[MemoryImage::kSize - MemoryImage::kBlockSize + 1] = 0xFF;
    return image;
}

inline MemoryImage erasedImage() {
    MemoryImage image;
    for (auto& b : image.bytes()) {
        b = kErasedByte;
    }
    return image;
}

inline fs::path writeImage(const fs::path& path, const MemoryImage& image) {
    writeAll(path, dataFileBytes(image));
    return path;
}

// A form on a scripted view, created as the window is on start-up.
struct FormRig {
    ScriptedView view;
    TTMForm form{view, testClock(), nullptr};
    FormRig() { form.FormCreate(); }
};

}  // namespace npt::test
