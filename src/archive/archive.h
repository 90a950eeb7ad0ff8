// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The patient archive: every night filed with its patient and study, the doctor's review of it
// and the study's conclusion. The same behaviour on an SQLite file and on a PostgreSQL server:
// one SQL text over SqlConnection. Every change is one transaction, so a night is either
// wholly in or wholly out whatever stops the program; a night's identity is the SHA-256 of its
// bytes, so the same night filed twice, by two programs at once too, is one night.
//
// Every failure throws ArchiveError with a Russian message; the archive is never left half
// changed.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/parameters.h"
#include "archive/night_entry.h"
#include "archive/sql_connection.h"

namespace npt::archive {

using Id = std::int64_t;

enum class NightSource { Recorder, File };

struct NightRow {
    Id id = 0;
    std::string sha256;
    std::optional<Id> patientId;  // none: not identified ("не опознан")
    std::optional<Id> studyId;
    std::optional<std::string> patientName;
    bool nameProtected = false;
    NightSource source = NightSource::File;
    std::string sourceName;  // the file's name; empty for a read
    std::string filedAt;     // UTC, "YYYY-MM-DD HH:MM:SS"
    std::string date;        // dd.MM.yy
    std::string start;       // HH:MM
    int periodSeconds = 0;
    std::string parameters;  // the analysis parameters used, as JSON
};

struct PatientRow {
    Id id = 0;
    std::string name;
    std::optional<std::string> number;
    std::optional<int> birthYear;
    std::optional<int> age;
    int nights = 0;
    std::string lastDate;  // dd.MM.yy of the latest night; empty without nights
};

struct StudyRow {
    Id id = 0;
    std::string createdAt;
    std::optional<std::string> conclusion;
    std::optional<std::string> doctor;
    std::optional<std::string> concludedAt;
    std::vector<NightRow> nights;  // in the order of the nights
};

struct PatientRecord {
    PatientRow patient;
    std::vector<StudyRow> studies;  // the oldest first
};

enum class AddOutcome { Added, AlreadyThere };

struct AddResult {
    AddOutcome outcome = AddOutcome::Added;
    Id nightId = 0;
    std::optional<Id> patientId;
};

// One change of the doctor's review of a night: kind "accept", "reject", "move", "add",
// "window" (what the analysis dialog names), the episode it concerns (its number when changed,
// and its start and end as the analysis found it, which find it again) and the stretch it sets,
// in seconds from the first sample.
struct ReviewChange {
    std::string kind;
    std::optional<int> episode;
    std::optional<int> episodeStart;
    std::optional<int> episodeEnd;
    std::optional<int> startSeconds;
    std::optional<int> endSeconds;
    std::string doctor;
    std::string changedAt;  // UTC; filled in by the archive when empty
};

struct PatientDetails {
    std::optional<std::string> number;
    std::optional<int> birthYear;
};

// A night of a study filed within this many days after the study's latest one continues the
// study (the test takes two or three nights, not always in a row); a later one starts another.
inline constexpr int kStudyGapDays = 7;

class Archive {
  public:
    enum class Open {
        Create,    // made when missing; must be writable
        Existing,  // must be there; may be read-only
    };
    // location: an SQLite file's path, or a "postgresql://" URI. Throws ArchiveError.
    static Archive open(const std::string& location, Open mode,
                        std::chrono::milliseconds busyTimeout = std::chrono::seconds(10));
    // The SQLite file where the user's own archive lives by default.
    static std::string defaultLocation();
    static bool isServerLocation(const std::string& location);

    Archive(Archive&&) noexcept;
    Archive& operator=(Archive&&) noexcept;
    ~Archive();

    // The archive as messages name it (a server's address without its password).
    const std::string& name() const { return name_; }

    // Files a night: an identified one with the patient of its name (made when there is none),
    // in the patient's study it continues or a new one; a night the name of which is hidden, or
    // empty, unidentified. A night already there is left as it is.
    AddResult add(const NightEntry& entry, NightSource source, const std::string& sourceName,
                  const AnalysisParameters& parameters);
    // Gives an unidentified protected night its patient once password unlocks its name; the
    // patient's id, or nothing when the password is wrong or the night has no name.
    std::optional<Id> identify(Id night, const std::string& password);

    std::vector<NightRow> nights();
    std::optional<NightRow> night(Id id);
    std::vector<NightRow> unidentifiedNights();
    // Patients whose name, number or a night's date holds text (any case); all for "".
    std::vector<PatientRow> patients(const std::string& text = "");
    std::optional<PatientRecord> patient(Id id);
    // The patient whose study it is; nothing when there is no such study.
    std::optional<Id> studyPatient(Id study);
    // The night's data file bytes, as they were filed.
    std::vector<std::uint8_t> nightBytes(Id id);

    Id createPatient(const std::string& name, const PatientDetails& details = {});
    void setPatientDetails(Id patient, const PatientDetails& details);
    // Moves a night to another patient, into study (which must be that patient's) or, without
    // one, into the study it continues or a new one. A study left without nights goes.
    void moveNight(Id night, Id patient, std::optional<Id> study = std::nullopt);
    // Moves a night to the patient of that name, made when there is none, in one change; the
    // patient's id.
    Id moveNightToPatientNamed(Id night, const std::string& name);
    void deleteNight(Id night);

    void addReviewChange(Id night, const ReviewChange& change);
    std::vector<ReviewChange> review(Id night);
    void conclude(Id study, const std::string& conclusion, const std::string& doctor);

    // What is wrong with the archive: the database's own checks, and every night whose bytes
    // no longer match their digest or length. Empty when nothing.
    std::vector<std::string> check();
    // Writes a consistent copy of an SQLite archive to path (through the atomic path), while
    // others may be using it. A server's archive is copied with its own tools (pg_dump).
    void backup(const std::string& path);

  private:
    Archive(std::unique_ptr<SqlConnection> db, std::string name);
    template <typename Body>
    auto inTransaction(bool writes, Body body);
    std::optional<Id> patientByName(const std::string& name);
    Id studyFor(Id patient, const std::string& nightOrder, std::optional<Id> except);
    void dropEmptyStudies(Id patient);
    void moveWithin(Id night, Id patient, std::optional<Id> study);
    void requireRow(const char* table, Id id);

    std::unique_ptr<SqlConnection> db_;
    std::string name_;
};

// The current time in UTC as the archive stores it.
std::string utcNow();

// The name as patients are found by it: lower case, spaces trimmed and single.
std::string nameKey(const std::string& name);

}  // namespace npt::archive
