// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: every control at its place, implementing the view that the window's
// behaviour (TTMForm) talks to. Widgets hold no behaviour of their own: each signal calls the
// matching handler, and each handler reaches the screen through the FormView operations here.
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/form_view.h"

class QPrinter;
class QWidget;

namespace npt {

class AnalysisDialog;
class ArchiveWindow;
class DiameterChart;
class NightFiling;
class PasswordDialog;
class TTMForm;
class TypingLimit;
class WindowEvents;

class QtFormView final : public FormView {
  public:
    QtFormView();
    ~QtFormView() override;

    // Creates the chart over the form's model and wires every control to its handler; call
    // once, before FormCreate.
    void attach(TTMForm& form);

    QWidget* window() const { return window_.get(); }
    QWidget* widget(Control control) const;
    DiameterChart* chart() const { return chart_; }
    PasswordDialog* passwordDialog() const { return password_; }
    AnalysisDialog* analysisDialog() const { return analysis_; }
    // The patient archive the window's "Архив" shows; without one the button opens nothing.
    void setNightFiling(NightFiling* filing) { filing_ = filing; }
    // The patients window, once "Архив" has opened it.
    ArchiveWindow* archiveWindow() const { return archiveWindow_; }
    // The most characters the doctor may type into a field; -1 when it has no limit.
    int typingLimit(Control control) const;

    // The printer-setup step of printing; by default the print dialog. False when the doctor
    // cancelled it: then nothing is printed.
    std::function<bool(QPrinter&)> choosePrinter;

    // FormView
    std::string text(Control control) const override;
    void setText(Control control, std::string_view text) override;
    std::size_t caret(Control control) const override;
    void setCaret(Control control, std::size_t position) override;
    void setMaxLength(Control control, int characters) override;
    void setVisible(Control control, bool visible) override;
    bool visible(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    void setReadOnly(Control control, bool readOnly) override;
    void setColour(Control control, std::optional<Rgb> colour) override;
    void setTop(Control control, int top) override;
    void setHeight(Control control, int height) override;
    void setFocus(Control control) override;
    MessageAnswer messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> askPassword() override;
    std::optional<std::string> chooseSaveFile(const std::string& proposed) override;
    std::optional<std::string> chooseOpenFile(const std::string& folder) override;
    PrintOutcome printWindow() override;
    void startTimer(TimerId id, int intervalMs) override;
    void stopTimer(TimerId id) override;
    bool timerRunning(TimerId id) const override;
    void beep() override;
    void repaint() override;
    void chartChanged() override;
    void sendChartToBack() override;
    void showAnalysis(const AnalysisDisplay& analysis) override;
    void openAnalysisDialog() override;
    void openArchiveWindow() override;
    void highlightEpisode(std::optional<TimeSpan> span) override;
    std::optional<std::string> chooseReportFile(const std::string& proposed) override;
    void writeReport(const std::string& path, const NightReport& report) override;

  private:
    void buildControls();
    void add(Control control, QWidget* widget);
    // Beside the window where the screen has room, so that the chart stays in view.
    void placeBeside(QWidget& dialog);
    // Ctrl+O, Ctrl+S and Ctrl+P for "Из файла", "В файл" and "Печать"; F1 the short help.
    void addShortcuts();
    void showHelp();
    QTimer& timer(TimerId id) { return id == TimerId::Timer1 ? timer1_ : timer2_; }
    const QTimer& timer(TimerId id) const { return id == TimerId::Timer1 ? timer1_ : timer2_; }

    TTMForm* form_ = nullptr;  // the behaviour attached, for the password dialog's purpose
    std::unique_ptr<QWidget> window_;
    std::map<Control, QWidget*> controls_;
    std::map<Control, TypingLimit*> typingLimits_;  // owned by their fields
    DiameterChart* chart_ = nullptr;
    PasswordDialog* password_ = nullptr;
    AnalysisDialog* analysis_ = nullptr;
    NightFiling* filing_ = nullptr;
    ArchiveWindow* archiveWindow_ = nullptr;  // made when first opened
    WindowEvents* events_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QTimer timer1_;
    QTimer timer2_;
};

}  // namespace npt
