// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/archive_browser.h"

#include <algorithm>
#include <cctype>

#include "analysis/night_facts.h"
#include "app/clock.h"
#include "app/edf_equipment.h"
#include "archive/archived_edf.h"
#include "archive/archived_night.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/utf8_path.h"

namespace npt {

namespace {

// Refusals listed in the import's box itself; more go to its details.
constexpr std::size_t kRefusalsShown = 10;
constexpr int kEarliestBirthYear = 1900;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

NightLine lineOf(archive::Archive& a, const archive::NightRow& row) {
    NightLine line;
    line.night = row.id;
    line.date = row.date;
    line.start = row.start;
    line.period = std::to_string(row.periodSeconds) + " с";
    line.source =
        row.source == archive::NightSource::Recorder ? "датчик" : "файл " + row.sourceName;
    const NightSummary summary = archive::archivedNight(a, row.id).analysis.summary;
    line.episodes = std::to_string(summary.episodes);
    line.tumescence = factText(FactUnit::Duration, summary.total_s);
    return line;
}

std::string studyTitle(const archive::StudyRow& study) {
    std::string title = "Исследование";
    if (!study.nights.empty()) {
        title += " " + study.nights.front().date;
        if (study.nights.size() > 1) {
            title += " – " + study.nights.back().date;
        }
    }
    title += ", ночей: " + std::to_string(study.nights.size());
    if (study.conclusion) {
        title += ", есть заключение";
    }
    return title;
}

// Whether the unidentified nights' entry answers the search: its own name, or a night's date.
bool datesHold(const archive::NightRow& night, const std::string& key) {
    return key.empty() || night.date.find(key) != std::string::npos;
}

bool entryNamed(const std::string& key) {
    return !key.empty() && archive::nameKey(kUnidentifiedEntry).find(key) != std::string::npos;
}

std::vector<archive::NightRow> unidentifiedFound(archive::Archive& a, const std::string& text) {
    const std::string key = archive::nameKey(text);
    std::vector<archive::NightRow> nights = a.unidentifiedNights();
    if (!entryNamed(key)) {
        std::erase_if(nights, [&](const archive::NightRow& n) { return !datesHold(n, key); });
    }
    return nights;
}

int thisYear() {
    return SystemClock().now().year;
}

}  // namespace

archive::Archive* ArchiveBrowser::open() {
    archive::Archive* a = filing_.archive();
    if (a == nullptr) {
        failure_ = filing_.lastFailure().value_or("Архив пациентов не открывается.");
        return nullptr;
    }
    archiveName_ = a->name();
    return a;
}

template <typename Step>
auto ArchiveBrowser::attempt(Step step)
    -> std::optional<decltype(step(std::declval<archive::Archive&>()))> {
    archive::Archive* a = open();
    if (a == nullptr) {
        return std::nullopt;
    }
    try {
        auto result = step(*a);
        failure_.reset();
        return result;
    } catch (const archive::ArchiveError& e) {
        failure_ = e.what();
        return std::nullopt;
    }
}

std::optional<std::vector<PatientLine>> ArchiveBrowser::patients(const std::string& text) {
    return attempt([&](archive::Archive& a) {
        std::vector<PatientLine> lines;
        if (const auto unidentified = unidentifiedFound(a, text); !unidentified.empty()) {
            PatientLine entry;
            entry.name = kUnidentifiedEntry;
            entry.nights = std::to_string(unidentified.size());
            entry.lastDate = unidentified.back().date;
            entry.search = text;
            lines.push_back(std::move(entry));
        }
        for (const auto& p : a.patients(text)) {
            PatientLine line;
            line.patient = p.id;
            line.name = p.name;
            line.age = p.age ? std::to_string(*p.age) : "";
            line.number = p.number.value_or("");
            line.birthYear = p.birthYear ? std::to_string(*p.birthYear) : "";
            line.nights = std::to_string(p.nights);
            line.lastDate = p.lastDate;
            lines.push_back(std::move(line));
        }
        return lines;
    });
}

std::optional<std::vector<StudyLines>> ArchiveBrowser::studies(const PatientLine& line) {
    return attempt([&](archive::Archive& a) {
        std::vector<StudyLines> studies;
        if (!line.patient) {
            StudyLines nights;
            nights.title = "Ночи без пациента: ФИО скрыто паролем или не записано";
            for (const auto& n : unidentifiedFound(a, line.search)) {
                nights.nights.push_back(lineOf(a, n));
            }
            studies.push_back(std::move(nights));
            return studies;
        }
        const auto record = a.patient(*line.patient);
        if (!record) {
            return studies;  // deleted by another program meanwhile: nothing to show
        }
        for (const auto& s : record->studies) {
            StudyLines study;
            study.study = s.id;
            study.title = studyTitle(s);
            for (const auto& n : s.nights) {
                study.nights.push_back(lineOf(a, n));
            }
            studies.push_back(std::move(study));
        }
        return studies;
    });
}

std::optional<std::vector<StudyLines>> ArchiveBrowser::studyChoices(archive::Id patient) {
    return attempt([&](archive::Archive& a) {
        std::vector<StudyLines> studies;
        if (const auto record = a.patient(patient)) {
            for (const auto& s : record->studies) {
                studies.push_back({s.id, studyTitle(s), {}});
            }
        }
        return studies;
    });
}

std::string ArchiveBrowser::deleteQuestion(const NightLine& night, const PatientLine& of) {
    const std::string whose = of.patient ? "пациента " + of.name : "(пациент не опознан)";
    return "Удалить ночь " + night.date + " " + whose + " из архива? Это нельзя отменить.";
}

std::optional<std::string> ArchiveBrowser::moveNight(archive::Id night, const MoveTarget& target) {
    const std::string name = trimmed(target.newPatientName);
    if (!target.patient && name.empty()) {
        return "Выберите пациента из списка или введите ФИО нового пациента.";
    }
    const auto moved = attempt([&](archive::Archive& a) {
        if (target.patient) {
            a.moveNight(night, *target.patient, target.study);
        } else {
            a.moveNightToPatientNamed(night, name);
        }
        return true;
    });
    return moved ? std::nullopt : failure_;
}

std::optional<std::string> ArchiveBrowser::deleteNight(archive::Id night) {
    const auto deleted = attempt([&](archive::Archive& a) {
        a.deleteNight(night);
        return true;
    });
    return deleted ? std::nullopt : failure_;
}

std::optional<std::string> ArchiveBrowser::setPatientDetails(archive::Id patient,
                                                             const std::string& number,
                                                             const std::string& birthYear) {
    archive::PatientDetails details;
    if (const std::string n = trimmed(number); !n.empty()) {
        details.number = n;
    }
    if (const std::string y = trimmed(birthYear); !y.empty()) {
        const bool digits = y.size() == 4 && std::all_of(y.begin(), y.end(), [](unsigned char c) {
                                return std::isdigit(c) != 0;
                            });
        const int year = digits ? std::stoi(y) : 0;
        if (year < kEarliestBirthYear || year > thisYear()) {
            return "Год рождения — четыре цифры, от " + std::to_string(kEarliestBirthYear) +
                   " до " + std::to_string(thisYear()) + ".";
        }
        details.birthYear = year;
    }
    const auto set = attempt([&](archive::Archive& a) {
        a.setPatientDetails(patient, details);
        return true;
    });
    return set ? std::nullopt : failure_;
}

std::optional<std::string> ArchiveBrowser::exportNightEdf(archive::Id night,
                                                          const std::string& path) {
    std::optional<std::string> writeFailure;
    const auto done = attempt([&](archive::Archive& a) {
        const EdfNight edf =
            archive::archivedNightEdf(a, archive::archivedNight(a, night), edfEquipment());
        try {
            writeFileAtomically(path, edfBytes(edf), "Не удалось сохранить файл EDF");
        } catch (const FileError& e) {
            writeFailure = e.what();
        }
        return true;
    });
    if (!done) {
        return failure_;
    }
    return writeFailure;
}

EdfStudyExport ArchiveBrowser::exportStudyEdf(archive::Id study, const std::string& folder) {
    EdfStudyExport result;
    const auto nights = attempt([&](archive::Archive& a) {
        std::vector<archive::NightRow> rows;
        const auto patient = a.studyPatient(study);
        const auto record = patient ? a.patient(*patient) : std::nullopt;
        if (record) {
            for (const auto& s : record->studies) {
                if (s.id == study) {
                    rows = s.nights;
                }
            }
        }
        return rows;
    });
    if (!nights || nights->empty()) {
        result.failure =
            nights ? "В архиве нет ночей исследования № " + std::to_string(study) + "." : failure_;
        return result;
    }
    for (const archive::NightRow& row : *nights) {
        const std::string path = utf8FromPath(pathFromUtf8(folder) /
                                              pathFromUtf8(archive::edfFileName(row.id, row.date)));
        if (const auto failed = exportNightEdf(row.id, path)) {
            result.failure = *failed;
            break;
        }
        result.written.push_back(path);
    }
    return result;
}

std::string EdfStudyExport::text() const {
    std::string t = "Ночей исследования записано в EDF+: " + std::to_string(written.size()) + ".";
    for (const std::string& path : written) {
        t += "\n" + path;
    }
    if (failure) {
        t += "\n\nЗапись остановлена: " + *failure;
    }
    return t;
}

std::optional<std::vector<std::string>> ArchiveBrowser::recordingsIn(const std::string& folder) {
    auto files = archive::recordingsIn(folder);
    if (!files) {
        failure_ = "«" + folder + "» — не папка.";
    }
    return files;
}

std::optional<archive::ImportSummary> ArchiveBrowser::importRecordings(
    const std::vector<std::string>& files, const archive::FiledHandler& onFiled) {
    return attempt([&](archive::Archive& a) {
        return archive::importRecordings(a, files, std::nullopt, onFiled);
    });
}

ImportReport ArchiveBrowser::importReport(const std::string& folder,
                                          const archive::ImportSummary& summary,
                                          std::size_t files) {
    ImportReport report;
    std::string& t = report.text;
    t = "Импорт из папки «" + folder + "»: файлов записей " + std::to_string(files) + ".\n";
    t += "Добавлено ночей: " + std::to_string(summary.added) +
         ", уже были в архиве: " + std::to_string(summary.alreadyThere) +
         ", не добавлено: " + std::to_string(summary.refused.size()) + ".";
    if (summary.failure) {
        t += "\nИмпорт прервался после " + std::to_string(summary.done()) + " из " +
             std::to_string(files) + " файлов: " + *summary.failure;
    } else if (summary.stopped) {
        t += "\nИмпорт остановлен после " + std::to_string(summary.done()) + " из " +
             std::to_string(files) + " файлов.";
    }
    if (summary.refused.empty()) {
        return report;
    }
    const auto base = pathFromUtf8(folder);
    const auto refusal = [&](const archive::FiledRecording& r) {
        const std::string inside = utf8FromPath(pathFromUtf8(r.path).lexically_relative(base));
        return (inside.empty() ? r.path : inside) + " — " + r.reason;
    };
    t += "\n\nНе добавлены:";
    for (std::size_t i = 0; i < summary.refused.size() && i < kRefusalsShown; ++i) {
        t += "\n" + refusal(summary.refused[i]);
    }
    if (summary.refused.size() > kRefusalsShown) {
        t += "\n… и ещё " + std::to_string(summary.refused.size() - kRefusalsShown) +
             " (все — в подробностях).";
        for (const auto& r : summary.refused) {
            report.details += refusal(r) + "\n";
        }
    }
    return report;
}

}  // namespace npt
