// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/spreadsheet.h"

#include <xlsxwriter.h>

#include <charconv>

#include "measure/time_of_day.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/silenced_stderr.h"
#include "records/analysis_sheet.h"
#include "records/workbook_check.h"

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

// Builds the workbook in file with the library; its scratch files go to scratchDirectory.
// The rows of each sheet that hold a cell are counted into sheetRows.
lxw_error buildWorkbook(const std::string& file, const std::string& scratchDirectory,
                        const ExportTable& table, const WorkbookAnalysis* analysis,
                        std::vector<std::size_t>& sheetRows) {
    const SilencedStderr quiet;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // Beside the chosen file rather than in the system's temporary folder: the scratch data
    // holds the patient's name, and a lack of space then shows where the workbook goes.
    options.tmpdir = const_cast<char*>(scratchDirectory.c_str());
    lxw_workbook* workbook = workbook_new_opt(file.c_str(), &options);
    if (workbook == nullptr) {
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* timeFormat = workbook_add_format(workbook);
    if (sheet == nullptr || timeFormat == nullptr) {
        workbook_close(workbook);
        return LXW_ERROR_CREATING_TMPFILE;
    }
    lxw_error first = LXW_NO_ERROR;
    const auto keep = [&first](lxw_error error) {
        if (first == LXW_NO_ERROR) {
            first = error;
        }
    };
    format_set_num_format(timeFormat, kTimeColumnFormat);
    keep(worksheet_set_column(sheet, 1, 1, LXW_DEF_COL_WIDTH, timeFormat));

    keep(worksheet_write_string(sheet, 0, 0, table.title.c_str(), nullptr));
    keep(worksheet_write_string(sheet, 1, 0, table.passportLine.c_str(), nullptr));
    for (lxw_col_t c = 0; c < 3; ++c) {
        // Column B carries the time format throughout, its header cell included.
        keep(worksheet_write_string(sheet, 2, c, table.headers[c].c_str(),
                                    c == 1 ? timeFormat : nullptr));
    }
    lxw_row_t row = 3;
    for (const ExportRow& r : table.rows) {
        keep(worksheet_write_number(sheet, row, 0, r.number, nullptr));
        keep(worksheet_write_number(sheet, row, 1, r.timeOfDay, timeFormat));
        keep(worksheet_write_number(sheet, row, 2, r.diameterMm, nullptr));
        ++row;
    }
    // The title, the passport line, the header row and one row per sample.
    sheetRows = {table.rows.size() + 3};
    if (analysis != nullptr) {
        std::size_t rows = 0;
        keep(addAnalysisSheet(workbook, timeFormat, table.passportLine, *analysis, rows));
        sheetRows.push_back(rows);
    }
    keep(workbook_close(workbook));
    return first;
}

// Why the workbook could not be written whole: the file system's reason if it has one (the
// library does not say which write failed), else what the library or the check found.
std::string reasonForFailedWorkbook(int fd, lxw_error error, const std::string& defect) {
    if (const auto reason = reasonForFailedWrite(fd)) {
        return *reason;
    }
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED) {
        return reasonForErrno(ENOMEM);
    }
    return defect.empty() ? "книгу не удалось составить" : "книга записана с ошибкой: " + defect;
}
}  // namespace

void writeXlsx(const std::string& path, const ExportTable& table,
               const WorkbookAnalysis* analysis) {
    replaceFileAtomically(path, kExportPrefix, [&](const TemporaryFile& temp) {
        std::vector<std::size_t> sheetRows;
        const lxw_error error =
            buildWorkbook(temp.path, temp.directory, table, analysis, sheetRows);
        std::string defect;
        if (error == LXW_NO_ERROR) {
            const auto found = workbookDefect(fileContent(temp.fd), sheetRows);
            if (!found) {
                return;
            }
            defect = *found;
        }
        throwFileError(path, kExportPrefix, reasonForFailedWorkbook(temp.fd, error, defect));
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
