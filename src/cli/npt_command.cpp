// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/npt_command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <optional>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "archive/archive.h"
#include "cli/analysis_options.h"
#include "cli/analysis_output.h"
#include "cli/archive_command.h"
#include "cli/batch_view.h"
#include "cli/json_writer.h"
#include "cli/plain_text.h"
#include "cli/read_command.h"
#include "cli/tool_view.h"
#ifdef _WIN32
#include "hid/windows/windows_platform.h"
#else
#include "hid/linux/linux_platform.h"
#endif
#include "npt_version.h"
#include "os/file_error.h"
#include "os/file_name.h"
#include "os/file_system.h"
#include "recorder/password.h"
#include "recorder/utf8.h"

namespace npt {

namespace {
constexpr const char* kUsage =
    "Использование:\n"
    "  npt show ФАЙЛ [--password ПАРОЛЬ] [--json] [ключи анализа]\n"
    "  npt export ФАЙЛ ТАБЛИЦА.xlsx|ТАБЛИЦА.csv|НОЧЬ.edf [--password ПАРОЛЬ] [ключи анализа]\n"
    "  npt report ФАЙЛ ОТЧЁТ.pdf [--password ПАРОЛЬ] [--doctor ФИО] [ключи анализа]\n"
    "  npt read ФАЙЛ.txt [--password ПАРОЛЬ] [--timeout СЕКУНДЫ] [--archive АРХИВ | --no-archive]\n"
    "  npt archive КОМАНДА … (архив пациентов: npt archive без команды — подробнее)\n"
    "  npt --help | --version\n";

constexpr const char* kHelp =
    "npt — запись ночного теста пенильной тумесценции без окна: та же загрузка, что в окне\n"
    "(пароль, паспорт, проверка калибровки, график, напряжение батареи), а сообщения\n"
    "выводятся текстом.\n"
    "\n"
    "%USAGE%"
    "\n"
    "Команды:\n"
    "  show     паспорт пациента, напряжение батареи, число отсчётов, сообщения загрузки\n"
    "           и анализ ночи (эпизоды тумесценции, итоги, качество записи);\n"
    "           с --json — один объект JSON: fields, messages, points, diameters, analysis\n"
    "  export   таблица отсчётов: книга .xlsx (с листом «Анализ») или файл .csv (UTF-8);\n"
    "           ночь в EDF+ (.edf): диаметр и эпизоды аннотациями, для программ сна\n"
    "  report   отчёт о ночи на одной странице A4 в PDF: паспорт, график с эпизодами,\n"
    "           таблица эпизодов, итоги, качество записи и параметры анализа\n"
    "  read     чтение памяти датчика через адаптер радиоканала, как кнопкой «Чтение»: ждёт\n"
    "           адаптер, читает, проверяет полноту, пароль и батарею и сохраняет запись\n"
    "           в ФАЙЛ.txt (неполное чтение не сохраняется), а ночь — в архив пациентов\n"
    "           (--archive АРХИВ — другой архив, --no-archive — без архива)\n"
    "  archive  архив пациентов (SQLite или сервер PostgreSQL): add — добавить записи,\n"
    "           nights, patients, show — ночи, пациенты, исследования пациента, export —\n"
    "           ночь в файл записи, import — все записи папки, check — проверка целостности,\n"
    "           backup — копия архива SQLite, report — отчёт об исследовании (все его ночи\n"
    "           на одной шкале времени, лучшая ночь, заключение) на одной странице A4 в PDF;\n"
    "           --archive АРХИВ — файл или postgresql://…\n"
    "\n"
    "Ключи:\n"
    "  --password ПАРОЛЬ  пароль записи; без него ФИО пациента в защищённой записи скрыто\n"
    "                     (read сохраняет её тогда без ФИО)\n"
    "  --timeout СЕКУНДЫ  read: сколько ждать адаптер и ответ датчика (по умолчанию 30)\n"
    "  --doctor ФИО       report, archive report: ФИО врача в отчёте (без него — строка,\n"
    "                     чтобы вписать от руки; в archive report — врач заключения)\n"
    "  --json             вывод show в JSON\n"
    "%ANALYSIS%"
    "  --help, -h         эта справка\n"
    "  --version          версия программы\n"
    "\n"
    "Код завершения: 0 — готово; 1 — запись не загружена, таблица или отчёт не сохранены,\n"
    "вывод не записан, адаптер не найден или недоступен, датчик не ответил или прочитан\n"
    "не полностью (причина — одной строкой в stderr); 2 — неверный вызов.\n";

constexpr const char* kCommands = "show, export, report или read";

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> password;  // none: --password not given
    std::optional<long> timeout;
    std::optional<std::string> doctor;
    std::optional<std::string> archive;  // read: where the night is filed
    bool noArchive = false;
    bool json = false;
    bool help = false;
    bool version = false;
    AnalysisParameters parameters;
};

// Seconds for --timeout: a whole number from 1 to 3600.
std::optional<long> timeoutSeconds(const std::string& text) {
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < 1 ||
        value > 3600) {
        return std::nullopt;
    }
    return value;
}

// What is wrong with the command line, or nothing.
std::optional<std::string> usageError(const Options& o) {
    if (o.command.empty()) {
        return std::string("не указана команда: ") + kCommands;
    }
    if (o.command != "show" && o.command != "export" && o.command != "report" &&
        o.command != "read") {
        return "неизвестная команда " + plain::quoted(o.command) + ": нужна " + kCommands;
    }
    const std::size_t files = o.command == "export" || o.command == "report" ? 2 : 1;
    if (o.positional.empty()) {
        return o.command + ": не указан файл записи";
    }
    if (o.positional.size() < files) {
        return o.command + (o.command == "report"
                                ? ": не указан файл отчёта (.pdf)"
                                : ": не указан файл таблицы (.xlsx, .csv) или EDF+ (.edf)");
    }
    if (o.positional.size() > files) {
        return o.command + ": лишний аргумент " + plain::quoted(o.positional[files]);
    }
    if (o.command != "show" && o.json) {
        return "ключ --json относится только к команде show";
    }
    if (o.command == "report" && fileKindOf(o.positional[1]) != FileKind::Report) {
        return "report: имя отчёта " + plain::quoted(o.positional[1]) +
               " должно оканчиваться на .pdf";
    }
    if (const auto error = parametersError(o.parameters)) {
        return *error;
    }
    // The recorder keeps ten characters; a longer password would be checked by its first ten.
    if (const auto characters = utf8::decode(o.password.value_or(""));
        characters && characters->size() > PasswordState::kLength) {
        return "--password: пароль записи — не длиннее 10 символов";
    }
    if (o.command != "report" && o.doctor) {
        return "ключ --doctor относится только к команде report";
    }
    if (o.doctor && plain::hasControlCharacter(*o.doctor)) {
        return "--doctor: в ФИО врача " + plain::quoted(*o.doctor) + " есть управляющие символы";
    }
    if (o.command != "read" && o.timeout) {
        return "ключ --timeout относится только к команде read";
    }
    if (o.command != "read" && (o.archive || o.noArchive)) {
        return "ключи --archive и --no-archive относятся к команде read (и к npt archive)";
    }
    if (o.archive && o.noArchive) {
        return "read: --archive и --no-archive вместе";
    }
    if (o.command == "read" && fileKindOf(o.positional[0]) != FileKind::DataFile) {
        return "read: имя файла записи " + plain::quoted(o.positional[0]) +
               " должно оканчиваться на .txt";
    }
    if (o.command == "export") {
        const FileKind kind = fileKindOf(o.positional[1]);
        if (kind != FileKind::Workbook && kind != FileKind::Csv && kind != FileKind::Edf) {
            return "export: имя файла " + plain::quoted(o.positional[1]) +
                   " должно оканчиваться на .xlsx, .csv или .edf";
        }
    }
    return std::nullopt;
}

// The options, or the first thing wrong with them. --help and --version win over any error.
std::pair<Options, std::optional<std::string>> parse(const std::vector<std::string>& args) {
    Options o;
    std::optional<std::string> error;
    const auto note = [&error](std::string text) {
        if (!error) {
            error = std::move(text);
        }
    };
    std::size_t i = 0;
    // The value of "NAME VALUE" or "NAME=VALUE" at args[i], stepping past it; nothing when
    // args[i] is another argument. A missing value is noted and read as empty.
    const auto valueOf = [&](const std::string& name,
                             const char* missing) -> std::optional<std::string> {
        const std::string& a = args[i];
        if (a == name) {
            if (i + 1 == args.size()) {
                note(missing);
                return std::string();
            }
            return args[++i];
        }
        if (a.rfind(name + "=", 0) == 0) {
            return a.substr(name.size() + 1);
        }
        return std::nullopt;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (auto password = valueOf("--password", "после --password нужен пароль")) {
            o.password = *password;
        } else if (auto doctor = valueOf("--doctor", "после --doctor нужно ФИО врача")) {
            o.doctor = *doctor;
        } else if (auto location = valueOf("--archive", "после --archive нужен архив")) {
            o.archive = *location;
        } else if (a == "--no-archive") {
            o.noArchive = true;
        } else if (takeAnalysisOption(args, i, o.parameters, error)) {
            continue;
        } else if (auto seconds = valueOf("--timeout", "после --timeout нужно число секунд")) {
            o.timeout = timeoutSeconds(*seconds);
            if (!o.timeout) {
                note("--timeout: " + plain::quoted(*seconds) + " — не число секунд от 1 до 3600");
            }
        } else if (a.size() > 1 && a[0] == '-') {
            note("неизвестный ключ " + plain::quoted(a));
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.positional.push_back(a);
        }
    }
    if (!error) {
        error = usageError(o);
    }
    return {o, error};
}

std::string lastError(const BatchView& view) {
    for (auto it = view.messages().rbegin(); it != view.messages().rend(); ++it) {
        if (it->icon == MessageIcon::Error) {
            return it->text;
        }
    }
    return "не удалось выполнить действие";
}

// The fields whose texts the JSON output reports, in this order.
constexpr Control kReportedFields[] = {Control::Name,    Control::Old,       Control::Tscan,
                                       Control::Date,    Control::TimeStart, Control::TimeEnd,
                                       Control::TimeNow, Control::Ubat};

void writeJson(std::ostream& out, const BatchView& view, const TTMForm& form) {
    out << "{\"fields\":{";
    bool first = true;
    for (Control c : kReportedFields) {
        out << (first ? "" : ",") << json::quoted(controlName(c)) << ":"
            << json::quoted(view.text(c));
        first = false;
    }
    out << "},\"messages\":[";
    first = true;
    for (const auto& m : view.messages()) {
        out << (first ? "" : ",") << "[" << json::quoted(m.title) << "," << json::quoted(m.text)
            << "]";
        first = false;
    }
    out << "],\"points\":[";
    const LineSeries& raw = form.chart().series1();
    for (std::size_t i = 0; i < raw.count(); ++i) {
        out << (i == 0 ? "" : ",") << "[" << json::number(raw.xs()[i]) << ","
            << json::number(raw.ys()[i]) << "]";
    }
    out << "],\"diameters\":[";
    const DiameterTable& table = form.state().diameterTable;
    for (std::size_t i = 0; i < table.count; ++i) {
        out << (i == 0 ? "" : ",") << json::number(table.entries[i]);
    }
    out << "],\"analysis\":";
    if (const auto& night = form.state().nightAnalysis) {
        writeAnalysisJson(out, night->result);
    } else {
        out << "null";
    }
    out << "}\n";
}

// A number for the Russian summary text: decimal comma, as everywhere the doctor reads numbers.
std::string numberText(double value) {
    std::string text = json::number(value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

void writeSummary(std::ostream& out, const std::string& path, const BatchView& view,
                  const TTMForm& form) {
    const auto field = [&view](Control c) { return plain::escaped(view.text(c)); };
    out << "Файл:             " << plain::escaped(path) << "\n";
    // Said before the fields, which are then only bytes decoded as if they were a passport.
    if (const auto& night = form.state().nightAnalysis; night && night->notARecording) {
        out << "Внимание:         данные не похожи на запись датчика ("
            << plain::escaped(*night->notARecording) << "), анализа нет\n";
    }
    out << "ФИО пациента:     " << field(Control::Name) << "\n"
        << "Возраст:          " << field(Control::Old) << "\n"
        << "Дата:             " << field(Control::Date) << "\n"
        << "Исследование:     с " << field(Control::TimeStart) << " до " << field(Control::TimeEnd)
        << "\n"
        << "Запрограммирован: " << field(Control::TimeNow) << "\n"
        << "Период, сек:      " << field(Control::Tscan) << "\n"
        << "Uбат:             " << field(Control::Ubat) << "\n";
    const auto range = form.chart().series1().yRange();
    out << "Отсчётов:         " << form.state().diameterTable.count;
    if (range) {
        out << ", диаметр от " << numberText(range->min) << " до " << numberText(range->max)
            << " мм";
    }
    out << "\n";
    for (const auto& m : view.messages()) {
        out << "Сообщение:        " << plain::escaped(m.title) << ": " << plain::escaped(m.text)
            << "\n";
    }
    if (const auto& night = form.state().nightAnalysis) {
        writeAnalysisText(out, night->result);
    }
}

// Standard output is the tool's result: a disk that fills up or a reader that goes away must
// not leave a cut-off result behind an exit status of 0.
int finishOutput(std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) {
        return 0;
    }
    const std::string reason = errno != 0 ? reasonForErrno(errno) : "ошибка записи";
    err << "npt: не удалось вывести результат: " << reason << "\n";
    return 1;
}
}  // namespace

int runNpt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const ReportWriter& reportWriter, bool progressToTerminal,
           const StudyReportWriter& studyReportWriter) {
    errno = 0;
    if (!args.empty() && args[0] == "archive") {
        return runArchiveCommand({args.begin() + 1, args.end()}, out, err, progressToTerminal,
                                 studyReportWriter);
    }
    const auto [options, error] = parse(args);
    if (options.help) {
        std::string help = kHelp;
        help.replace(help.find("%USAGE%"), 7, kUsage);
        help.replace(help.find("%ANALYSIS%"), 10, kAnalysisOptionsHelp);
        out << help;
        return finishOutput(out, err);
    }
    if (options.version) {
        out << "npt " << kVersion << "\n" << kLicenseNotice;
        return finishOutput(out, err);
    }
    if (error) {
        err << "npt: " << *error << "\n" << kUsage << "Подробнее: npt --help\n";
        return 2;
    }
    const std::string& file = options.positional[0];
    if (options.command == "read") {
        ReadOptions read{file, options.password, std::chrono::seconds(options.timeout.value_or(30)),
                         options.noArchive ? std::nullopt
                                           : std::optional<std::string>(options.archive.value_or(
                                                 archive::Archive::defaultLocation()))};
#ifdef _WIN32
        hid::WindowsHidPlatform platform;
#else
        hid::LinuxHidPlatform platform;
#endif
        return readRecorder(read, platform, out, err);
    }
    const std::string target =
        options.command == "export" || options.command == "report" ? options.positional[1] : "";
    if (!target.empty() && sameFile(file, target)) {
        err << "npt: " << options.command << ": " << plain::quoted(target)
            << " — это сам файл записи " << plain::quoted(file) << ", "
            << (options.command == "report" ? "отчёт" : "таблица") << " заменил"
            << (options.command == "report" ? "" : "а") << " бы запись\n";
        return 2;
    }
    if (options.command == "report" && !reportWriter) {
        err << "npt: report: эта сборка npt сделана без графической части (NPT_BUILD_GUI=OFF), "
               "отчёт PDF ею не рисуется\n";
        return 2;
    }

    ToolView view(options.password, reportWriter);
    SystemClock clock;
    TTMForm form(view, clock, nullptr);
    form.FormCreate();
    form.setAnalysisParameters(options.parameters);
    if (options.doctor) {
        view.setText(Control::VName, *options.doctor);
    }
    if (!form.loadRecording(file)) {
        err << "npt: " << plain::escaped(lastError(view)) << "\n";
        return 1;
    }

    if (options.command == "show") {
        errno = 0;
        if (options.json) {
            writeJson(out, view, form);
        } else {
            writeSummary(out, file, view, form);
        }
        return finishOutput(out, err);
    }

    const std::size_t loadMessages = view.messages().size();
    const FileKind kind = fileKindOf(target);
    const bool ok = options.command == "report"  ? form.saveReport(target)
                    : kind == FileKind::Workbook ? form.exportSpreadsheet(target)
                    : kind == FileKind::Edf      ? form.exportEdf(target)
                                                 : form.exportCsv(target);
    if (!ok) {
        err << "npt: " << plain::escaped(lastError(view)) << "\n";
        return 1;
    }
    for (std::size_t i = 0; i < loadMessages; ++i) {
        err << "npt: " << plain::escaped(view.messages()[i].title) << ": "
            << plain::escaped(view.messages()[i].text) << "\n";
    }
    return 0;
}

}  // namespace npt
