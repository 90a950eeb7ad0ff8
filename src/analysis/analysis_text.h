// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts of the night's analysis shared by the window, the report and the command-line tool:
// numbers with a decimal comma and the one-line summary, in Russian. Durations and times of
// night are written by measure/time_of_day.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "analysis/night_analysis.h"
#include "analysis/parameters.h"
#include "measure/time_of_day.h"

namespace npt {

// The value rounded to the given number of decimals (halves to the even neighbour), with a
// decimal comma: decimalText(12.44, 1) is "12,4".
std::string decimalText(double value, int decimals);

// The Russian noun form for a count: one ("участок"), few ("участка") or many ("участков").
const char* pluralRu(long long count, const char* one, const char* few, const char* many);

// The line under the chart: "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм", followed
// by how long was left out when parts of the night are not usable ("исключено из анализа
// 2 ч 5 мин": recorded less analysed time) and by changedParametersNote when the parameters are
// not the defaults; the reason when nothing could be analysed.
std::string summaryLine(const NightAnalysis& analysis);

// "порог 3,0 мм · не короче 5 мин · промежутки до 2 мин объединяются · время с приростом от
// 5,0 мм": the parameters, for every place that shows results.
std::string parametersText(const AnalysisParameters& parameters);

// "параметры изменены: порог" when one parameter differs from its default, "параметры изменены:
// порог и ещё 2" when three do (the first by its short name); empty when none does.
std::string changedParametersNote(const AnalysisParameters& parameters);

// "по умолчанию: порог 3,0 мм, не короче 5 мин": the defaults of the parameters that differ from
// them, set as parametersText says them; empty when none does.
std::string defaultsOfChangedText(const AnalysisParameters& parameters);

// The columns of the episode table, wherever it is shown. The ninth says the rise it counts
// time at: "С приростом ≥ 5,0 мм".
inline constexpr std::size_t kEpisodeColumnCount = 10;
using EpisodeRow = std::array<std::string, kEpisodeColumnCount>;
EpisodeRow episodeColumns(const AnalysisParameters& parameters);

// One row of texts per episode: number from 1, onset and end as times of night "HH:MM",
// durations rounded to minutes, millimetres and percentages to a tenth with a decimal comma.
std::vector<EpisodeRow> episodeRows(const NightAnalysis& analysis);

// The night's figures (night_facts.h) as "label", "value" pairs in reading order: recorded and
// analysed time, episodes and their times, the largest increase and the area (a night without
// episodes: the largest rise it reached, "Наибольший прирост"), and the rate per analysed hour.
// Only the recorded time when the night could not be analysed; nothing when the bytes are not a
// recording.
std::vector<std::pair<std::string, std::string>> summaryFacts(const NightAnalysis& analysis);

// A recording analysed for less than this may lack the morning's episodes, which are the
// longest of a night; it is not titled a night either.
inline constexpr int kWholeNightS = 7 * 3600;

// The recorded span as times of night: "с 22:00 до 10:00" (start of the first sample to the end
// of the last written one); empty without a sample period.
std::string recordedSpanText(const NightAnalysis& analysis);

// One row per stretch the analysis left out and names (a minute or longer), in time order:
// from and to as "HH:MM", the duration ("2 ч 05 мин") and the reason (faultText).
struct LeftOutRow {
    std::string from;
    std::string to;
    std::string duration;
    std::string reason;
};
std::vector<LeftOutRow> leftOutRows(const NightAnalysis& analysis);

// What the analysis cannot say, printed with every result: the diameter is not the rigidity,
// and a night without episodes has causes other than an organic one.
inline constexpr const char* kRigidityStatement =
    "Регистратор измеряет только диаметр: ригидность не измеряется, и нормальный прирост "
    "диаметра не исключает недостаточной ригидности. Ночь без эпизодов сама по себе не "
    "доказывает органической причины: их может не быть при плохом сне, в первую ночь "
    "исследования, после алкоголя. Заключение остаётся за врачом.";

}  // namespace npt
