// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the main window's behaviour asks of the screen. The Qt window, the command-line
// tool and the tests each implement it; the behaviour itself (TTMForm) never sees a widget.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/night_report.h"
#include "app/controls.h"
#include "chart/rgb.h"

namespace npt {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };
enum class TimerId { Timer1, Timer2 };
enum class PrintOutcome { Printed, Cancelled, Failed };

// The night's analysis as the window shows it: the line under the chart, the episodes shaded on
// the chart and what the analysis dialog lists.
struct AnalysisDisplay {
    bool recording = false;                // a recording is shown; without one there is nothing
    std::string summaryLine;               // the line under the chart; empty without a recording
    AnalysisParameters parameters;         // as set, also without a recording
    std::vector<TimeSpan> episodes;        // on the chart's time axis
    std::vector<TimeSpan> unusable;        // stretches the analysis left out, on the same axis
    ChartLine baseline;                    // drawn under the curve; empty when nothing was analysed
    NightAnalysis analysis;                // table, summary and verdict, when there is a recording
    bool demonstration = false;            // the recording is the demonstration recorder's night
    std::vector<std::string> reviewLines;  // the doctor's review changes, one line each
};

class FormView {
  public:
    virtual ~FormView() = default;

    // Field texts, UTF-8.
    virtual std::string text(Control control) const = 0;
    virtual void setText(Control control, std::string_view text) = 0;
    virtual std::size_t caret(Control control) const = 0;  // in characters
    virtual void setCaret(Control control, std::size_t position) = 0;
    // The most characters the doctor may type into the field; text set by the program is
    // never cut to it.
    virtual void setMaxLength(Control control, int characters) = 0;

    virtual void setVisible(Control control, bool visible) = 0;
    virtual bool visible(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual void setReadOnly(Control control, bool readOnly) = 0;
    // Fill or background colour; nothing means the system's window colour.
    virtual void setColour(Control control, std::optional<Rgb> colour) = 0;
    virtual void setTop(Control control, int top) = 0;
    virtual void setHeight(Control control, int height) = 0;
    virtual void setFocus(Control control) = 0;

    // A modal message box; returns the button pressed.
    virtual MessageAnswer messageBox(std::string_view title, std::string_view text,
                                     MessageIcon icon, MessageButtons buttons) = 0;
    // The modal password dialog: the confirmed text, or nothing when it was closed without
    // confirming.
    virtual std::optional<std::string> askPassword() = 0;
    // File dialogs: the chosen path, or nothing when cancelled. The save dialog opens with the
    // proposed path (a name made from the patient and the date, in the folder used last); the
    // open dialog in the folder used last (empty: wherever the dialog opens by itself).
    virtual std::optional<std::string> chooseSaveFile(const std::string& proposed) = 0;
    virtual std::optional<std::string> chooseOpenFile(const std::string& folder) = 0;

    // Printing: the print dialog, then the window as it is laid out now, fitted onto one page.
    // Cancelled when the doctor cancelled the dialog (nothing printed).
    virtual PrintOutcome printWindow() = 0;

    // Starts the timer, or starts it afresh when it is running; its ticks go to the handler
    // (Timer1Timer, Timer2Timer) until it is stopped.
    virtual void startTimer(TimerId timer, int intervalMs) = 0;
    virtual void stopTimer(TimerId timer) = 0;
    virtual bool timerRunning(TimerId timer) const = 0;

    virtual void beep() = 0;
    // The window, or the chart within it, should be drawn anew.
    virtual void repaint() = 0;
    virtual void chartChanged() = 0;
    virtual void sendChartToBack() = 0;

    // The night's analysis: shows it under and on the chart, and in the dialog when that is open.
    virtual void showAnalysis(const AnalysisDisplay& analysis) = 0;
    // Opens the dialog "Анализ ночи" beside the window (the chart stays usable) or brings it up.
    virtual void openAnalysisDialog() = 0;
    // The file for the night's report, the dialog opening with the proposed path: the chosen
    // path, or nothing when cancelled.
    virtual std::optional<std::string> chooseReportFile(const std::string& proposed) = 0;
    // Writes the night's one-page report as a PDF at path; throws FileError when it cannot, and
    // an existing file then stays as it was.
    virtual void writeReport(const std::string& path, const NightReport& report) = 0;

    // The patient archive's window, beside the main window (not modal); views without a
    // screen have none.
    virtual void openArchiveWindow() {}
    // The episode the doctor picked in the analysis dialog, marked on the chart; none: unmarked.
    virtual void highlightEpisode(std::optional<TimeSpan> span) { (void)span; }
};

}  // namespace npt
