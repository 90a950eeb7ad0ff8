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

TEST(AnalysisTextTest, Durations) {
    struct Case {
        int seconds;
        const char* rounded;
        const char* exact;
    };
    const Case cases[] = {
        {0, "0 мин", "0 мин"},
        {20, "менее 1 мин", "20 с"},
        {90, "2 мин", "1 мин 30 с"},  // 1,5 min rounds to the even 2
        {150, "2 мин", "2 мин 30 с"},
        {45 * 60, "45 мин", "45 мин"},
        {3600, "1 ч", "1 ч"},
        {2 * 3600 + 18 * 60 + 10, "2 ч 18 мин", "2 ч 18 мин 10 с"},
        {3600 + 59 * 60 + 50, "2 ч", "1 ч 59 мин 50 с"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(durationText(c.seconds), c.rounded) << c.seconds;
        EXPECT_EQ(exactDurationText(c.seconds), c.exact) << c.seconds;
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
    a.quality.usability = Usability::PartlyUsable;
    EXPECT_EQ(summaryLine(a),
              "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм · есть непригодные участки");
    a.quality.usability = Usability::Unusable;
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: данные непригодны");
    // Other parameters give other figures: the line says so, but not where nothing was found.
    a.parameters.threshold_mm = 4.5;
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: данные непригодны");
    a.quality.usability = Usability::Usable;
    EXPECT_EQ(summaryLine(a),
              "Эпизодов: 5 · всего 2 ч 18 мин · макс. прирост 12,4 мм · параметры изменены: порог");
}

// Where nothing could be analysed, no figure claims a night without episodes.
TEST(AnalysisTextTest, FiguresOnlyOfANightAnalysed) {
    using Facts = std::vector<std::pair<std::string, std::string>>;
    NightAnalysis a;
    a.summary.valid_s = 12 * 3600;
    a.quality.usability = Usability::Usable;
    EXPECT_EQ(summaryFacts(a), (Facts{{"Записано", "12 ч"},
                                      {"Эпизодов", "0"},
                                      {"Всего в эпизодах", "0 мин"},
                                      {"Эпизодов в час", "0,00"}}));
    for (Usability nothing : {Usability::Unusable, Usability::NoData, Usability::NoPeriod}) {
        a.quality.usability = nothing;
        EXPECT_EQ(summaryFacts(a), (Facts{{"Записано", "12 ч"}}));
    }
    a.quality.usability = Usability::NotRecording;
    EXPECT_EQ(summaryFacts(a), Facts{}) << "bytes that are no recording recorded nothing";
}

TEST(AnalysisTextTest, Parameters) {
    EXPECT_EQ(parametersText({}),
              "порог 3,0 мм · не короче 5 мин · промежутки до 2 мин объединяются · полная "
              "тумесценция от 5,0 мм");
    AnalysisParameters p;
    p.merge_gap_s = 0;
    p.min_duration_s = 90;
    EXPECT_EQ(parametersText(p),
              "порог 3,0 мм · не короче 1 мин 30 с · промежутки не объединяются · полная "
              "тумесценция от 5,0 мм");
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
         "по умолчанию: не короче 5 мин, промежутки до 2 мин объединяются, полная тумесценция "
         "от 5,0 мм"},
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
         "Порог полной тумесценции должен быть от 3,0 до 20,0 мм (не ниже порога эпизода)."},
        {"full tumescence infinite", with([](auto& p) { p.full_threshold_mm = HUGE_VAL; }),
         "Порог полной тумесценции должен быть от 3,0 до 20,0 мм (не ниже порога эпизода)."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parametersError(c.p), c.error) << c.what;
    }
}

}  // namespace
}  // namespace npt
