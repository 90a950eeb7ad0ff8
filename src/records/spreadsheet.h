#pragma once
// Writing the export table as an .xlsx workbook or as CSV.
#include <string>

#include "records/export_table.h"

namespace npt {

// The number format of the time column: hours past 24 are not folded, as a spreadsheet shows
// "[ч]:мм:сс;@" in its Russian interface.
inline constexpr const char* kTimeColumnFormat = "[h]:mm:ss;@";

// Writes an .xlsx workbook atomically. Throws FileError when it cannot be written; an existing
// file is then left as it was.
void writeXlsx(const std::string& path, const ExportTable& table);

// RFC 4180 CSV in UTF-8: one header line, then number, time HH:MM:SS, diameter with a point.
std::string csvText(const ExportTable& table);
void writeCsv(const std::string& path, const ExportTable& table);

}  // namespace npt
