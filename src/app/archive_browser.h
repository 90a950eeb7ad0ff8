// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The patients window's behaviour, free of widgets: what its lists show of the archive (the
// patients a search finds, the unidentified nights as one more entry, a patient's studies and
// nights with each night's analysis), and the changes the doctor makes there (a night moved or
// deleted, a patient's number and year of birth, a folder of recordings imported). The archive
// is asked afresh at every step through the window's NightFiling; a step the archive fails
// changes nothing, and failure() then holds its Russian message.
#include <optional>
#include <string>
#include <vector>

#include "app/night_filing.h"
#include "archive/import_folder.h"

namespace npt {

inline constexpr const char* kUnidentifiedEntry = "Не опознаны";

// One line of the patients list: a patient, or the unidentified nights.
struct PatientLine {
    std::optional<archive::Id> patient;  // none: the unidentified nights
    std::string name;
    std::string age;  // empty when unknown
    std::string number;
    std::string birthYear;
    std::string nights;
    std::string lastDate;  // dd.MM.yy of the latest night
    std::string search;    // the unidentified nights: the text they were found by
};

// One night under its study.
struct NightLine {
    archive::Id night = 0;
    std::string date;
    std::string start;
    std::string period;
    std::string source;
    std::string episodes;
    std::string tumescence;  // the episodes' total time
};

struct StudyLines {
    std::optional<archive::Id> study;  // none: the unidentified nights, which have no study
    std::string title;
    std::vector<NightLine> nights;
};

// Where "Перенести…" puts a night: an archive patient, or a new one by name (the patient of
// that name when there is one already), into one of that patient's studies or, without one,
// into the study the night's date continues.
struct MoveTarget {
    std::optional<archive::Id> patient;
    std::string newPatientName;
    std::optional<archive::Id> study;
};

// The summary box of an import: its text, and every refusal when there are too many for it.
struct ImportReport {
    std::string text;
    std::string details;
};

struct EdfStudyExport {
    std::vector<std::string> written;  // the files' paths
    std::optional<std::string> failure;
    std::string text() const;
};

class ArchiveBrowser {
  public:
    explicit ArchiveBrowser(NightFiling& filing) : filing_(filing) {}
    // The archive opened afresh at the next step ("Обновить"): a server back, a disk mounted.
    void reconnect() { filing_.reconnect(); }

    const std::optional<std::string>& failure() const { return failure_; }
    const std::string& archiveName() const { return archiveName_; }

    // The patients whose name, number or a night's date holds text, the unidentified nights
    // first when any of them fits (all for an empty text); nothing when the archive fails.
    std::optional<std::vector<PatientLine>> patients(const std::string& text);
    // The line's studies, the oldest first, each night with its analysis.
    std::optional<std::vector<StudyLines>> studies(const PatientLine& line);
    // A patient's studies, titled, without their nights' analyses: the choice of "Перенести…".
    std::optional<std::vector<StudyLines>> studyChoices(archive::Id patient);

    // The question asked before a night goes.
    static std::string deleteQuestion(const NightLine& night, const PatientLine& of);

    // Each returns why it changed nothing: a refusal of what was typed, or the archive's
    // message; nothing when done.
    std::optional<std::string> moveNight(archive::Id night, const MoveTarget& target);
    std::optional<std::string> deleteNight(archive::Id night);
    std::optional<std::string> setPatientDetails(archive::Id patient, const std::string& number,
                                                 const std::string& birthYear);

    // The night written to path as EDF+; the doctor's message when it is not, nothing when done.
    std::optional<std::string> exportNightEdf(archive::Id night, const std::string& path);
    // Each of the study's nights into folder, one EDF+ file each under its own name (an existing
    // file of that name replaced); what was written and what was not, for one box.
    EdfStudyExport exportStudyEdf(archive::Id study, const std::string& folder);

    // The recordings "Импорт папки…" files from folder; nothing when it is no folder.
    std::optional<std::vector<std::string>> recordingsIn(const std::string& folder);
    // Files them one after another, telling onFiled of each; nothing when the archive cannot
    // be opened (failure() says why).
    std::optional<archive::ImportSummary> importRecordings(const std::vector<std::string>& files,
                                                           const archive::FiledHandler& onFiled);
    static ImportReport importReport(const std::string& folder,
                                     const archive::ImportSummary& summary, std::size_t files);

  private:
    archive::Archive* open();
    template <typename Step>
    auto attempt(Step step) -> std::optional<decltype(step(std::declval<archive::Archive&>()))>;

    NightFiling& filing_;
    std::optional<std::string> failure_;
    std::string archiveName_;
};

}  // namespace npt
