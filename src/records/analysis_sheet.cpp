// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/analysis_sheet.h"

#include <array>
#include <iterator>

#include "analysis/analysis_text.h"
#include "analysis/night_facts.h"
#include "measure/time_of_day.h"

namespace npt {

namespace {

constexpr double kLabelColumnWidth = 34;
constexpr double kValueColumnWidth = 12;
constexpr double kMinutesColumnWidth = 28;
constexpr const char* kMinutesColumn = "Начало, мин от начала записи";

double dayFraction(double seconds) {
    return seconds / kSecondsPerDay;
}

// A time of night, as the first sheet's times: wrapped at midnight.
double nightTime(int startSeconds, int secondsFromStart) {
    return static_cast<double>((startSeconds + static_cast<long long>(secondsFromStart)) %
                               kSecondsPerDay);
}

// Minutes from the first sample: what a sheet sorts by, where times of night wrap at midnight.
double minutesFromStart(int seconds) {
    return seconds / 60.0;
}

// Writes the rows in order, one empty row between sections, and keeps the first error.
class SheetWriter {
  public:
    SheetWriter(lxw_worksheet* sheet, lxw_format* timeFormat, lxw_format* boldFormat)
        : sheet_(sheet), time_(timeFormat), bold_(boldFormat) {}

    void text(lxw_col_t column, const std::string& value, lxw_format* format = nullptr) {
        keep(worksheet_write_string(sheet_, row_, column, value.c_str(), format));
        written_ = true;
    }
    void number(lxw_col_t column, double value) {
        keep(worksheet_write_number(sheet_, row_, column, value, nullptr));
        written_ = true;
    }
    void time(lxw_col_t column, double seconds) {
        keep(worksheet_write_number(sheet_, row_, column, dayFraction(seconds), time_));
        written_ = true;
    }
    void heading(const std::string& value) { text(0, value, bold_); }

    void labelNumber(const std::string& label, double value) {
        text(0, label);
        number(1, value);
        next();
    }
    void labelTime(const std::string& label, double seconds) {
        text(0, label);
        time(1, seconds);
        next();
    }
    void labelText(const std::string& label, const std::string& value) {
        text(0, label);
        text(1, value);
        next();
    }

    void next() {
        rows_ += written_ ? 1 : 0;
        written_ = false;
        ++row_;
    }
    void gap() { ++row_; }

    void keep(lxw_error error) {
        if (first_ == LXW_NO_ERROR) {
            first_ = error;
        }
    }
    lxw_error error() const { return first_; }
    std::size_t rows() const { return rows_; }

  private:
    lxw_worksheet* sheet_;
    lxw_format* time_;
    lxw_format* bold_;
    lxw_row_t row_ = 0;
    std::size_t rows_ = 0;
    bool written_ = false;
    lxw_error first_ = LXW_NO_ERROR;
};

}  // namespace

lxw_error addAnalysisSheet(lxw_workbook* workbook, lxw_format* timeFormat,
                           const std::string& passportLine, const WorkbookAnalysis& night,
                           std::size_t& rowsWritten) {
    rowsWritten = 0;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, kAnalysisSheetName);
    lxw_format* bold = workbook_add_format(workbook);
    if (sheet == nullptr || bold == nullptr) {
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    format_set_bold(bold);
    SheetWriter w(sheet, timeFormat, bold);
    w.keep(worksheet_set_column(sheet, 0, 0, kLabelColumnWidth, nullptr));
    w.keep(worksheet_set_column(sheet, 1, kEpisodeColumnCount - 1, kValueColumnWidth, nullptr));
    w.keep(worksheet_set_column(sheet, kEpisodeColumnCount, kEpisodeColumnCount,
                                kMinutesColumnWidth, nullptr));

    const NightAnalysis& a = night.analysis;
    w.heading("Анализ ночи");
    w.next();
    w.text(0, passportLine);
    w.next();
    w.gap();

    w.heading("Параметры анализа");
    w.next();
    w.labelNumber("Порог эпизода, мм", a.parameters.threshold_mm);
    w.labelTime("Минимальная длительность", a.parameters.min_duration_s);
    w.labelTime("Промежутки объединяются до", a.parameters.merge_gap_s);
    w.labelNumber("Время с приростом от, мм", a.parameters.full_threshold_mm);
    w.gap();

    w.heading("Итоги ночи");
    w.next();
    // The figures the text shows, as numbers: durations as times, the rest with their unit in
    // the label.
    for (const NightFactKind& kind : nightFactKinds()) {
        if (const auto value = nightFact(a, kind)) {
            if (kind.unit == FactUnit::Duration) {
                w.labelTime(kind.label, *value);
            } else {
                w.labelNumber(sheetLabel(kind), *value);
            }
        }
    }
    w.labelText("Качество записи", a.quality.verdict);
    if (a.quality.recording()) {
        w.labelNumber("Пропущенных отсчётов", a.quality.erased);
        w.labelNumber("Отсчётов на краях диапазона", a.quality.at_range_ends);
        w.labelTime("Ровные участки", a.quality.flat_s);
    }
    w.gap();

    // The stretches the verdict names, one row each, so that their times can be read and sorted;
    // only of a night whose samples were looked at ("нет" would claim so of the others).
    if (analysable(a.quality.usability) || a.quality.usability == Usability::Unusable) {
        w.heading("Исключено из анализа");
        w.next();
        const char* const header[] = {"Причина", "Начало", "Конец", "Длительность",
                                      "От начала записи, мин"};
        for (std::size_t c = 0; c < std::size(header); ++c) {
            w.text(static_cast<lxw_col_t>(c), header[c], bold);
        }
        w.next();
        bool any = false;
        for (const Stretch& stretch : a.quality.stretches) {
            if (!stretch.named()) {
                continue;
            }
            any = true;
            w.text(0, faultText(stretch.fault));
            w.time(1, nightTime(night.startSeconds, stretch.start_s));
            w.time(2, nightTime(night.startSeconds, stretch.end_s));
            w.time(3, stretch.end_s - stretch.start_s);
            w.number(4, minutesFromStart(stretch.start_s));
            w.next();
        }
        if (!any) {
            w.text(0, "нет");
            w.next();
        }
        w.gap();
    }

    w.heading("Эпизоды");
    w.next();
    const EpisodeRow columns = episodeColumns(a.parameters);
    for (std::size_t c = 0; c < kEpisodeColumnCount; ++c) {
        w.text(static_cast<lxw_col_t>(c), columns[c], bold);
    }
    w.text(kEpisodeColumnCount, kMinutesColumn, bold);
    w.next();
    for (std::size_t i = 0; i < a.episodes.size(); ++i) {
        const NightEpisode& e = a.episodes[i];
        w.number(0, static_cast<double>(i + 1));
        w.time(1, nightTime(night.startSeconds, e.start_s));
        w.time(2, nightTime(night.startSeconds, e.end_s));
        w.time(3, e.duration_s);
        w.number(4, e.baseline_mm);
        w.number(5, e.peak_mm);
        w.number(6, e.increase_mm);
        w.number(7, e.increase_percent);
        w.time(8, e.full_s);
        w.number(9, e.area_mm_min);
        w.number(kEpisodeColumnCount, minutesFromStart(e.start_s));
        w.next();
    }
    w.gap();
    w.text(0, kRigidityStatement);
    w.next();
    rowsWritten = w.rows();
    return w.error();
}

}  // namespace npt
