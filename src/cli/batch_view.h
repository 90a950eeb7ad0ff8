// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view with no screen: it keeps field texts and control states, answers the password prompt
// with a given text and collects every message box instead of showing it. The command-line
// tool and the tests run the window's behaviour through it.
//
// Timers: given a main loop, they tick on it and each tick goes to onTimer; without one, the
// view only remembers which timers run, and whoever drives it fires them.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/form_view.h"
#include "hid/main_loop.h"

namespace npt {

struct CollectedMessage {
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

// Writes the night's report as a PDF (the report library's work, which needs Qt's drawing);
// throws FileError when it cannot.
using ReportWriter = std::function<void(const std::string& path, const NightReport& report)>;

class BatchView : public FormView {
  public:
    // Without a report writer, writing a report fails with a message saying why.
    explicit BatchView(std::optional<std::string> passwordAnswer = std::string(),
                       ReportWriter reportWriter = {})
        : passwordAnswer_(std::move(passwordAnswer)), reportWriter_(std::move(reportWriter)) {}
    ~BatchView() override;

    // Timers from now on tick on loop (which must outlive the view), each tick going to onTimer
    // (Timer1Timer, Timer2Timer).
    void runTimersOn(hid::MainLoop& loop) { loop_ = &loop; }
    std::function<void(TimerId)> onTimer;

    const std::vector<CollectedMessage>& messages() const { return messages_; }
    int beeps() const { return beeps_; }
    int passwordPrompts() const { return passwordPrompts_; }
    std::optional<Rgb> colour(Control control) const;
    // The analysis as last shown, and how often the analysis dialog was asked for.
    const AnalysisDisplay& analysisShown() const { return analysisShown_; }
    int analysisDialogs() const { return analysisDialogs_; }
    std::optional<int> top(Control control) const;

    std::string text(Control control) const override;
    void setText(Control control, std::string_view text) override;
    std::size_t caret(Control control) const override;
    void setCaret(Control control, std::size_t position) override;
    void setMaxLength(Control, int) override {}
    void setVisible(Control control, bool visible) override { visible_[control] = visible; }
    bool visible(Control control) const override;
    void setEnabled(Control, bool) override {}
    void setReadOnly(Control, bool) override {}
    void setColour(Control control, std::optional<Rgb> colour) override {
        colours_[control] = colour;
    }
    void setTop(Control control, int top) override { tops_[control] = top; }
    void setHeight(Control, int) override {}
    void setFocus(Control) override {}
    MessageAnswer messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> askPassword() override;
    std::optional<std::string> chooseSaveFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseOpenFile(const std::string&) override { return std::nullopt; }
    PrintOutcome printWindow() override { return PrintOutcome::Cancelled; }
    void startTimer(TimerId timer, int intervalMs) override;
    void stopTimer(TimerId timer) override;
    bool timerRunning(TimerId timer) const override { return timers_.contains(timer); }
    void beep() override { ++beeps_; }
    void repaint() override {}
    void chartChanged() override {}
    void sendChartToBack() override {}
    void showAnalysis(const AnalysisDisplay& analysis) override { analysisShown_ = analysis; }
    void openAnalysisDialog() override { ++analysisDialogs_; }
    std::optional<std::string> chooseReportFile(const std::string&) override {
        return std::nullopt;
    }
    void writeReport(const std::string& path, const NightReport& report) override;

  protected:
    std::map<Control, std::string> texts_;
    std::map<Control, std::size_t> carets_;
    std::map<Control, bool> visible_;
    std::map<Control, std::optional<Rgb>> colours_;
    std::map<Control, int> tops_;
    std::vector<CollectedMessage> messages_;
    std::optional<std::string> passwordAnswer_;
    int beeps_ = 0;
    int passwordPrompts_ = 0;
    AnalysisDisplay analysisShown_;
    int analysisDialogs_ = 0;
    ReportWriter reportWriter_;

  private:
    hid::MainLoop* loop_ = nullptr;
    std::map<TimerId, hid::MainLoop::TimerId> timers_;  // the running ones
};

}  // namespace npt
