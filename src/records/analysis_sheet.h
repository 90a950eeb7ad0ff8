// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The workbook's second sheet, "Анализ": the night's analysis beside the table of samples.
//
// Rows, from the top (column A the label, B the value, unless said otherwise):
//   the title and the passport line of the first sheet;
//   "Параметры анализа": threshold and the rise time is counted from in mm, minimum duration
//   and merge gap as times;
//   "Итоги ночи": recorded and analysed time, number of episodes, total, longest and mean
//   episode time, largest increase, area (a night without episodes: also the largest rise it
//   reached), episodes per analysed hour (only the recorded time when the night could not be
//   analysed), the quality verdict and its counts (only the verdict when the bytes are not a
//   recording);
//   "Исключено из анализа" (only when the samples could be assessed): a header row and one row
//   per stretch the verdict names: reason in A, start and end as times of night, duration, and
//   minutes from the start of the recording; "нет" when nothing was left out;
//   "Эпизоды": a header row and one row per episode, columns A-J as in the window's table, K
//   the minutes from the start of the recording to its onset;
//   the statement that rigidity is not measured.
// Sections are set apart by one empty row. Times of night and durations are fractions of a day
// in the first sheet's time format, so that they add up; times of night wrap at midnight, so
// the minutes from the start are the column to sort by.
#include <xlsxwriter.h>

#include <cstddef>
#include <string>

#include "records/spreadsheet.h"

namespace npt {

// Adds the sheet to workbook, its time cells in timeFormat. Returns the first error of the
// library, if any, and sets rowsWritten to the number of rows that hold a cell.
lxw_error addAnalysisSheet(lxw_workbook* workbook, lxw_format* timeFormat,
                           const std::string& passportLine, const WorkbookAnalysis& night,
                           std::size_t& rowsWritten);

}  // namespace npt
