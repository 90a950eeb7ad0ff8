// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/analysis_text.h"

#include <cmath>
#include <cstdlib>

#include "analysis/night_facts.h"
#include "measure/time_of_day.h"

namespace npt {

std::string decimalText(double value, int decimals) {
    double scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    const auto units = static_cast<long long>(std::nearbyint(value * scale));
    const long long whole = std::llabs(units) / static_cast<long long>(scale);
    std::string text = (units < 0 ? "-" : "") + std::to_string(whole);
    if (decimals > 0) {
        const std::string fraction =
            std::to_string(std::llabs(units) % static_cast<long long>(scale));
        text +=
            "," + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    return text;
}

const char* pluralRu(long long count, const char* one, const char* few, const char* many) {
    const long long n = std::llabs(count);
    if (n % 100 >= 11 && n % 100 <= 14) {
        return many;
    }
    switch (n % 10) {
        case 1:
            return one;
        case 2:
        case 3:
        case 4:
            return few;
        default:
            return many;
    }
}

std::string summaryLine(const NightAnalysis& analysis) {
    const NightQuality& q = analysis.quality;
    switch (q.usability) {
        case Usability::NoData:
        case Usability::NoPeriod:
        case Usability::NotRecording:
            return "Анализ невозможен: " + q.verdict;
        case Usability::Unusable:
            return "Анализ невозможен: данные непригодны";
        case Usability::Usable:
        case Usability::PartlyUsable:
            break;
    }
    const NightSummary& s = analysis.summary;
    std::string line = "Эпизодов: " + std::to_string(s.episodes);
    if (s.episodes > 0) {
        line += " · всего " + durationText(s.total_s) + " · макс. прирост " +
                decimalText(s.max_increase_mm, 1) + " мм";
    }
    // How long, not only that: a doctor weighs two minutes left out otherwise than two hours.
    if (q.usability == Usability::PartlyUsable) {
        line += " · исключено из анализа " + durationText(s.valid_s - s.analysed_s);
    }
    // Figures found with other parameters are other figures: wherever the line is shown, it is
    // never silently compared with one made with the defaults.
    if (const std::string changed = changedParametersNote(analysis.parameters); !changed.empty()) {
        line += " · " + changed;
    }
    return line;
}

namespace {

// Each parameter: its short name, its setting as the parameters' line says it, and whether two
// sets of parameters agree on it.
struct ParameterText {
    const char* name;
    std::string (*setting)(const AnalysisParameters&);
    bool (*same)(const AnalysisParameters&, const AnalysisParameters&);
};

// Millimetres equal but for the representation error of a decimal read from text.
bool sameMm(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

const ParameterText kParameterTexts[] = {
    {"порог",
     [](const AnalysisParameters& p) { return "порог " + decimalText(p.threshold_mm, 1) + " мм"; },
     [](const AnalysisParameters& a, const AnalysisParameters& b) {
         return sameMm(a.threshold_mm, b.threshold_mm);
     }},
    {"длительность",
     [](const AnalysisParameters& p) { return "не короче " + exactDurationText(p.min_duration_s); },
     [](const AnalysisParameters& a, const AnalysisParameters& b) {
         return a.min_duration_s == b.min_duration_s;
     }},
    {"промежуток",
     [](const AnalysisParameters& p) {
         return p.merge_gap_s > 0
                    ? "промежутки до " + exactDurationText(p.merge_gap_s) + " объединяются"
                    : std::string("промежутки не объединяются");
     },
     [](const AnalysisParameters& a, const AnalysisParameters& b) {
         return a.merge_gap_s == b.merge_gap_s;
     }},
    {"прирост для учёта времени",
     [](const AnalysisParameters& p) {
         return "время с приростом от " + decimalText(p.full_threshold_mm, 1) + " мм";
     },
     [](const AnalysisParameters& a, const AnalysisParameters& b) {
         return sameMm(a.full_threshold_mm, b.full_threshold_mm);
     }},
};

// The parameters of p that differ from their defaults.
std::vector<const ParameterText*> changedOf(const AnalysisParameters& p) {
    std::vector<const ParameterText*> changed;
    for (const ParameterText& t : kParameterTexts) {
        if (!t.same(p, AnalysisParameters())) {
            changed.push_back(&t);
        }
    }
    return changed;
}

}  // namespace

std::string parametersText(const AnalysisParameters& p) {
    std::string text;
    for (const ParameterText& t : kParameterTexts) {
        text += (text.empty() ? "" : " · ") + t.setting(p);
    }
    return text;
}

std::string changedParametersNote(const AnalysisParameters& p) {
    const auto changed = changedOf(p);
    if (changed.empty()) {
        return "";
    }
    // The first by name, the others counted: the line under the chart has room for two lines.
    std::string note = std::string("параметры изменены: ") + changed.front()->name;
    if (changed.size() > 1) {
        note += " и ещё " + std::to_string(changed.size() - 1);
    }
    return note;
}

std::string defaultsOfChangedText(const AnalysisParameters& p) {
    std::string defaults;
    for (const ParameterText* t : changedOf(p)) {
        defaults += (defaults.empty() ? "" : ", ") + t->setting(AnalysisParameters());
    }
    return defaults.empty() ? "" : "по умолчанию: " + defaults;
}

EpisodeRow episodeColumns(const AnalysisParameters& p) {
    return {"№",
            "Начало",
            "Конец",
            "Длительность",
            "Базовый, мм",
            "Пик, мм",
            "Прирост, мм",
            "Прирост, %",
            "С приростом ≥ " + decimalText(p.full_threshold_mm, 1) + " мм",
            "Площадь, мм·мин"};
}

std::string recordedSpanText(const NightAnalysis& analysis) {
    if (analysis.quality.usability == Usability::NoPeriod) {
        return "";
    }
    const long long start = analysis.startSeconds;
    return "с " + hourMinuteText(start) + " до " + hourMinuteText(start + analysis.summary.valid_s);
}

std::vector<LeftOutRow> leftOutRows(const NightAnalysis& analysis) {
    std::vector<LeftOutRow> rows;
    const long long start = analysis.startSeconds;
    for (const Stretch& s : analysis.quality.stretches) {
        if (s.named()) {
            rows.push_back({hourMinuteText(start + s.start_s), hourMinuteText(start + s.end_s),
                            durationText(s.end_s - s.start_s), faultText(s.fault)});
        }
    }
    return rows;
}

std::vector<EpisodeRow> episodeRows(const NightAnalysis& analysis) {
    std::vector<EpisodeRow> rows;
    rows.reserve(analysis.episodes.size());
    for (std::size_t i = 0; i < analysis.episodes.size(); ++i) {
        const NightEpisode& e = analysis.episodes[i];
        rows.push_back({std::to_string(i + 1), e.start.substr(0, 5), e.end.substr(0, 5),
                        durationText(e.duration_s), decimalText(e.baseline_mm, 1),
                        decimalText(e.peak_mm, 1), decimalText(e.increase_mm, 1),
                        decimalText(e.increase_percent, 1), durationText(e.full_s),
                        decimalText(e.area_mm_min, 1)});
    }
    return rows;
}

std::vector<std::pair<std::string, std::string>> summaryFacts(const NightAnalysis& analysis) {
    std::vector<std::pair<std::string, std::string>> facts;
    for (const NightFactKind& kind : nightFactKinds()) {
        if (const auto value = nightFact(analysis, kind)) {
            facts.emplace_back(kind.label, factText(kind.unit, *value));
        }
    }
    return facts;
}

}  // namespace npt
