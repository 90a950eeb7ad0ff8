// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "analysis/analysis_text.h"
#include "analysis/parameters.h"

namespace npt {
namespace {

TEST(AnalysisTextTest, Numbers) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {12.44, 1, "12,4"}, {12.45, 1, "12,4"},  // a half goes to the even neighbour
        {12.55, 1, "12,6"}, {3.0, 1, "3,0"},    {0.25, 2, "0,25"},
        {0.04, 2, "0,04"},  {-0.04, 1, "0,0"},  // no "-0,0"
        {-1.25, 1, "-1,2"}, {5.0, 0, "5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decimalText(c.value, c.decimals), c.text) << c.value;
    }
}

TEST(AnalysisTextTest, RussianPlural) {
    const std::pair<long long, const char*> cases[] = {
        {1, "участок"},   {2, "участка"},    {4, "участка"},   {5, "участков"},
        {11, "участков"}, {12, "участков"},  {14, "участков"}, {21, "участок"},
        {22, "участка"},  {111, "участков"}, {0, "участков"},
    };
    for (const auto& [count, word] : cases) {
        EXPECT_STREQ(pluralRu(count, "участок", "участка", "участков"), word) << count;
    }
}

TEST(AnalysisTextTest, SummaryLine) {
    NightAnalysis a;
    a.quality.usability = Usability::Usable;
    EXPECT_EQ(summaryLine(a), "Эпизодов: 0");
    a.summary.episodes = 5;
    a.summary.total_s = 2 * 3600 + 18 * 60;
    a.summary.max_increase_mm = 12.4;
    EXPECT_EQ(summaryLine(a), "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм");
    // What was left out, by how long: recorded less analysed time.
    a.summary.valid_s = 12 * 3600;
    a.summary.analysed_s = 12 * 3600 - (2 * 3600 + 5 * 60);
    a.quality.usability = Usability::PartlyUsable;
    EXPECT_EQ(summaryLine(a),
              "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм · исключено "
              "из анализа 2 ч 5 мин");
    a.quality.usability = Usability::Unusable;
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: данные непригодны");
    // Other parameters give other figures: the line says so, but not where nothing was found.
    a.parameters.threshold_mm = 4.5;
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: данные непригодны");
    a.quality.usability = Usability::Usable;
    EXPECT_EQ(summaryLine(a),
              "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм · параметры изменены: порог");
}

// Recorded and analysed time are both stated, the rate is per analysed hour, and a night without
// episodes gives the largest rise it reached instead of the episodes' figures. Where nothing
// could be analysed, no figure claims a night without episodes.
TEST(AnalysisTextTest, FiguresOnlyOfANightAnalysed) {
    using Facts = std::vector<std::pair<std::string, std::string>>;
    NightAnalysis a;
    a.summary.valid_s = 12 * 3600;
    a.summary.analysed_s = 9 * 3600 + 55 * 60;
    a.summary.largest_rise_mm = 2.44;
    a.quality.usability = Usability::PartlyUsable;
    EXPECT_EQ(summaryFacts(a), (Facts{{"Записано", "12 ч"},
                                      {"Проанализировано", "9 ч 55 мин"},
                                      {"Эпизодов", "0"},
                                      {"Всего в эпизодах", "0 мин"},
                                      {"Наибольший прирост", "2,4 мм"},
                                      {"Эпизодов в час анализа", "0,00"}}));
    a.summary.episodes = 2;
    a.summary.total_s = 50 * 60;
    a.summary.longest_s = 30 * 60;
    a.summary.mean_s = 25 * 60;
    a.summary.max_increase_mm = 8.04;
    a.summary.area_mm_min = 210.0;
    a.summary.per_hour = 2 / (a.summary.analysed_s / 3600.0);
    EXPECT_EQ(summaryFacts(a), (Facts{{"Записано", "12 ч"},
                                      {"Проанализировано", "9 ч 55 мин"},
                                      {"Эпизодов", "2"},
                                      {"Всего в эпизодах", "50 мин"},
                                      {"Самый длинный", "30 мин"},
                                      {"Средний эпизод", "25 мин"},
                                      {"Макс. прирост", "8,0 мм"},
                                      {"Площадь эпизодов", "210,0 мм·мин"},
                                      {"Эпизодов в час анализа", "0,20"}}));
    for (Usability nothing : {Usability::Unusable, Usability::NoData, Usability::NoPeriod}) {
        a.quality.usability = nothing;
        EXPECT_EQ(summaryFacts(a), (Facts{{"Записано", "12 ч"}}));
    }
    a.quality.usability = Usability::NotRecording;
    EXPECT_EQ(summaryFacts(a), Facts{}) << "bytes that are no recording recorded nothing";
}

// The stretches left out, as every output lists them: named ones only, times of night past
// midnight, the reason in words.
TEST(AnalysisTextTest, StretchesLeftOut) {
    NightAnalysis a;
    a.startSeconds = 23 * 3600;
    a.quality.stretches = {{Fault::Erased, 600, 610},  // a skipped sample: only counted
                           {Fault::Off, 3600, 3600 + 2 * 3600 + 5 * 60},
                           {Fault::TakenOffEarly, 10 * 3600, 11 * 3600}};
    const auto rows = leftOutRows(a);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].from, "00:00");
    EXPECT_EQ(rows[0].to, "02:05");
    EXPECT_EQ(rows[0].duration, "2 ч 5 мин");
    EXPECT_EQ(rows[0].reason, faultText(Fault::Off));
    EXPECT_EQ(rows[1].from, "09:00");
    EXPECT_EQ(rows[1].reason, faultText(Fault::TakenOffEarly));
}

TEST(AnalysisTextTest, Parameters) {
    EXPECT_EQ(parametersText({}),
              "порог 3,0 мм · не короче 5 мин · промежутки до 2 мин объединяются · время с "
              "приростом от 5,0 мм");
    AnalysisParameters p;
    p.merge_gap_s = 0;
    p.min_duration_s = 90;
    EXPECT_EQ(parametersText(p),
              "порог 3,0 мм · не короче 1 мин 30 с · промежутки не объединяются · время с "
              "приростом от 5,0 мм");
}

TEST(AnalysisTextTest, ParametersThatAreNotTheDefaults) {
    struct Case {
        const char* what;
        AnalysisParameters p;
        const char* note;
        const char* defaults;
    };
    const Case cases[] = {
        {"the defaults", {}, "", ""},
        {"the defaults as read from text", {0.1 * 30, 300, 120, 0.1 * 50}, "", ""},
        {"a threshold of 4,5 mm left in the settings",
         {4.5, 300, 120, 5.0},
         "параметры изменены: порог",
         "по умолчанию: порог 3,0 мм"},
        {"no merging",
         {3.0, 300, 0, 5.0},
         "параметры изменены: промежуток",
         "по умолчанию: промежутки до 2 мин объединяются"},
        {"three of four",
         {3.0, 90, 0, 6.0},
         "параметры изменены: длительность и ещё 2",
         "по умолчанию: не короче 5 мин, промежутки до 2 мин объединяются, время с приростом "
         "от 5,0 мм"},
        {"only the rise time is counted from",
         {3.0, 300, 120, 6.0},
         "параметры изменены: прирост для учёта времени",
         "по умолчанию: время с приростом от 5,0 мм"},
        {"a hair above the default threshold",
         {3.0001, 300, 120, 5.0},
         "параметры изменены: порог",
         "по умолчанию: порог 3,0 мм"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(changedParametersNote(c.p), c.note);
        EXPECT_EQ(defaultsOfChangedText(c.p), c.defaults);
    }
}

TEST(AnalysisParametersTest, Ranges) {
    struct Case {
        const char* what;
        AnalysisParameters p;
        std::optional<std::string> error;
    };
    const auto with = [](auto change) {
        AnalysisParameters p;
        change(p);
        return p;
    };
    const std::string threshold = "Порог эпизода должен быть от 1,0 до 15,0 мм.";
    const std::string duration = "Минимальная длительность эпизода должна быть от 1 мин до 1 ч.";
    const std::string gap = "Промежуток объединения эпизодов должен быть от 0 мин до 30 мин.";
    const Case cases[] = {
        {"defaults", {}, std::nullopt},
        {"every limit itself", with([](auto& p) {
             p.threshold_mm = 15;
             p.min_duration_s = 3600;
             p.merge_gap_s = 0;
             p.full_threshold_mm = 20;
         }),
         std::nullopt},
        {"threshold too low", with([](auto& p) { p.threshold_mm = 0.9; }), threshold},
        {"threshold too high", with([](auto& p) { p.threshold_mm = 15.1; }), threshold},
        {"threshold not a number", with([](auto& p) { p.threshold_mm = std::nan(""); }), threshold},
        {"minimum duration below 1 min", with([](auto& p) { p.min_duration_s = 59; }), duration},
        {"minimum duration above 1 h", with([](auto& p) { p.min_duration_s = 3601; }), duration},
        {"negative merge gap", with([](auto& p) { p.merge_gap_s = -1; }), gap},
        {"merge gap above 30 min", with([](auto& p) { p.merge_gap_s = 1801; }), gap},
        {"full tumescence below the threshold", with([](auto& p) { p.full_threshold_mm = 2.9; }),
         "Прирост для учёта времени должен быть от 3,0 до 20,0 мм (не ниже порога эпизода)."},
        {"full tumescence infinite", with([](auto& p) { p.full_threshold_mm = HUGE_VAL; }),
         "Прирост для учёта времени должен быть от 3,0 до 20,0 мм (не ниже порога эпизода)."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parametersError(c.p), c.error) << c.what;
    }
}

}  // namespace
}  // namespace npt
