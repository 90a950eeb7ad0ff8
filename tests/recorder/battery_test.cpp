// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/battery.h"

#include <gtest/gtest.h>

namespace npt {
namespace {

TEST(BatteryTest, VoltageAndWarnings) {
    using battery::Warning;
    struct Case {
        int level;
        int millivolts;
        const char* text;
        Warning warning;
    };
    const Case cases[] = {
        {3300, 2900, "2,90 В", Warning::None},        // a fresh battery
        {2901, 2549, "2,55 В", Warning::None},        // just above the first threshold
        {2900, 2549, "2,55 В", Warning::NearlyFlat},  // first threshold itself
        {2801, 2462, "2,46 В", Warning::NearlyFlat},  // just above the second threshold
        {2800, 2461, "2,46 В", Warning::Flat},        // second threshold itself
        {1000, 879, "0,88 В", Warning::Flat},         // truncated to mV, then rounded
        {0, 0, "0,00 В", Warning::Flat},              // block 0 never filled
        {11370, 9994, "9,99 В", Warning::None},       // last value below 10 V
        {12000, 10548, "10,50 В", Warning::None},     // from 10 V on: three digits, 10,5
        {65535, 57605, "57,60 В", Warning::None},     // largest word: 57,6 shown as 57,60
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(battery::millivolts(c.level), c.millivolts);
        EXPECT_EQ(battery::voltageText(c.level), c.text);
        EXPECT_EQ(battery::warningFor(c.level), c.warning);
    }
}

TEST(BatteryTest, LevelIsTheBigEndianWordAtOffset2) {
    MemoryImage image;
    image[2] = 0x0B;
    image[3] = 0x54;
    EXPECT_EQ(battery::level(image), 2900);
    image.setWord(2, 0xFFFF);
    EXPECT_EQ(battery::level(image), 65535);  // unsigned, never negative
}

TEST(BatteryTest, WarningTexts) {
    using battery::Warning;
    EXPECT_STREQ(battery::kWarningTitle, "Проверка батареи датчика");
    EXPECT_STREQ(battery::warningText(Warning::NearlyFlat),
                 "ВНИМАНИЕ! Батарея близка к разрядке! Возможны сбои при стирании и записи!");
    EXPECT_STREQ(battery::warningText(Warning::Flat),
                 "ВНИМАНИЕ! Батарея разряжена! Возможны сбои при стирании и записи!");
    EXPECT_STREQ(battery::warningText(Warning::None), "");
}

}  // namespace
}  // namespace npt
