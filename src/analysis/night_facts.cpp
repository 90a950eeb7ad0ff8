// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/night_facts.h"

#include <array>
#include <cmath>

#include "analysis/analysis_text.h"
#include "measure/time_of_day.h"

namespace npt {

namespace {

constexpr std::array kKinds = {
    NightFactKind{"Записано", "valid_s", FactUnit::Duration, FactScope::Recording,
                  [](const NightSummary& s) { return static_cast<double>(s.valid_s); }},
    // Stated always, not only when it differs: equal to the recorded time it says that nothing
    // was left out, and the rate per hour below is of this time.
    NightFactKind{"Проанализировано", "analysed_s", FactUnit::Duration, FactScope::Analysed,
                  [](const NightSummary& s) { return static_cast<double>(s.analysed_s); }},
    NightFactKind{"Эпизодов", "episodes", FactUnit::Count, FactScope::Analysed,
                  [](const NightSummary& s) { return static_cast<double>(s.episodes); }},
    NightFactKind{"Всего в эпизодах", "total_s", FactUnit::Duration, FactScope::Analysed,
                  [](const NightSummary& s) { return static_cast<double>(s.total_s); }},
    NightFactKind{"Самый длинный", "longest_s", FactUnit::Duration, FactScope::WithEpisodes,
                  [](const NightSummary& s) { return static_cast<double>(s.longest_s); }},
    NightFactKind{"Средний эпизод", "mean_s", FactUnit::Duration, FactScope::WithEpisodes,
                  [](const NightSummary& s) { return s.mean_s; }},
    NightFactKind{"Макс. прирост", "max_increase_mm", FactUnit::Millimetres,
                  FactScope::WithEpisodes, [](const NightSummary& s) { return s.max_increase_mm; }},
    NightFactKind{"Площадь эпизодов", "area_mm_min", FactUnit::MillimetreMinutes,
                  FactScope::WithEpisodes, [](const NightSummary& s) { return s.area_mm_min; }},
    // "0 episodes" alone does not say how near the night came to one.
    NightFactKind{"Наибольший прирост", "largest_rise_mm", FactUnit::Millimetres,
                  FactScope::WithoutEpisodes,
                  [](const NightSummary& s) { return s.largest_rise_mm; }},
    NightFactKind{"Эпизодов в час анализа", "per_hour", FactUnit::PerHour, FactScope::Analysed,
                  [](const NightSummary& s) { return s.per_hour; }},
};

bool inScope(const NightAnalysis& analysis, FactScope scope) {
    if (!analysis.quality.recording()) {
        return false;  // not even a recorded time: the bytes are no night
    }
    const bool analysed = analysable(analysis.quality.usability);
    switch (scope) {
        case FactScope::Recording:
            return true;
        case FactScope::Analysed:
            return analysed;
        case FactScope::WithEpisodes:
            return analysed && analysis.summary.episodes > 0;
        case FactScope::WithoutEpisodes:
            return analysed && analysis.summary.episodes == 0;
    }
    return false;
}

}  // namespace

std::span<const NightFactKind> nightFactKinds() {
    return kKinds;
}

std::optional<double> nightFact(const NightAnalysis& analysis, const NightFactKind& kind) {
    if (!inScope(analysis, kind.scope)) {
        return std::nullopt;
    }
    return kind.value(analysis.summary);
}

std::string factText(FactUnit unit, double value) {
    switch (unit) {
        case FactUnit::Duration:
            return durationText(static_cast<int>(std::nearbyint(value)));
        case FactUnit::Count:
            return std::to_string(static_cast<long long>(std::nearbyint(value)));
        case FactUnit::Millimetres:
            return decimalText(value, 1) + " мм";
        case FactUnit::MillimetreMinutes:
            return decimalText(value, 1) + " мм·мин";
        case FactUnit::PerHour:
            return decimalText(value, 2);
    }
    return {};
}

std::string sheetLabel(const NightFactKind& kind) {
    switch (kind.unit) {
        case FactUnit::Millimetres:
            return std::string(kind.label) + ", мм";
        case FactUnit::MillimetreMinutes:
            return std::string(kind.label) + ", мм·мин";
        case FactUnit::Duration:
        case FactUnit::Count:
        case FactUnit::PerHour:
            break;
    }
    return kind.label;
}

}  // namespace npt
