#include "cli/npt_command.h"

#include <algorithm>
#include <optional>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"
#include "cli/json_writer.h"
#include "records/file_name.h"

namespace npt {

namespace {
constexpr const char* kUsage =
    "usage: npt show FILE [--password TEXT] [--json]\n"
    "       npt export FILE OUT.xlsx|OUT.csv [--password TEXT]\n";

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::string password;
    bool json = false;
};

std::optional<Options> parse(const std::vector<std::string>& args, std::ostream& err) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--password") {
            if (i + 1 == args.size()) {
                err << "npt: --password needs a value\n" << kUsage;
                return std::nullopt;
            }
            o.password = args[++i];
        } else if (a.rfind("--password=", 0) == 0) {
            o.password = a.substr(11);
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            err << "npt: unknown option " << a << "\n" << kUsage;
            return std::nullopt;
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.positional.push_back(a);
        }
    }
    const bool showOk = o.command == "show" && o.positional.size() == 1;
    const bool exportOk = o.command == "export" && o.positional.size() == 2 && !o.json;
    if (!showOk && !exportOk) {
        err << kUsage;
        return std::nullopt;
    }
    return o;
}

std::string lastError(const BatchView& view) {
    for (auto it = view.messages().rbegin(); it != view.messages().rend(); ++it) {
        if (it->icon == MessageIcon::Error) {
            return it->text;
        }
    }
    return "не удалось выполнить действие";
}

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
    out << "]}\n";
}

// A number for the Russian summary text: decimal comma, as everywhere the doctor reads numbers.
std::string numberText(double value) {
    std::string text = json::number(value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

void writeSummary(std::ostream& out, const std::string& path, const BatchView& view,
                  const TTMForm& form) {
    out << "Файл:             " << path << "\n"
        << "ФИО пациента:     " << view.text(Control::Name) << "\n"
        << "Возраст:          " << view.text(Control::Old) << "\n"
        << "Дата:             " << view.text(Control::Date) << "\n"
        << "Исследование:     с " << view.text(Control::TimeStart) << " до "
        << view.text(Control::TimeEnd) << "\n"
        << "Запрограммирован: " << view.text(Control::TimeNow) << "\n"
        << "Период, сек:      " << view.text(Control::Tscan) << "\n"
        << "Uбат:             " << view.text(Control::Ubat) << "\n";
    const auto range = form.chart().series1().yRange();
    out << "Отсчётов:         " << form.state().diameterTable.count;
    if (range) {
        out << ", диаметр от " << numberText(range->min) << " до " << numberText(range->max)
            << " мм";
    }
    out << "\n";
    for (const auto& m : view.messages()) {
        out << "Сообщение:        " << m.title << ": " << m.text << "\n";
    }
}
}  // namespace

int runNpt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto options = parse(args, err);
    if (!options) {
        return 2;
    }
    const std::string& file = options->positional[0];
    std::string target;
    if (options->command == "export") {
        target = options->positional[1];
        const std::string ext = lowerCaseExtension(target);
        if (ext != ".xlsx" && ext != ".csv") {
            err << "npt: " << target << ": the export file must end in .xlsx or .csv\n";
            return 2;
        }
    }

    BatchView view(options->password);
    SystemClock clock;
    TTMForm form(view, clock, nullptr);
    form.FormCreate();
    if (!form.loadRecording(file)) {
        err << "npt: " << lastError(view) << "\n";
        return 1;
    }

    if (options->command == "show") {
        if (options->json) {
            writeJson(out, view, form);
        } else {
            writeSummary(out, file, view, form);
        }
        return 0;
    }

    const std::size_t loadMessages = view.messages().size();
    const bool ok = lowerCaseExtension(target) == ".xlsx" ? form.exportSpreadsheet(target)
                                                          : form.exportCsv(target);
    if (!ok) {
        err << "npt: " << lastError(view) << "\n";
        return 1;
    }
    for (std::size_t i = 0; i < loadMessages; ++i) {
        err << "npt: " << view.messages()[i].title << ": " << view.messages()[i].text << "\n";
    }
    return 0;
}

}  // namespace npt
