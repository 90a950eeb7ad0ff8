// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/calibration.h"

#include <gtest/gtest.h>

#include <array>

namespace npt {
namespace {

constexpr std::uint16_t X = kMissingWord;  // point not calibrated

MemoryImage imageWithConstants(const std::array<std::uint16_t, 8>& words) {
    MemoryImage image;
    for (std::size_t i = 0; i < words.size(); ++i) {
        image.setWord(ImageOffsets::kCalibration + 2 * i, words[i]);
    }
    return image;
}

TEST(CalibrationTest, KindAndMissingPoints) {
    struct Case {
        const char* what;
        bool eightPointBefore;  // the kind of the memory examined before
        std::array<std::uint16_t, 8> words;
        bool eightPoint;
        std::vector<int> missing;
    };
    const Case cases[] = {
        {"erased constants first after start-up: four-point, four warnings",
         false,
         {X, X, X, X, X, X, X, X},
         false,
         {10, 15, 20, 25}},
        {"erased constants right after an eight-point recorder: eight warnings",
         true,
         {X, X, X, X, X, X, X, X},
         true,
         {20, 25, 30, 35, 40, 45, 50, 55}},
        {"K0 23000 with point 3 calibrated: eight-point",
         false,
         {23000, 24000, 25000, 26000, 27000, 28000, 29000, 30000},
         true,
         {}},
        {"K0 22999: four-point, points 4 to 7 not looked at",
         true,
         {22999, 22000, 21000, 20000, X, X, X, X},
         false,
         {}},
        {"eight-point with only the 55-mm point missing",
         false,
         {23500, 24000, 25000, 26000, 27000, 28000, 29000, X},
         true,
         {55}},
        {"point 3 missing keeps the kind before: four-point",
         false,
         {30000, 1, 2, X, 4, 5, 6, 7},
         false,
         {25}},
        {"point 3 missing keeps the kind before: eight-point",
         true,
         {100, 1, 2, X, 4, 5, 6, 7},
         true,
         {35}},
        {"erased K0 with point 3 calibrated counts as eight-point",
         false,
         {X, 1, 2, 3, 4, 5, 6, 7},
         true,
         {20}},
        {"four-point with its 15 and 20 mm points missing, in order",
         true,
         {10000, X, X, 13000, 0, 0, 0, 0},
         false,
         {15, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool eightPoint = c.eightPointBefore;
        EXPECT_EQ(calibration::missingPoints(imageWithConstants(c.words), eightPoint), c.missing);
        EXPECT_EQ(eightPoint, c.eightPoint);
    }
}

TEST(CalibrationTest, WarningTexts) {
    EXPECT_STREQ(calibration::kWarningTitle, "Проверка калибровки датчика");
    const char* const texts[] = {
        "Датчик не откалиброван на 10мм!", "Датчик не откалиброван на 15мм!",
        "Датчик не откалиброван на 20мм!", "Датчик не откалиброван на 25мм!",
        "Датчик не откалиброван на 30мм!", "Датчик не откалиброван на 35мм!",
        "Датчик не откалиброван на 40мм!", "Датчик не откалиброван на 45мм!",
        "Датчик не откалиброван на 50мм!", "Датчик не откалиброван на 55мм!",
    };
    int diameter = 10;
    for (const char* text : texts) {
        EXPECT_EQ(calibration::warningText(diameter), text);
        diameter += 5;
    }
}

}  // namespace
}  // namespace npt
