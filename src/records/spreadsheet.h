// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing the export table as an .xlsx workbook or as CSV.
#include <string>

#include "analysis/night_analysis.h"
#include "records/export_table.h"

namespace npt {

// The number format of the time column: hours past 24 are not folded, as a spreadsheet shows
// "[ч]:мм:сс;@" in its Russian interface.
inline constexpr const char* kTimeColumnFormat = "[h]:mm:ss;@";

// The second sheet's name, where the night's analysis goes.
inline constexpr const char* kAnalysisSheetName = "Анализ";

// The analysis of the night a workbook holds, with the time of day of its first sample.
struct WorkbookAnalysis {
    NightAnalysis analysis;
    int startSeconds = 0;
};

// Writes an .xlsx workbook atomically: the table on the first sheet and, when given, the
// analysis on a second sheet (analysis_sheet.h); the first sheet is the same either way. Throws
// FileError when it cannot be written; an existing file is then left as it was.
void writeXlsx(const std::string& path, const ExportTable& table,
               const WorkbookAnalysis* analysis = nullptr);

// RFC 4180 CSV in UTF-8: one header line, then number, time HH:MM:SS, diameter with a point.
std::string csvText(const ExportTable& table);
void writeCsv(const std::string& path, const ExportTable& table);

}  // namespace npt
