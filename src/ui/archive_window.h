// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Архив пациентов": the patients window beside the main window (not modal, so the night opened
// from it is in view). A search field that searches as it is typed (name, patient number, a
// night's date), the patients it finds with the unidentified nights as one more entry, the
// selected patient's studies with their nights and each night's analysis; a night opened into
// the main window, moved to another patient or study, or deleted; a patient's number and year
// of birth; a folder of recordings imported. The lists are read afresh whenever the window is
// shown and on "Обновить". When the archive cannot be opened, the window says why in place of
// the lists. It shows what ArchiveBrowser gives it and calls it for every change.
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "app/archive_browser.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTreeView;
class QTreeWidget;

namespace npt {

class PatientsModel;

class ArchiveWindow : public QDialog {
  public:
    ArchiveWindow(NightFiling& filing, QWidget* parent);

    // "Открыть": the night into the main window; false when it could not be opened there.
    std::function<bool(archive::Id)> onOpenNight;
    // The doctor's name in the main window, which a study's conclusion is signed with.
    std::function<std::string()> doctorName;

    // The archive read afresh, with the search as typed; the selection kept where it still is.
    void refresh();

    QLineEdit* searchField() const { return search_; }
    QTreeView* patientList() const { return patients_; }
    QTreeWidget* nightTree() const { return nights_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* moveButton() const { return move_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* detailsButton() const { return details_; }
    QPushButton* studyButton() const { return study_; }
    QPushButton* importButton() const { return import_; }
    // "В EDF+…": the night selected, or all the nights of its study, as EDF+ files.
    QPushButton* edfButton() const { return edf_; }
    QAction* edfNightAction() const { return edfNight_; }
    QAction* edfStudyAction() const { return edfStudy_; }
    QPushButton* refreshButton() const { return refresh_; }
    // What the window says in place of the lists; hidden while they show.
    QLabel* failureText() const { return failure_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The search as typed; nightsAnew: the selected patient's nights read again too.
    void showPatients(bool nightsAnew);
    void showNights();
    void showFailure(const std::string& text);
    void followSelection();
    void openNight();
    void moveNight();
    void deleteNight();
    void editPatient();
    void openStudy();
    void importFolder();
    void exportNightEdf();
    void exportStudyEdf();
    void warn(const std::string& text);
    const PatientLine* selectedPatient() const;
    const NightLine* selectedNight() const;
    // The study of the night selected; none for an unidentified night.
    std::optional<archive::Id> selectedStudy() const;

    ArchiveBrowser browser_;
    std::vector<StudyLines> studyLines_;  // of the patient selected
    QLineEdit* search_;
    QPushButton* refresh_;
    QPushButton* import_;
    QStackedWidget* pages_;
    PatientsModel* patientsModel_;
    QTreeView* patients_;
    QTreeWidget* nights_;
    QLabel* failure_;
    QPushButton* open_;
    QPushButton* study_ = nullptr;
    NightFiling& filing_;
    QPushButton* move_;
    QPushButton* delete_;
    QPushButton* details_;
    QPushButton* edf_;
    QAction* edfNight_;
    QAction* edfStudy_;
};

}  // namespace npt
