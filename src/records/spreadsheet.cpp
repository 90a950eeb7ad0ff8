#include "records/spreadsheet.h"

#include <xlsxwriter.h>

#include <charconv>

#include "measure/time_of_day.h"
#include "records/atomic_file.h"
#include "records/file_error.h"

namespace npt {

namespace {
const std::string kExportPrefix = "Не удалось сохранить таблицу";

std::string shortestDecimal(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string csvField(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (char c : field) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// Writes the workbook to tempPath; errors name chosenPath, the file the user asked for.
void writeWorkbook(const std::string& tempPath, const std::string& chosenPath,
                   const ExportTable& table) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(tempPath.c_str(), &options);
    if (workbook == nullptr) {
        const std::string reason = "не удалось создать книгу";
        throw FileError(chosenPath, reason,
                        kExportPrefix + " «" + chosenPath + "»: " + reason + ".");
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* timeFormat = workbook_add_format(workbook);
    format_set_num_format(timeFormat, kTimeColumnFormat);
    worksheet_set_column(sheet, 1, 1, LXW_DEF_COL_WIDTH, timeFormat);

    worksheet_write_string(sheet, 0, 0, table.title.c_str(), nullptr);
    worksheet_write_string(sheet, 1, 0, table.passportLine.c_str(), nullptr);
    for (lxw_col_t c = 0; c < 3; ++c) {
        // Column B carries the time format throughout, its header cell included.
        worksheet_write_string(sheet, 2, c, table.headers[c].c_str(),
                               c == 1 ? timeFormat : nullptr);
    }
    lxw_row_t row = 3;
    for (const ExportRow& r : table.rows) {
        worksheet_write_number(sheet, row, 0, r.number, nullptr);
        worksheet_write_number(sheet, row, 1, r.timeOfDay, timeFormat);
        worksheet_write_number(sheet, row, 2, r.diameterMm, nullptr);
        ++row;
    }
    const lxw_error error = workbook_close(workbook);
    if (error != LXW_NO_ERROR) {
        std::string reason = lxw_strerror(error);
        if (!reason.empty() && reason.back() == '.') {
            reason.pop_back();  // the message adds its own full stop
        }
        throw FileError(chosenPath, reason,
                        kExportPrefix + " «" + chosenPath + "»: " + reason + ".");
    }
}
}  // namespace

void writeXlsx(const std::string& path, const ExportTable& table) {
    replaceFileAtomically(path, kExportPrefix, [&](const std::string& tempPath) {
        writeWorkbook(tempPath, path, table);
    });
}

std::string csvText(const ExportTable& table) {
    std::string out;
    out.reserve(table.rows.size() * 24 + 64);
    out += csvField(table.headers[0]) + "," + csvField(table.headers[1]) + "," +
           csvField(table.headers[2]) + "\r\n";
    for (const ExportRow& r : table.rows) {
        out += std::to_string(r.number);
        out += ',';
        out += clockText(r.seconds);
        out += ',';
        out += shortestDecimal(r.diameterMm);
        out += "\r\n";
    }
    return out;
}

void writeCsv(const std::string& path, const ExportTable& table) {
    const std::string text = csvText(table);
    writeFileAtomically(path,
                        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        kExportPrefix);
}

}  // namespace npt
