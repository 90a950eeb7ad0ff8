// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Анализ ночи" ("Анализ записи" for a recording shorter than a night): the night's analysis
// beside the main window (not modal, so the chart and its shaded episodes stay in view and
// usable): the summary, the quality verdict, the recorded span, the four parameters, the episode
// table, the stretches left out with their reasons (when there are any), the night's figures,
// the statement on rigidity, and saving the report. It shows what the window's behaviour gives it;
// a changed parameter or a click on "Сохранить отчёт…" goes back to that behaviour, which analyses
// and answers at once.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "analysis/night_review.h"
#include "app/form_view.h"

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace npt {

class AnalysisDialog : public QDialog {
  public:
    explicit AnalysisDialog(QWidget* parent);

    // Shows the analysis; the parameter fields follow it without reporting a change.
    void display(const AnalysisDisplay& shown);

    // Called with the four parameters whenever the doctor changes one of them; returns why they
    // were refused, if they were (the dialog shows it).
    std::function<std::optional<std::string>(const AnalysisParameters&)> onParametersChanged;
    // Called when the doctor asks for the report.
    std::function<void()> onSaveReport;
    // The review: a step the doctor took (why it was refused, if it was); a row picked (the
    // episode's found bounds, none when no row is); the stretch of the night the chart shows,
    // seconds from the first sample, which an episode added by hand starts from.
    std::function<std::optional<std::string>(const ReviewStep&)> onReview;
    std::function<void(std::optional<std::pair<int, int>>)> onEpisodeSelected;
    std::function<std::pair<int, int>()> visibleStretch;

    QDoubleSpinBox* thresholdField() const { return threshold_; }
    QDoubleSpinBox* minDurationField() const { return minDuration_; }
    QDoubleSpinBox* mergeGapField() const { return mergeGap_; }
    QDoubleSpinBox* fullThresholdField() const { return fullThreshold_; }
    QTableWidget* table() const { return table_; }
    // The stretches left out: from, to, duration and reason; its box is hidden when none is.
    QTableWidget* leftOutTable() const { return leftOut_; }
    QGroupBox* leftOutBox() const { return leftOutBox_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* rejectButton() const { return reject_; }
    QPushButton* acceptButton() const { return accept_; }
    QPushButton* moveButton() const { return move_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* windowButton() const { return window_; }
    QLabel* reviewList() const { return reviewList_; }
    // The stretch dialog of "Границы…", "Добавить…" and "Окно анализа…": given the title and
    // the stretch it opens with (seconds from the first sample), the stretch confirmed or none.
    // Tests answer it in place of the doctor.
    std::function<std::optional<std::pair<int, int>>(const QString&, std::pair<int, int>)>
        askStretch;

  private:
    void setParameters(const AnalysisParameters& parameters);
    AnalysisParameters parameters() const;
    void parameterEdited();
    void showLeftOut(const NightAnalysis& analysis);
    void buildReview();
    void showReview(const AnalysisDisplay& shown);
    void rowPicked();
    void review(ReviewKind kind);
    // The row picked: its episode, and whether it was rejected.
    struct Picked {
        NightEpisode episode;
        bool rejected = false;
    };
    std::optional<Picked> picked() const;
    std::optional<std::pair<int, int>> stretchFromDoctor(const QString& title,
                                                         std::pair<int, int> initial);

    QLabel* summary_;
    QLabel* verdict_;
    QLabel* span_;
    QLabel* facts_;
    QDoubleSpinBox* threshold_;
    QDoubleSpinBox* minDuration_;
    QDoubleSpinBox* mergeGap_;
    QDoubleSpinBox* fullThreshold_;
    QLabel* changed_;  // which parameters differ from their defaults, and those defaults
    QLabel* refused_;
    QTableWidget* table_;
    QGroupBox* leftOutBox_;
    QTableWidget* leftOut_;
    QPushButton* save_;
    QGroupBox* reviewBox_ = nullptr;
    QPushButton* reject_ = nullptr;
    QPushButton* accept_ = nullptr;
    QPushButton* move_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* window_ = nullptr;
    QLabel* reviewList_ = nullptr;
    QLabel* reviewRefused_ = nullptr;
    NightAnalysis shownAnalysis_;  // what the table rows are made of
    std::vector<Picked> rows_;     // one per table row
};

}  // namespace npt
