// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/archive_command.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "analysis/night_analysis.h"
#include "analysis/night_facts.h"
#include "analysis/night_recording.h"
#include "app/edf_equipment.h"
#include "archive/archive.h"
#include "archive/archived_edf.h"
#include "archive/archived_night.h"
#include "archive/import_folder.h"
#include "cli/json_writer.h"
#include "cli/plain_text.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/file_name.h"
#include "os/file_system.h"
#include "os/regular_file.h"
#include "os/utf8_path.h"
#include "recorder/passport.h"
#include "recorder/utf8.h"
#include "records/data_file.h"

namespace npt {

namespace {

using archive::Archive;
using archive::ArchiveError;

constexpr const char* kArchiveUsage =
    "Использование:\n"
    "  npt archive [--archive АРХИВ] add ФАЙЛ… [--password ПАРОЛЬ]\n"
    "  npt archive [--archive АРХИВ] nights | patients [--json]\n"
    "  npt archive [--archive АРХИВ] show ПАЦИЕНТ [--json]\n"
    "  npt archive [--archive АРХИВ] export НОЧЬ ФАЙЛ.txt | ФАЙЛ.edf\n"
    "  npt archive [--archive АРХИВ] import ПАПКА [--password ПАРОЛЬ]\n"
    "  npt archive [--archive АРХИВ] check | backup КОПИЯ\n"
    "  npt archive [--archive АРХИВ] report ИССЛЕДОВАНИЕ ОТЧЁТ.pdf [--doctor ФИО]\n"
    "АРХИВ — файл SQLite или адрес postgresql://…; без него — архив пользователя\n";

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> location;
    std::optional<std::string> password;
    std::optional<std::string> doctor;
    bool json = false;
};

std::optional<archive::Id> idOf(const std::string& text) {
    archive::Id value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < 1) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> usageError(const Options& o) {
    static const std::vector<std::string> kCommands = {
        "add", "nights", "patients", "show", "export", "import", "check", "backup", "report"};
    if (o.command.empty()) {
        return "archive: не указана команда: add, nights, patients, show, export, import, "
               "check, backup или report";
    }
    if (std::find(kCommands.begin(), kCommands.end(), o.command) == kCommands.end()) {
        return "archive: неизвестная команда " + plain::quoted(o.command);
    }
    std::size_t wanted = 0;
    if (o.command == "show" || o.command == "import" || o.command == "backup") {
        wanted = 1;
    } else if (o.command == "export" || o.command == "report") {
        wanted = 2;
    }
    if (o.command == "add") {
        if (o.positional.empty()) {
            return "archive add: не указан файл записи";
        }
    } else if (o.positional.size() < wanted) {
        return "archive " + o.command + ": не хватает аргумента";
    } else if (o.positional.size() > wanted) {
        return "archive " + o.command + ": лишний аргумент " + plain::quoted(o.positional[wanted]);
    }
    if (o.json && o.command != "nights" && o.command != "patients" && o.command != "show") {
        return "ключ --json относится к командам nights, patients и show";
    }
    if (o.password && o.command != "add" && o.command != "import") {
        return "ключ --password относится к командам add и import";
    }
    if (o.doctor && o.command != "report") {
        return "ключ --doctor относится к команде report";
    }
    if (o.doctor && plain::hasControlCharacter(*o.doctor)) {
        return "--doctor: в ФИО врача " + plain::quoted(*o.doctor) + " есть управляющие символы";
    }
    if ((o.command == "show" || o.command == "export" || o.command == "report") &&
        !idOf(o.positional[0])) {
        return "archive " + o.command + ": " + plain::quoted(o.positional[0]) + " — не номер " +
               (o.command == "show"     ? "пациента"
                : o.command == "report" ? "исследования"
                                        : "ночи");
    }
    if (o.command == "report" && fileKindOf(o.positional[1]) != FileKind::Report) {
        return "archive report: имя отчёта " + plain::quoted(o.positional[1]) +
               " должно оканчиваться на .pdf";
    }
    if (o.command == "export" && fileKindOf(o.positional[1]) != FileKind::DataFile &&
        fileKindOf(o.positional[1]) != FileKind::Edf) {
        return "archive export: имя файла " + plain::quoted(o.positional[1]) +
               " должно оканчиваться на .txt (запись датчика) или .edf (EDF+)";
    }
    return std::nullopt;
}

std::pair<Options, std::optional<std::string>> parse(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (a == name) {
                return i + 1 < args.size() ? std::optional<std::string>(args[++i]) : std::nullopt;
            }
            return a.substr(name.size() + 1);
        };
        if (a == "--json") {
            o.json = true;
        } else if (a == "--archive" || a.starts_with("--archive=")) {
            o.location = value("--archive");
            if (!o.location || o.location->empty()) {
                return {o, "после --archive нужен файл архива или адрес postgresql://"};
            }
        } else if (a == "--password" || a.starts_with("--password=")) {
            o.password = value("--password");
            if (!o.password) {
                return {o, "после --password нужен пароль"};
            }
        } else if (a == "--doctor" || a.starts_with("--doctor=")) {
            o.doctor = value("--doctor");
            if (!o.doctor) {
                return {o, "после --doctor нужно ФИО врача"};
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return {o, "неизвестный ключ " + plain::quoted(a)};
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.positional.push_back(a);
        }
    }
    return {o, usageError(o)};
}

std::string sourceText(const archive::NightRow& n) {
    return n.source == archive::NightSource::Recorder ? "recorder" : "file";
}

void nightJsonFields(std::ostream& out, const archive::NightRow& n) {
    const auto idOrNull = [](const std::optional<archive::Id>& id) {
        return id ? std::to_string(*id) : std::string("null");
    };
    out << "\"id\":" << n.id << ",\"sha256\":" << json::quoted(n.sha256)
        << ",\"patient\":" << idOrNull(n.patientId) << ",\"study\":" << idOrNull(n.studyId)
        << ",\"patient_name\":" << (n.patientName ? json::quoted(*n.patientName) : "null")
        << ",\"name_protected\":" << (n.nameProtected ? "true" : "false")
        << ",\"date\":" << json::quoted(n.date) << ",\"start\":" << json::quoted(n.start)
        << ",\"period_s\":" << n.periodSeconds << ",\"source\":" << json::quoted(sourceText(n))
        << ",\"source_name\":" << (n.sourceName.empty() ? "null" : json::quoted(n.sourceName))
        << ",\"filed_at\":" << json::quoted(n.filedAt);
}

std::string patientText(const archive::NightRow& n) {
    if (!n.patientId) {
        return "не опознан";
    }
    return plain::escaped(n.patientName.value_or("")) + " (пациент № " +
           std::to_string(*n.patientId) + ")";
}

void printNights(std::ostream& out, const std::vector<archive::NightRow>& nights, bool json) {
    if (json) {
        out << "[";
        for (std::size_t i = 0; i < nights.size(); ++i) {
            out << (i == 0 ? "{" : ",{");
            nightJsonFields(out, nights[i]);
            out << "}";
        }
        out << "]\n";
        return;
    }
    for (const auto& n : nights) {
        out << "ночь № " << n.id << "  " << n.date << " " << n.start << "  период "
            << n.periodSeconds << " с  " << patientText(n) << "\n";
    }
    if (nights.empty()) {
        out << "В архиве нет ночей.\n";
    }
}

void printPatients(std::ostream& out, const std::vector<archive::PatientRow>& patients, bool json) {
    if (json) {
        out << "[";
        for (std::size_t i = 0; i < patients.size(); ++i) {
            const auto& p = patients[i];
            out << (i == 0 ? "" : ",") << "{\"id\":" << p.id << ",\"name\":" << json::quoted(p.name)
                << ",\"number\":" << (p.number ? json::quoted(*p.number) : "null")
                << ",\"birth_year\":" << (p.birthYear ? std::to_string(*p.birthYear) : "null")
                << ",\"age\":" << (p.age ? std::to_string(*p.age) : "null")
                << ",\"nights\":" << p.nights
                << ",\"last_date\":" << (p.lastDate.empty() ? "null" : json::quoted(p.lastDate))
                << "}";
        }
        out << "]\n";
        return;
    }
    for (const auto& p : patients) {
        out << "пациент № " << p.id << "  " << plain::escaped(p.name);
        if (p.age) {
            out << ", возраст " << *p.age;
        }
        if (p.number) {
            out << ", номер " << plain::escaped(*p.number);
        }
        out << ", ночей " << p.nights;
        if (!p.lastDate.empty()) {
            out << ", последняя " << p.lastDate;
        }
        out << "\n";
    }
    if (patients.empty()) {
        out << "В архиве нет пациентов.\n";
    }
}

NightSummary summaryOf(Archive& a, const archive::NightRow& n) {
    return archive::archivedNight(a, n.id).analysis.summary;
}

void printPatient(std::ostream& out, Archive& a, const archive::PatientRecord& record, bool json) {
    const auto& p = record.patient;
    if (json) {
        out << "{\"patient\":{\"id\":" << p.id << ",\"name\":" << json::quoted(p.name)
            << ",\"number\":" << (p.number ? json::quoted(*p.number) : "null")
            << ",\"birth_year\":" << (p.birthYear ? std::to_string(*p.birthYear) : "null")
            << ",\"age\":" << (p.age ? std::to_string(*p.age) : "null") << "},\"studies\":[";
    } else {
        out << "Пациент № " << p.id << ": " << plain::escaped(p.name);
        if (p.age) {
            out << ", возраст " << *p.age;
        }
        if (p.number) {
            out << ", номер " << plain::escaped(*p.number);
        }
        out << "\n";
    }
    bool firstStudy = true;
    for (const auto& study : record.studies) {
        std::vector<NightSummary> summaries;
        std::size_t best = 0;
        for (const auto& n : study.nights) {
            summaries.push_back(summaryOf(a, n));
            if (summaries.back().total_s > summaries[best].total_s) {
                best = summaries.size() - 1;
            }
        }
        if (json) {
            out << (firstStudy ? "" : ",") << "{\"id\":" << study.id << ",\"conclusion\":"
                << (study.conclusion ? json::quoted(*study.conclusion) : "null")
                << ",\"doctor\":" << (study.doctor ? json::quoted(*study.doctor) : "null")
                << ",\"nights\":[";
            for (std::size_t i = 0; i < study.nights.size(); ++i) {
                const NightSummary& s = summaries[i];
                out << (i == 0 ? "{" : ",{");
                nightJsonFields(out, study.nights[i]);
                out << ",\"best\":" << (i == best && s.total_s > 0 ? "true" : "false")
                    << ",\"summary\":{\"episodes\":" << s.episodes << ",\"total_s\":" << s.total_s
                    << ",\"longest_s\":" << s.longest_s
                    << ",\"max_increase_mm\":" << json::number(s.max_increase_mm)
                    << ",\"valid_s\":" << s.valid_s << "}}";
            }
            out << "]}";
        } else {
            out << "Исследование № " << study.id << ", ночей " << study.nights.size() << "\n";
            for (std::size_t i = 0; i < study.nights.size(); ++i) {
                const auto& n = study.nights[i];
                const NightSummary& s = summaries[i];
                out << "  ночь № " << n.id << "  " << n.date << " " << n.start << "  эпизодов "
                    << s.episodes << ", всего " << factText(FactUnit::Duration, s.total_s)
                    << ", макс. прирост " << factText(FactUnit::Millimetres, s.max_increase_mm)
                    << (i == best && s.total_s > 0 ? "  — лучшая ночь" : "") << "\n";
            }
            if (study.conclusion) {
                out << "  Заключение: " << plain::escaped(*study.conclusion);
                if (study.doctor) {
                    out << " (врач " << plain::escaped(*study.doctor) << ")";
                }
                out << "\n";
            }
        }
        firstStudy = false;
    }
    if (json) {
        out << "]}\n";
    }
}

// One file into the archive: its line, and whether it went in (added or already there).
bool printFiled(std::ostream& out, const archive::FiledRecording& filed) {
    if (filed.outcome == archive::FileOutcome::Refused) {
        out << "не добавлен: " << plain::escaped(filed.path) << ": " << plain::escaped(filed.reason)
            << "\n";
        return false;
    }
    out << (filed.outcome == archive::FileOutcome::Added ? "добавлен: " : "уже в архиве: ")
        << plain::escaped(filed.path) << " (ночь № " << filed.night << ", "
        << (filed.patient ? "пациент № " + std::to_string(*filed.patient)
                          : std::string("не опознан"))
        << ")\n";
    return true;
}

bool addFile(Archive& a, const std::string& path, const std::optional<std::string>& password,
             std::ostream& out) {
    return printFiled(out, archive::fileRecording(a, path, password));
}

int importFolder(Archive& a, const std::string& folder, const std::optional<std::string>& password,
                 std::ostream& out, std::ostream& err, bool progress) {
    const auto files = archive::recordingsIn(folder);
    if (!files) {
        err << "npt: archive import: " << plain::quoted(folder) << " — не папка\n";
        return 1;
    }
    const auto summary = archive::importRecordings(
        a, *files, password, [&](const archive::FiledRecording& filed, std::size_t done) {
            printFiled(out, filed);
            out.flush();
            if (progress) {
                err << "\rИмпорт: " << done << " из " << files->size() << std::flush;
            }
            return true;
        });
    if (progress && !files->empty()) {
        err << "\n";
    }
    if (summary.failure) {
        err << "npt: " << plain::escaped(*summary.failure) << "\n";
        return 1;
    }
    out << "Импорт из " << plain::escaped(folder) << ": файлов " << files->size() << ", добавлено "
        << summary.added << ", уже были " << summary.alreadyThere << ", не добавлено "
        << summary.refused.size() << "\n";
    return summary.refused.empty() ? 0 : 1;
}

int run(const Options& o, std::ostream& out, std::ostream& err, bool progress,
        const StudyReportWriter& studyReportWriter) {
    const std::string location = o.location.value_or(Archive::defaultLocation());
    if (o.command == "report") {
        if (!studyReportWriter) {
            err << "npt: archive report: эта сборка npt сделана без графической части "
                   "(NPT_BUILD_GUI=OFF), отчёт PDF ею не рисуется\n";
            return 2;
        }
        if (!Archive::isServerLocation(location) && sameFile(location, o.positional[1])) {
            err << "npt: archive report: " << plain::quoted(o.positional[1])
                << " — это сам файл архива, отчёт заменил бы архив\n";
            return 2;
        }
    }
    const bool writes = o.command == "add" || o.command == "import";
    Archive a = Archive::open(location, writes ? Archive::Open::Create : Archive::Open::Existing);
    if (o.command == "add") {
        bool all = true;
        for (const auto& file : o.positional) {
            all = addFile(a, file, o.password, out) && all;
        }
        return all ? 0 : 1;
    }
    if (o.command == "import") {
        return importFolder(a, o.positional[0], o.password, out, err, progress);
    }
    if (o.command == "nights") {
        printNights(out, a.nights(), o.json);
        return 0;
    }
    if (o.command == "patients") {
        printPatients(out, a.patients(), o.json);
        return 0;
    }
    if (o.command == "show") {
        const auto record = a.patient(*idOf(o.positional[0]));
        if (!record) {
            err << "npt: archive show: в архиве нет пациента № " << o.positional[0] << "\n";
            return 1;
        }
        printPatient(out, a, *record, o.json);
        return 0;
    }
    if (o.command == "export") {
        const archive::Id night = *idOf(o.positional[0]);
        if (fileKindOf(o.positional[1]) == FileKind::Edf) {
            const archive::ArchivedNight archived = archive::archivedNight(a, night);
            const EdfNight edf = archive::archivedNightEdf(a, archived, edfEquipment());
            writeFileAtomically(o.positional[1], edfBytes(edf), "Не удалось сохранить файл EDF");
        } else {
            writeFileAtomically(o.positional[1], a.nightBytes(night),
                                "Не удалось сохранить файл записи");
        }
        return 0;
    }
    if (o.command == "report") {
        const archive::Id study = *idOf(o.positional[0]);
        studyReportWriter(o.positional[1], a, study, o.doctor);
        out << "Отчёт об исследовании № " << study
            << " сохранён: " << plain::escaped(o.positional[1]) << "\n";
        return 0;
    }
    if (o.command == "check") {
        const auto problems = a.check();
        for (const auto& p : problems) {
            out << "неисправность: " << plain::escaped(p) << "\n";
        }
        if (problems.empty()) {
            out << "Архив " << plain::quoted(a.name()) << " в порядке: ночей " << a.nights().size()
                << "\n";
        }
        return problems.empty() ? 0 : 1;
    }
    a.backup(o.positional[0]);
    out << "Копия архива сохранена: " << plain::escaped(o.positional[0]) << "\n";
    return 0;
}

}  // namespace

int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool progressToTerminal, const StudyReportWriter& studyReportWriter) {
    const auto [options, error] = parse(args);
    if (error) {
        err << "npt: " << *error << "\n" << kArchiveUsage;
        return 2;
    }
    try {
        const int status = run(options, out, err, progressToTerminal, studyReportWriter);
        out.flush();
        if (!out) {
            err << "npt: не удалось вывести результат\n";
            return 1;
        }
        return status;
    } catch (const ArchiveError& e) {
        err << "npt: " << plain::escaped(e.what()) << "\n";
    } catch (const FileError& e) {
        err << "npt: " << plain::escaped(e.what()) << "\n";
    }
    return 1;
}

}  // namespace npt
