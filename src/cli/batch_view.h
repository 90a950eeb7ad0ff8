// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view with no screen: it keeps the window in a ViewRecord (field texts, control states and
// every message box, collected instead of shown) and answers the password prompt with a given
// text. The command-line tool runs the window's behaviour through it.
//
// Timers: given a main loop, they tick on it and each tick goes to onTimer; without one, the
// view only remembers which timers run, and whoever drives it fires them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/form_view.h"
#include "app/view_record.h"
#include "app/view_timers.h"
#include "hid/main_loop.h"

namespace npt {

// Writes the night's report as a PDF (the report library's work, which needs Qt's drawing);
// throws FileError when it cannot.
using ReportWriter = std::function<void(const std::string& path, const NightReport& report)>;

class BatchView : public FormView {
  public:
    // Without a report writer, writing a report fails with a message saying why.
    explicit BatchView(std::optional<std::string> passwordAnswer = std::string(),
                       ReportWriter reportWriter = {})
        : passwordAnswer_(std::move(passwordAnswer)), reportWriter_(std::move(reportWriter)) {}

    // Timers from now on tick on loop (which must outlive the view), each tick going to onTimer
    // (Timer1Timer, Timer2Timer).
    void runTimersOn(hid::MainLoop& loop) { timers_.runOn(loop); }
    std::function<void(TimerId)> onTimer;

    const std::vector<CollectedMessage>& messages() const { return screen_.messages(); }

    std::string text(Control control) const override { return screen_.text(control); }
    void setText(Control control, std::string_view text) override {
        screen_.setText(control, text);
    }
    std::size_t caret(Control control) const override { return screen_.caret(control); }
    void setCaret(Control control, std::size_t position) override {
        screen_.setCaret(control, position);
    }
    void setMaxLength(Control, int) override {}
    void setVisible(Control control, bool visible) override {
        screen_.setVisible(control, visible);
    }
    bool visible(Control control) const override { return screen_.visible(control); }
    void setEnabled(Control, bool) override {}
    void setReadOnly(Control, bool) override {}
    void setColour(Control control, std::optional<Rgb> colour) override {
        screen_.setColour(control, colour);
    }
    void setTop(Control control, int top) override { screen_.setTop(control, top); }
    void setHeight(Control, int) override {}
    void setFocus(Control) override {}
    MessageAnswer messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> askPassword() override { return passwordAnswer_; }
    std::optional<std::string> chooseSaveFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseOpenFile(const std::string&) override { return std::nullopt; }
    PrintOutcome printWindow() override { return PrintOutcome::Cancelled; }
    void startTimer(TimerId timer, int intervalMs) override { timers_.start(timer, intervalMs); }
    void stopTimer(TimerId timer) override { timers_.stop(timer); }
    bool timerRunning(TimerId timer) const override { return timers_.running(timer); }
    void beep() override {}
    void repaint() override {}
    void chartChanged() override {}
    void sendChartToBack() override {}
    void showAnalysis(const AnalysisDisplay&) override {}
    void openAnalysisDialog() override {}
    std::optional<std::string> chooseReportFile(const std::string&) override {
        return std::nullopt;
    }
    void writeReport(const std::string& path, const NightReport& report) override;

  protected:
    std::optional<std::string> passwordAnswer_;

  private:
    ViewRecord screen_;
    ReportWriter reportWriter_;
    ViewTimers timers_{[this](TimerId timer) {
        if (onTimer) {
            onTimer(timer);
        }
    }};
};

}  // namespace npt
