// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "archive/archived_night.h"
#include "archive/schema.h"
#include "archive/sha256.h"
#include "archive/sqlite_connection.h"
#include "measure/time_of_day.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/file_system.h"
#include "os/utf8_path.h"
#include "recorder/utf8.h"
#include "records/data_file.h"

namespace npt::archive {

namespace {

using Kind = ArchiveError::Kind;

// What every night query selects, in NightRow's order; nightFrom reads it.
constexpr const char* kNightColumns =
    "n.id, n.sha256, n.patient_id, n.study_id, p.name, n.name_protected, n.source, "
    "n.source_name, n.filed_at, n.date, n.start_minute, n.period_s, n.parameters "
    "FROM nights n LEFT JOIN patients p ON p.id = n.patient_id";

std::optional<std::int64_t> integer(const SqlValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        return *i;
    }
    return std::nullopt;
}

std::optional<std::string> text(const SqlValue& v) {
    if (const auto* t = std::get_if<std::string>(&v)) {
        return *t;
    }
    return std::nullopt;
}

std::optional<int> smallInteger(const SqlValue& v) {
    const auto i = integer(v);
    return i ? std::optional<int>(static_cast<int>(*i)) : std::nullopt;
}

SqlValue orNull(const std::optional<std::string>& t) {
    return t ? SqlValue(*t) : SqlValue();
}

SqlValue orNull(const std::optional<int>& i) {
    return i ? SqlValue(static_cast<std::int64_t>(*i)) : SqlValue();
}

NightRow nightFrom(const SqlRow& r) {
    NightRow n;
    n.id = integer(r.at(0)).value_or(0);
    n.sha256 = text(r.at(1)).value_or("");
    n.patientId = integer(r.at(2));
    n.studyId = integer(r.at(3));
    n.patientName = text(r.at(4));
    n.nameProtected = integer(r.at(5)).value_or(0) != 0;
    n.source = text(r.at(6)) == std::string("recorder") ? NightSource::Recorder : NightSource::File;
    n.sourceName = text(r.at(7)).value_or("");
    n.filedAt = text(r.at(8)).value_or("");
    n.date = text(r.at(9)).value_or("");
    const int minute = smallInteger(r.at(10)).value_or(0);
    n.start = hourMinuteText(minute * 60LL);
    n.periodSeconds = smallInteger(r.at(11)).value_or(0);
    n.parameters = text(r.at(12)).value_or("");
    return n;
}

// Days since 1970-01-01 of a "YYYY-MM-DD..." text (the civil calendar), for the gap between
// nights.
long daysOf(const std::string& order) {
    if (order.size() < 10) {
        return 0;
    }
    int y = std::atoi(order.substr(0, 4).c_str());
    const int m = std::atoi(order.substr(5, 2).c_str());
    const int d = std::atoi(order.substr(8, 2).c_str());
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long>(era) * 146097 + doe - 719468;
}

char32_t lowerCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= U'А' && c <= U'Я')) {
        return c + 32;
    }
    if (c >= U'Ѐ' && c <= U'Џ') {
        return c + 80;
    }
    return c;
}

std::string likePattern(const std::string& textPart) {
    std::string pattern = "%";
    for (const char c : textPart) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

}  // namespace

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
    return buffer;
}

std::string nameKey(const std::string& name) {
    const auto characters = utf8::decode(name);
    if (!characters) {
        return name;
    }
    std::u32string key;
    for (const char32_t c : *characters) {
        if (c == U' ' || c == U'\t') {
            if (!key.empty() && key.back() != U' ') {
                key += U' ';
            }
        } else {
            key += lowerCase(c);
        }
    }
    while (!key.empty() && key.back() == U' ') {
        key.pop_back();
    }
    return utf8::encode(key);
}

Archive::Archive(std::unique_ptr<SqlConnection> db, std::string name)
    : db_(std::move(db)), name_(std::move(name)) {}
Archive::Archive(Archive&&) noexcept = default;
Archive& Archive::operator=(Archive&&) noexcept = default;
Archive::~Archive() = default;

template <typename Body>
auto Archive::inTransaction(bool writes, Body body) {
    db_->begin(writes);
    try {
        // What SQLite's write lock does for a file, one lock of the archive's own does on a
        // server: changes one at a time, so that two programs filing nights of one name at
        // once do not make the patient twice.
        if (writes && db_->dialect() == Dialect::Postgresql) {
            db_->query("SELECT pg_advisory_xact_lock(2026121102)", {});
        }
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            db_->commit();
        } else {
            auto result = body();
            db_->commit();
            return result;
        }
    } catch (...) {
        db_->rollback();
        throw;
    }
}

// Throws the Refused error naming what is missing, unless table holds a row of that id.
void Archive::requireRow(const char* table, Id id) {
    const SqlValue params[] = {id};
    if (!db_->query(std::string("SELECT id FROM ") + table + " WHERE id = ?", params).empty()) {
        return;
    }
    const std::string what = std::string(table) == "patients"  ? "пациента"
                             : std::string(table) == "studies" ? "исследования"
                                                               : "ночи";
    throw ArchiveError(Kind::Refused, "В архиве нет " + what + " № " + std::to_string(id) + ".");
}

std::optional<Id> Archive::patientByName(const std::string& name) {
    const SqlValue params[] = {nameKey(name)};
    const auto rows =
        db_->query("SELECT id FROM patients WHERE name_key = ? ORDER BY id LIMIT 1", params);
    return rows.empty() ? std::nullopt : integer(rows.front().at(0));
}

Id Archive::studyFor(Id patient, const std::string& nightOrder, std::optional<Id> except) {
    const SqlValue params[] = {patient, except ? SqlValue(*except) : SqlValue(std::int64_t{0})};
    const auto rows = db_->query(
        "SELECT n.study_id, n.night_order FROM nights n JOIN studies s ON s.id = n.study_id "
        "WHERE s.patient_id = ? AND n.id <> ?",
        params);
    const long day = daysOf(nightOrder);
    std::optional<Id> best;
    long bestDistance = kStudyGapDays + 1;
    for (const auto& row : rows) {
        const long distance = std::labs(daysOf(text(row.at(1)).value_or("")) - day);
        if (distance < bestDistance ||
            (distance == bestDistance && best && *best < *integer(row.at(0)))) {
            bestDistance = distance;
            best = integer(row.at(0));
        }
    }
    if (best && bestDistance <= kStudyGapDays) {
        return *best;
    }
    const SqlValue study[] = {patient, utcNow()};
    const auto made = db_->query(
        "INSERT INTO studies (patient_id, created_at) VALUES (?, ?) RETURNING id", study);
    return integer(made.at(0).at(0)).value_or(0);
}

void Archive::dropEmptyStudies(Id patient) {
    const SqlValue params[] = {patient};
    db_->query(
        "DELETE FROM studies WHERE patient_id = ? AND NOT EXISTS "
        "(SELECT 1 FROM nights n WHERE n.study_id = studies.id)",
        params);
}

AddResult Archive::add(const NightEntry& entry, NightSource source, const std::string& sourceName,
                       const AnalysisParameters& parameters) {
    return inTransaction(true, [&] {
        AddResult result;
        const SqlValue find[] = {entry.sha256};
        if (const auto rows =
                db_->query("SELECT id, patient_id FROM nights WHERE sha256 = ?", find);
            !rows.empty()) {
            result.outcome = AddOutcome::AlreadyThere;
            result.nightId = integer(rows.front().at(0)).value_or(0);
            result.patientId = integer(rows.front().at(1));
            return result;
        }
        std::optional<Id> patient;
        std::optional<Id> study;
        if (entry.name) {
            patient = patientByName(*entry.name);
            if (!patient) {
                patient = createPatient(*entry.name);
            }
            const SqlValue age[] = {static_cast<std::int64_t>(entry.age), *patient};
            db_->query("UPDATE patients SET age = ? WHERE id = ?", age);
            study = studyFor(*patient, entry.order, std::nullopt);
        }
        const SqlValue night[] = {
            entry.sha256,
            Blob{entry.bytes},
            patient ? SqlValue(*patient) : SqlValue(),
            study ? SqlValue(*study) : SqlValue(),
            static_cast<std::int64_t>(entry.nameProtected ? 1 : 0),
            std::string(source == NightSource::Recorder ? "recorder" : "file"),
            sourceName.empty() ? SqlValue() : SqlValue(sourceName),
            utcNow(),
            entry.date,
            entry.order,
            static_cast<std::int64_t>(entry.startMinute),
            static_cast<std::int64_t>(entry.periodSeconds),
            parametersText(parameters)};
        // Another program may file the same night at this moment: the digest's uniqueness
        // lets one of the two in, and the other finds it.
        const auto inserted = db_->query(
            "INSERT INTO nights (sha256, data, patient_id, study_id, name_protected, source, "
            "source_name, filed_at, date, night_order, start_minute, period_s, parameters) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (sha256) DO NOTHING "
            "RETURNING id",
            night);
        if (inserted.empty()) {
            const auto rows =
                db_->query("SELECT id, patient_id FROM nights WHERE sha256 = ?", find);
            result.outcome = AddOutcome::AlreadyThere;
            result.nightId = integer(rows.at(0).at(0)).value_or(0);
            result.patientId = integer(rows.at(0).at(1));
            if (patient) {
                dropEmptyStudies(*patient);
            }
            return result;
        }
        result.nightId = integer(inserted.front().at(0)).value_or(0);
        result.patientId = patient;
        return result;
    });
}

std::optional<Id> Archive::identify(Id nightId, const std::string& password) {
    const auto bytes = nightBytes(nightId);
    if (!passwordUnlocks(bytes, password)) {
        return std::nullopt;
    }
    const NightEntry entry = nightEntryOf(bytes, password);
    if (!entry.name) {
        return std::nullopt;
    }
    return inTransaction(true, [&]() -> std::optional<Id> {
        const SqlValue find[] = {nightId};
        const auto rows = db_->query("SELECT patient_id FROM nights WHERE id = ?", find);
        if (rows.empty()) {
            return std::nullopt;
        }
        if (const auto already = integer(rows.front().at(0))) {
            return already;  // a doctor's choice is not undone by a password
        }
        Id patient = patientByName(*entry.name).value_or(0);
        if (patient == 0) {
            patient = createPatient(*entry.name);
        }
        const Id study = studyFor(patient, entry.order, nightId);
        const SqlValue update[] = {patient, study, nightId};
        db_->query("UPDATE nights SET patient_id = ?, study_id = ? WHERE id = ?", update);
        return patient;
    });
}

std::vector<NightRow> Archive::nights() {
    std::vector<NightRow> result;
    for (const auto& row :
         db_->query(std::string("SELECT ") + kNightColumns + " ORDER BY n.night_order, n.id", {})) {
        result.push_back(nightFrom(row));
    }
    return result;
}

std::optional<NightRow> Archive::night(Id id) {
    const SqlValue params[] = {id};
    const auto rows =
        db_->query(std::string("SELECT ") + kNightColumns + " WHERE n.id = ?", params);
    return rows.empty() ? std::nullopt : std::optional<NightRow>(nightFrom(rows.front()));
}

std::vector<NightRow> Archive::unidentifiedNights() {
    std::vector<NightRow> result;
    for (const auto& row :
         db_->query(std::string("SELECT ") + kNightColumns +
                        " WHERE n.patient_id IS NULL ORDER BY n.night_order, n.id",
                    {})) {
        result.push_back(nightFrom(row));
    }
    return result;
}

std::vector<PatientRow> Archive::patients(const std::string& textPart) {
    std::string sql =
        "SELECT p.id, p.name, p.number, p.birth_year, p.age, "
        "(SELECT COUNT(*) FROM nights n WHERE n.patient_id = p.id), "
        "(SELECT MAX(n.night_order) FROM nights n WHERE n.patient_id = p.id), p.name_key "
        "FROM patients p";
    std::vector<SqlValue> params;
    if (const std::string key = nameKey(textPart); !key.empty()) {
        sql +=
            " WHERE p.name_key LIKE ? ESCAPE '\\' OR p.number_key LIKE ? ESCAPE '\\' OR EXISTS "
            "(SELECT 1 FROM nights n WHERE n.patient_id = p.id AND n.date LIKE ? ESCAPE '\\')";
        const std::string pattern = likePattern(key);
        params = {pattern, pattern, pattern};
    }
    // Sorted here rather than by the server, whose collation depends on how it was set up.
    std::vector<std::pair<std::string, PatientRow>> keyed;
    for (const auto& r : db_->query(sql, params)) {
        PatientRow p;
        p.id = integer(r.at(0)).value_or(0);
        p.name = text(r.at(1)).value_or("");
        p.number = text(r.at(2));
        p.birthYear = smallInteger(r.at(3));
        p.age = smallInteger(r.at(4));
        p.nights = smallInteger(r.at(5)).value_or(0);
        if (const auto last = text(r.at(6)); last && last->size() >= 10) {
            p.lastDate = last->substr(8, 2) + "." + last->substr(5, 2) + "." + last->substr(2, 2);
        }
        keyed.emplace_back(text(r.at(7)).value_or(""), std::move(p));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.id < b.second.id;
    });
    std::vector<PatientRow> result;
    result.reserve(keyed.size());
    for (auto& k : keyed) {
        result.push_back(std::move(k.second));
    }
    return result;
}

std::optional<PatientRecord> Archive::patient(Id id) {
    return inTransaction(false, [&]() -> std::optional<PatientRecord> {
        const SqlValue params[] = {id};
        PatientRecord record;
        const auto found = db_->query(
            "SELECT id, name, number, birth_year, age FROM patients WHERE id = ?", params);
        if (found.empty()) {
            return std::nullopt;
        }
        const auto& r = found.front();
        record.patient.id = id;
        record.patient.name = text(r.at(1)).value_or("");
        record.patient.number = text(r.at(2));
        record.patient.birthYear = smallInteger(r.at(3));
        record.patient.age = smallInteger(r.at(4));
        for (const auto& s : db_->query("SELECT id, created_at, conclusion, doctor, concluded_at "
                                        "FROM studies WHERE patient_id = ? ORDER BY id",
                                        params)) {
            StudyRow study;
            study.id = integer(s.at(0)).value_or(0);
            study.createdAt = text(s.at(1)).value_or("");
            study.conclusion = text(s.at(2));
            study.doctor = text(s.at(3));
            study.concludedAt = text(s.at(4));
            record.studies.push_back(std::move(study));
        }
        for (const auto& row :
             db_->query(std::string("SELECT ") + kNightColumns +
                            " WHERE n.patient_id = ? ORDER BY n.night_order, n.id",
                        params)) {
            NightRow night = nightFrom(row);
            for (auto& study : record.studies) {
                if (night.studyId == study.id) {
                    study.nights.push_back(night);
                }
            }
            ++record.patient.nights;
            record.patient.lastDate = night.date;
        }
        return record;
    });
}

std::optional<Id> Archive::studyPatient(Id study) {
    const SqlValue params[] = {study};
    const auto rows = db_->query("SELECT patient_id FROM studies WHERE id = ?", params);
    return rows.empty() ? std::nullopt : integer(rows.front().at(0));
}

std::vector<std::uint8_t> Archive::nightBytes(Id id) {
    const SqlValue params[] = {id};
    const auto rows = db_->query("SELECT data FROM nights WHERE id = ?", params);
    if (rows.empty()) {
        throw ArchiveError(Kind::Refused,
                           "В архиве «" + name_ + "» нет ночи № " + std::to_string(id) + ".");
    }
    const auto* blob = std::get_if<Blob>(&rows.front().at(0));
    if (blob == nullptr) {
        throw ArchiveError(Kind::Damaged, "Архив «" + name_ + "» повреждён: у ночи № " +
                                              std::to_string(id) + " нет данных.");
    }
    return blob->bytes;
}

Id Archive::createPatient(const std::string& name, const PatientDetails& details) {
    const SqlValue params[] = {name,
                               nameKey(name),
                               orNull(details.number),
                               details.number ? SqlValue(nameKey(*details.number)) : SqlValue(),
                               orNull(details.birthYear),
                               utcNow()};
    const auto rows = db_->query(
        "INSERT INTO patients (name, name_key, number, number_key, "
        "birth_year, created_at) VALUES (?, ?, ?, ?, ?, ?) RETURNING id",
        params);
    return integer(rows.at(0).at(0)).value_or(0);
}

void Archive::setPatientDetails(Id patient, const PatientDetails& details) {
    const SqlValue params[] = {orNull(details.number),
                               details.number ? SqlValue(nameKey(*details.number)) : SqlValue(),
                               orNull(details.birthYear), patient};
    inTransaction(true, [&] {
        requireRow("patients", patient);
        db_->query("UPDATE patients SET number = ?, number_key = ?, birth_year = ? WHERE id = ?",
                   params);
    });
}

void Archive::moveNight(Id nightId, Id patient, std::optional<Id> study) {
    inTransaction(true, [&] { moveWithin(nightId, patient, study); });
}

Id Archive::moveNightToPatientNamed(Id nightId, const std::string& name) {
    if (nameKey(name).empty()) {
        throw ArchiveError(Kind::Refused, "Не указано ФИО пациента.");
    }
    return inTransaction(true, [&] {
        // A name already in the archive is that patient, as when a night is filed.
        const Id patient = patientByName(name).value_or(0);
        const Id target = patient != 0 ? patient : createPatient(name);
        moveWithin(nightId, target, std::nullopt);
        return target;
    });
}

void Archive::moveWithin(Id nightId, Id patient, std::optional<Id> study) {
    {
        const SqlValue find[] = {nightId};
        const auto rows =
            db_->query("SELECT night_order, patient_id FROM nights WHERE id = ?", find);
        if (rows.empty()) {
            throw ArchiveError(Kind::Refused,
                               "В архиве нет ночи № " + std::to_string(nightId) + ".");
        }
        requireRow("patients", patient);
        if (study) {
            const SqlValue whose[] = {*study, patient};
            if (db_->query("SELECT id FROM studies WHERE id = ? AND patient_id = ?", whose)
                    .empty()) {
                throw ArchiveError(Kind::Refused, "Исследование № " + std::to_string(*study) +
                                                      " — не этого пациента.");
            }
        }
        const Id target =
            study ? *study : studyFor(patient, text(rows.front().at(0)).value_or(""), nightId);
        const SqlValue update[] = {patient, target, nightId};
        db_->query("UPDATE nights SET patient_id = ?, study_id = ? WHERE id = ?", update);
        if (const auto previous = integer(rows.front().at(1))) {
            dropEmptyStudies(*previous);
        }
    }
}

void Archive::deleteNight(Id nightId) {
    inTransaction(true, [&] {
        const SqlValue find[] = {nightId};
        const auto rows = db_->query("SELECT patient_id FROM nights WHERE id = ?", find);
        if (rows.empty()) {
            throw ArchiveError(Kind::Refused,
                               "В архиве нет ночи № " + std::to_string(nightId) + ".");
        }
        db_->query("DELETE FROM review_changes WHERE night_id = ?", find);
        db_->query("DELETE FROM nights WHERE id = ?", find);
        if (const auto previous = integer(rows.front().at(0))) {
            dropEmptyStudies(*previous);
        }
    });
}

void Archive::addReviewChange(Id nightId, const ReviewChange& change) {
    inTransaction(true, [&] {
        const SqlValue params[] = {nightId,
                                   change.kind,
                                   orNull(change.episode),
                                   orNull(change.episodeStart),
                                   orNull(change.episodeEnd),
                                   orNull(change.startSeconds),
                                   orNull(change.endSeconds),
                                   change.doctor.empty() ? SqlValue() : SqlValue(change.doctor),
                                   change.changedAt.empty() ? utcNow() : change.changedAt};
        requireRow("nights", nightId);
        db_->query(
            "INSERT INTO review_changes (night_id, kind, episode, episode_start_s, "
            "episode_end_s, start_s, end_s, doctor, changed_at) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
            params);
    });
}

std::vector<ReviewChange> Archive::review(Id nightId) {
    const SqlValue params[] = {nightId};
    std::vector<ReviewChange> changes;
    for (const auto& r :
         db_->query("SELECT kind, episode, episode_start_s, episode_end_s, start_s, end_s, "
                    "doctor, changed_at FROM review_changes WHERE night_id = ? ORDER BY id",
                    params)) {
        ReviewChange c;
        c.kind = text(r.at(0)).value_or("");
        c.episode = smallInteger(r.at(1));
        c.episodeStart = smallInteger(r.at(2));
        c.episodeEnd = smallInteger(r.at(3));
        c.startSeconds = smallInteger(r.at(4));
        c.endSeconds = smallInteger(r.at(5));
        c.doctor = text(r.at(6)).value_or("");
        c.changedAt = text(r.at(7)).value_or("");
        changes.push_back(std::move(c));
    }
    return changes;
}

void Archive::conclude(Id study, const std::string& conclusion, const std::string& doctor) {
    inTransaction(true, [&] {
        const SqlValue params[] = {conclusion, doctor, utcNow(), study};
        requireRow("studies", study);
        db_->query("UPDATE studies SET conclusion = ?, doctor = ?, concluded_at = ? WHERE id = ?",
                   params);
    });
}

std::vector<std::string> Archive::check() {
    std::vector<std::string> problems;
    if (auto* sqlite = dynamic_cast<SqliteConnection*>(db_.get())) {
        problems = sqlite->integrityProblems();
    }
    for (const auto& r : db_->query("SELECT id, sha256, data FROM nights ORDER BY id", {})) {
        const std::string id = std::to_string(integer(r.at(0)).value_or(0));
        const auto* blob = std::get_if<Blob>(&r.at(2));
        if (blob == nullptr || blob->bytes.size() != kDataFileSize) {
            problems.push_back("ночь № " + id + ": данные не в 4481 байт");
        } else if (sha256Hex(blob->bytes) != text(r.at(1)).value_or("")) {
            problems.push_back("ночь № " + id + ": данные не совпадают со своей суммой SHA-256");
        }
    }
    return problems;
}

void Archive::backup(const std::string& path) {
    auto* sqlite = dynamic_cast<SqliteConnection*>(db_.get());
    if (sqlite == nullptr) {
        throw ArchiveError(Kind::Refused,
                           "Архив на сервере копируется средствами сервера: pg_dump.");
    }
    const auto bytes = sqlite->snapshot();
    // The copy holds the patients' names as the archive does: open to the user alone. A file
    // made for it goes again if the copy cannot be written.
    const bool made = pathKind(path) == PathKind::Missing && createPrivateFile(path) == 0;
    try {
        writeFileAtomically(path, bytes, "Не удалось сохранить копию архива");
    } catch (...) {
        if (made) {
            std::error_code ignored;
            std::filesystem::remove(pathFromUtf8(path), ignored);
        }
        throw;
    }
}

}  // namespace npt::archive
