// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A patient's study: its nights one under another on the same time of night, each with its
// figures beside it and the best night marked (the longest total tumescence: clinicians judge
// by the best night, the first is often spoilt by the strange bed), the doctor's review changes,
// and the study's conclusion, kept in the archive and printed on the one-page study report.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/night_filing.h"
#include "archive/archive.h"
#include "report/study_report.h"

class QLabel;
class QPrinter;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace npt {

class StudyWindow : public QDialog {
  public:
    // Shows the study as the window's archive holds it now; throws ArchiveError when it cannot
    // be read. The archive is asked afresh at each step: it may have been opened anew since.
    StudyWindow(QWidget* parent, NightFiling& filing, archive::Id study, const std::string& doctor);

    // A night's "Открыть" clicked: the main window opens it.
    std::function<void(archive::Id night)> onOpenNight;
    // The file for the study report: the chosen path or empty (cancelled). Tests answer it.
    std::function<QString(const QString& proposed)> chooseReportFile;
    // The print dialog for "Печать…": true when a printer was chosen. Tests answer it.
    std::function<bool(QPrinter& printer)> choosePrinter;

    const StudyReport& study() const { return report_; }
    QPlainTextEdit* conclusionField() const { return conclusion_; }
    QLineEdit* doctorField() const { return doctor_; }
    QPushButton* saveConclusionButton() const { return saveConclusion_; }
    QPushButton* reportButton() const { return report_button_; }
    QPushButton* printButton() const { return print_; }
    // Each night's figures, as shown beside its chart.
    std::vector<QLabel*> nightLabels() const { return figures_; }

  private:
    void saveConclusion();
    void writeReport();
    void printReport();

    NightFiling& filing_;
    archive::Id study_;
    StudyReport report_;
    QPlainTextEdit* conclusion_;
    QLineEdit* doctor_;
    QPushButton* saveConclusion_;
    QPushButton* report_button_;
    QPushButton* print_;
    QLabel* said_;
    std::vector<QLabel*> figures_;
};

}  // namespace npt
