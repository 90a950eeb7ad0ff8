// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "analysis/analysis_text.h"
#include "analysis/night_analysis.h"
#include "synthetic_night.h"

namespace npt {
namespace {

using test::SyntheticNight;
using testing::HasSubstr;

// A night of 8 h from 22:00 at 10 s resting at 26 mm with noise; each case spoils it.
std::vector<std::uint8_t> restingNight() {
    return SyntheticNight(10).endsAfter(8 * 60).bytes();
}

void fill(std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t last, std::uint8_t b) {
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(first),
              bytes.begin() + static_cast<std::ptrdiff_t>(last), b);
}

TEST(QualityTest, FaultsOfTheRecording) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        int erased;
        int atRangeEnds;
        int flatS;
        Usability usability;
        const char* verdict;
    };
    const Case cases[] = {
        {"clean night", [](auto&) {}, 0, 0, 0, Usability::Usable, "данные пригодны для анализа"},
        {"one skipped sample", [](auto& b) { b[1000] = 0xFF; }, 1, 0, 0, Usability::Usable,
         "данные пригодны для анализа (не учтены отдельные отсчёты: 1)"},
        {"three minutes not written at 00:00", [](auto& b) { fill(b, 720, 738, 0xFF); }, 18, 0, 0,
         Usability::PartlyUsable, "не анализировались 3 мин: 00:00–00:03 — пропуск записи"},
        {"sensor reading its lowest value for 10 min from 23:00",
         [](auto& b) { fill(b, 360, 420, 0); }, 0, 60, 0, Usability::PartlyUsable,
         "не анализировались 10 мин: 23:00–23:10 — показания за пределами "
         "диапазона измерения"},
        {"sensor saturated at its highest value, flickering",
         [](auto& b) {
             for (std::size_t i = 360; i < 420; i += 2) {
                 b[i] = 254;
             }
         },
         0, 30, 0, Usability::PartlyUsable,
         "не анализировались 10 мин: 23:00–23:09 — показания за пределами "
         "диапазона измерения"},
        {"sensor stuck for 40 min from 01:00", [](auto& b) { fill(b, 1080, 1320, 130); }, 0, 0,
         2400, Usability::PartlyUsable,
         "не анализировались 40 мин: 01:00–01:40 — показания не меняются "
         "(датчик снят или отключён)"},
        {"sensor flickering between two steps for 30 min",
         [](auto& b) {
             for (std::size_t i = 1080; i < 1260; ++i) {
                 b[i] = static_cast<std::uint8_t>(130 + i % 2);
             }
         },
         0, 0, 1800, Usability::PartlyUsable, nullptr},
        {"sensor off the body for an hour from 01:00, lying at 13 mm",
         [](auto& b) { fill(b, 1080, 1440, 17); }, 0, 0, 0, Usability::PartlyUsable,
         "не анализировались 1 ч 1 мин: 00:59–02:00 — датчик снят или соскользнул; "
         "проанализировано менее 7 ч: утренние эпизоды могли не попасть в запись"},
        {"sensor taken off at 05:00 and left at 15 mm", [](auto& b) { fill(b, 2520, 2880, 27); }, 0,
         0, 0, Usability::PartlyUsable,
         "не анализировались 1 ч: 04:59–06:00 — датчик снят до конца записи; проанализировано "
         "менее 7 ч: утренние эпизоды могли не попасть в запись"},
        {"a quiet sensor for 15 min is not flat yet", [](auto& b) { fill(b, 1080, 1170, 82); }, 0,
         0, 0, Usability::Usable, "данные пригодны для анализа"},
        {"sensor off all night", [](auto& b) { fill(b, 0, 2880, 82); }, 0, 0, 8 * 3600,
         Usability::Unusable,
         "данные непригодны для анализа: 22:00–06:00 — показания не меняются (датчик снят или "
         "отключён)"},
        {"nothing written", [](auto& b) { fill(b, 0, 4320, 0xFF); }, 0, 0, 0, Usability::NoData,
         "датчик не записал ни одного измерения"},
        {"many gaps are counted, not listed",
         [](auto& b) {
             for (std::size_t i = 100; i < 2800; i += 500) {
                 fill(b, i, i + 12, 0xFF);
             }
         },
         72, 0, 0, Usability::PartlyUsable,
         "не анализировались 12 мин: пропуск записи — 6 участков, всего 12 мин"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = restingNight();
        c.spoil(bytes);
        const NightAnalysis a = analyseNight({bytes, 10, 22 * 3600}, {});
        const NightQuality& q = a.quality;
        EXPECT_EQ(q.erased, c.erased);
        EXPECT_EQ(q.at_range_ends, c.atRangeEnds);
        EXPECT_EQ(q.flat_s, c.flatS);
        EXPECT_EQ(q.usability, c.usability);
        if (c.verdict != nullptr) {
            EXPECT_EQ(q.verdict, c.verdict);
        }
        EXPECT_TRUE(a.episodes.empty()) << "no fault may look like an episode";
    }
}

TEST(QualityTest, UnusableSamplesGiveNoEpisodes) {
    // A sensor stuck 10 mm above rest for 40 min, or saturated for 30 min, would otherwise look
    // exactly like an episode; a real episode next to them is still found.
    auto bytes = SyntheticNight(10).rise(60, 30, 8).bytes();
    fill(bytes, 1080, 1320, 130);  // 35,6 mm for 40 min from 01:00
    fill(bytes, 2000, 2180, 254);  // out of range for 30 min
    const NightAnalysis a = analyseNight({bytes, 10, 22 * 3600}, {});
    ASSERT_EQ(a.episodes.size(), 1u);
    EXPECT_EQ(a.episodes[0].start.substr(0, 4), "23:0");
    // Episodes per hour count only the usable time: 12 h less 40 + 30 min.
    EXPECT_EQ(a.quality.usable_s, 12 * 3600 - 70 * 60);
    EXPECT_DOUBLE_EQ(a.summary.per_hour, 0.09);
    EXPECT_EQ(a.summary.valid_s, 12 * 3600);
    EXPECT_THAT(summaryLine(a), HasSubstr("исключено из анализа 1 ч 10 мин"));
}

TEST(QualityTest, EveryFaultIsLocated) {
    auto bytes = restingNight();    // from 20:00 this time
    bytes[1000] = 0xFF;             // 22:46:40, one sample: counted, not named
    bytes[1003] = 0xFF;             // and another, a little later
    fill(bytes, 1500, 1503, 254);   // 00:10:00, half a minute out of range
    bytes[1506] = 254;              // flickering back within a minute
    fill(bytes, 2000, 2012, 0xFF);  // 01:33:20, two minutes not written: named
    const NightQuality q = analyseNight({bytes, 10, 20 * 3600}, {}).quality;
    const std::vector<Stretch> expected = {{Fault::Erased, 10000, 10010},
                                           {Fault::Erased, 10030, 10040},
                                           {Fault::RangeEnd, 15000, 15070},
                                           {Fault::Erased, 20000, 20120}};
    EXPECT_EQ(q.stretches, expected);
    EXPECT_EQ(q.excluded, 2 + 4 + 12);
    EXPECT_EQ(q.verdict,
              "не анализировались 3 мин: 00:10–00:11 — показания за пределами "
              "диапазона измерения; 01:33–01:35 — пропуск записи");
}

TEST(QualityTest, EndOfTheRecording) {
    const auto bytes = SyntheticNight(10).endsAfter(300).bytes();
    const NightAnalysis a = analyseNight({bytes, 10, 22 * 3600}, {});
    EXPECT_EQ(a.summary.valid_s, 300 * 60);
    EXPECT_EQ(a.quality.unwritten_after_end, 4320 - 1800);
    EXPECT_EQ(a.quality.erased, 0) << "the unwritten rest of the memory is not a gap";
    EXPECT_EQ(a.quality.usability, Usability::Usable);
    EXPECT_EQ(a.quality.verdict,
              "данные пригодны для анализа; проанализировано менее 7 ч: утренние эпизоды могли "
              "не попасть в запись");
}

TEST(QualityTest, NoTimeAxisWithoutAPeriod) {
    const auto bytes = SyntheticNight(10).rise(60, 30, 8).bytes();
    const NightAnalysis a = analyseNight({bytes, 0, 22 * 3600}, {});
    EXPECT_EQ(a.quality.usability, Usability::NoPeriod);
    EXPECT_TRUE(a.episodes.empty());
    EXPECT_EQ(a.summary.valid_s, 0);
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: период измерений неизвестен");
}

TEST(QualityTest, BytesThatAreNoRecordingAreNotAnalysed) {
    // An episode, a gap and an unwritten end that would all be found in a recording.
    auto bytes = SyntheticNight(10).rise(60, 30, 8).endsAfter(300).bytes();
    bytes[100] = 0xFF;
    const NightAnalysis a =
        analyseNight({bytes, 10, 22 * 3600, "в конце нет завершающего блока чтения"}, {});
    EXPECT_EQ(a.quality.usability, Usability::NotRecording);
    EXPECT_FALSE(a.quality.recording());
    EXPECT_TRUE(a.episodes.empty());
    EXPECT_TRUE(a.quality.stretches.empty());
    EXPECT_EQ(a.quality.erased, 0);
    EXPECT_EQ(a.summary.valid_s, 0);
    EXPECT_EQ(a.quality.verdict,
              "данные не похожи на запись датчика: в конце нет завершающего блока чтения");
    EXPECT_EQ(summaryLine(a), "Анализ невозможен: " + a.quality.verdict);
    EXPECT_TRUE(analyseNight({bytes, 10, 22 * 3600}, {}).quality.recording());
}

}  // namespace
}  // namespace npt
