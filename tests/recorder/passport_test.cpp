// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/passport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace npt {
namespace {

using namespace ImageOffsets;

// Minutes since midnight of "HH:MM", as the tables below write the times.
int minutes(const char* hhmm) {
    return ((hhmm[0] - '0') * 10 + (hhmm[1] - '0')) * 60 + (hhmm[3] - '0') * 10 + (hhmm[4] - '0');
}

struct Passport {
    std::vector<std::uint8_t> name = {0xC8, 0xE2, 0xE0, 0xED};  // "Иван"
    std::uint8_t period = 10;
    std::uint8_t age = 45;
    std::uint8_t day = 9, month = 12, year = 26;
    std::uint8_t programTime = 150;
    std::uint16_t delayMinutes = 420;
};

MemoryImage imageWith(const Passport& p) {
    MemoryImage image;
    image[kPassportLead] = 0x01;
    for (std::size_t i = 0; i < p.name.size(); ++i) {
        image[kName + i] = p.name[i];
    }
    image[kPeriod] = p.period;
    image[kAge] = p.age;
    image[kDay] = p.day;
    image[kMonth] = p.month;
    image[kYear] = p.year;
    image[kProgramTime] = p.programTime;
    image.setWord(kDelayHigh, p.delayMinutes);
    return image;
}

TEST(PassportTest, ExampleNightProgrammedAt15WithSevenHoursDelay) {
    const MemoryImage image = imageWith({});
    const MemoryImage before = image;
    const PassportFields f = decodePassport(image, false);
    EXPECT_EQ(f.name, "Иван");
    EXPECT_EQ(f.tscan, "10");
    EXPECT_EQ(f.samplePeriod, 10);
    EXPECT_EQ(f.age, "45");
    EXPECT_EQ(f.date, "09.12.26");
    EXPECT_EQ(f.timeNow, minutes("15:00"));
    EXPECT_EQ(f.timeStart, minutes("22:00"));
    EXPECT_EQ(f.timeEnd, minutes("10:00"));
    EXPECT_EQ(f.programTime, 150);
    EXPECT_EQ(f.delayHigh, 420 >> 8);
    EXPECT_EQ(f.delayLow, 420 & 0xFF);
    EXPECT_EQ(image, before);
}

TEST(PassportTest, StudyTimes) {
    struct Case {
        const char* what;
        std::uint8_t programTime;  // tenths of an hour
        std::uint16_t delayMinutes;
        const char* now;
        const char* start;
        const char* end;
    };
    const Case cases[] = {
        {"started at once at midnight", 0, 0, "00:00", "00:00", "12:00"},
        {"start 23:00: end wraps to 11:00", 230, 0, "23:00", "23:00", "11:00"},
        {"delay of a whole day shows the programming time again", 220, 1440, "22:00", "22:00",
         "10:00"},
        {"9 h 5 min is padded", 90, 5, "09:00", "09:05", "21:05"},
        {"delay of 7 minutes is not a whole tenth", 0, 7, "00:00", "00:07", "12:07"},
        {"last programming step of the day", 239, 0, "23:54", "23:54", "11:54"},
        {"largest delay: many whole days dropped", 239, 65535, "23:54", "12:09", "00:09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Passport p;
        p.programTime = c.programTime;
        p.delayMinutes = c.delayMinutes;
        const PassportFields f = decodePassport(imageWith(p), false);
        EXPECT_EQ(f.timeNow, minutes(c.now));
        EXPECT_EQ(f.timeStart, minutes(c.start));
        EXPECT_EQ(f.timeEnd, minutes(c.end));
    }
}

TEST(PassportTest, SamplePeriod) {
    struct Case {
        std::uint8_t stored;
        const char* shown;
        std::uint8_t samplePeriod;
    };
    const Case cases[] = {
        {0, "0", 10},     // a stored 0 is shown as it is but measured as 10 s
        {1, "1", 1},      // shortest period
        {5, "5", 5},      // ordinary
        {10, "10", 10},   // longest period
        {11, "10", 10},   // just above the range: capped
        {12, "10", 10},   // capped
        {255, "10", 10},  // erased byte: capped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Passport p;
        p.period = c.stored;
        const MemoryImage image = imageWith(p);
        const PassportFields f = decodePassport(image, false);
        EXPECT_EQ(f.tscan, c.shown);
        EXPECT_EQ(f.samplePeriod, c.samplePeriod);
        EXPECT_EQ(image[kPeriod], c.stored);  // the recorder's byte is kept
    }
}

TEST(PassportTest, NameField) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;  // written from offset 79, the rest stays 0x00
        bool hidden;
        const char* name;
    };
    std::vector<std::uint8_t> full(kNameLength, 0xE0);  // 23 × "а"
    full.back() = 0xDF;                                 // ... ending in "Я" at offset 101
    std::string fullText;
    for (std::size_t i = 0; i + 1 < kNameLength; ++i) {
        fullText += "а";
    }
    fullText += "Я";
    const Case cases[] = {
        {"23 characters fill the field and are shown whole", full, false, fullText.c_str()},
        {"shorter name shown without its padding", {0xCF, 0xB8, 0xF2, 0xF0}, false, "Пётр"},
        {"zero bytes inside the name vanish", {'A', 0x00, 'B', 0x00, 0x00, 'C'}, false, "ABC"},
        {"name of zeros only", {}, false, ""},
        {"hidden name stays empty", {0xCF, 0xB8, 0xF2, 0xF0}, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Passport p;
        p.name = c.bytes;
        const PassportFields f = decodePassport(imageWith(p), c.hidden);
        EXPECT_EQ(f.name, c.name);
        // A hidden name leaves every other field filled.
        EXPECT_EQ(f.age, "45");
        EXPECT_EQ(f.timeStart, minutes("22:00"));
    }
}

TEST(PassportTest, DateAndAge) {
    struct Case {
        std::uint8_t day, month, year, age;
        const char* date;
        const char* ageText;
    };
    const Case cases[] = {
        {5, 3, 20, 7, "05.03.20", "7"},              // day and month padded, age unpadded
        {5, 3, 7, 70, "05.03.7", "70"},              // the year byte is never padded
        {31, 12, 99, 99, "31.12.99", "99"},          // two digits everywhere
        {0, 0, 0, 0, "00.00.0", "0"},                // zeros
        {255, 255, 255, 255, "255.255.255", "255"},  // erased bytes still give some text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        Passport p;
        p.day = c.day;
        p.month = c.month;
        p.year = c.year;
        p.age = c.age;
        const PassportFields f = decodePassport(imageWith(p), false);
        EXPECT_EQ(f.date, c.date);
        EXPECT_EQ(f.age, c.ageText);
    }
}

}  // namespace
}  // namespace npt
