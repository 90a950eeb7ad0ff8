// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The reports sent to the recorder, its marker blocks, the write's time arithmetic, the
// confirmation of a stored passport, and what a passport may hold.
#include "recorder/command_reports.h"

#include <gtest/gtest.h>

#include "recorder/cp1251.h"
#include "recorder/passport_entry.h"

namespace npt {
namespace {

TEST(CommandReportsTest, StartDelayCrossesMidnightAtOrAfterTheStart) {
    struct Case {
        int hour, minute;
        int delay;
    };
    const Case cases[] = {
        {21, 30, 30},   // half an hour before the study
        {15, 3, 417},   // DelayHigh 1, DelayLow 161
        {23, 0, 1380},  // after 22:00: the next day's 22:00; 5 and 100
        {22, 0, 1440},  // exactly 22:00: a whole day; 5 and 160
        {21, 59, 1},    // the shortest delay
        {0, 0, 1320},   // midnight
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute));
        EXPECT_EQ(startDelay(c.hour * 60 + c.minute, 22 * 60), c.delay);
    }
}

TEST(CommandReportsTest, PassportReportBytes) {
    const auto name = cp1251::encode("Петров").value();
    PassportValues v;
    v.name = name;
    v.samplePeriod = 10;
    v.age = 52;
    v.day = 9;
    v.month = 12;
    v.yearSince2000 = 26;
    v.programTime = 215;
    v.delayHigh = 1;
    v.delayLow = 161;
    const OutputReport r = passportReport(v);
    EXPECT_EQ(r[0], 0x00);
    EXPECT_EQ(r[1], 0x43);
    for (std::size_t i = 0; i < name.size(); ++i) {
        EXPECT_EQ(r[2 + i], name[i]);
    }
    for (std::size_t i = 2 + name.size(); i <= 24; ++i) {
        EXPECT_EQ(r[i], 0x00) << "name padding at byte " << i;  // 6 characters, 17 zeros
    }
    const OutputReport tail = {0, 0x43, r[2], r[3], r[4], r[5], r[6], r[7], 0,   0, 0,
                               0, 0,    0,    0,    0,    0,    0,    0,    0,   0, 0,
                               0, 0,    0,    10,   52,   9,    12,   26,   215, 1, 161};
    EXPECT_EQ(r, tail);

    // Only the first 23 bytes of a longer name go out; the bytes after it stay in place.
    const std::vector<std::uint8_t> longName(30, 'A');
    v.name = longName;
    const OutputReport cut = passportReport(v);
    EXPECT_EQ(cut[24], 'A');
    EXPECT_EQ(cut[25], 10);
}

TEST(CommandReportsTest, ProgrammingTimeIsRoundedHalfToEvenAndSentAsItsLowByte) {
    struct Case {
        int minutes;
        int sent;
    };
    const Case cases[] = {
        {15 * 60 + 3, 150},   // 150.5 -> 150
        {15 * 60 + 9, 152},   // 151.5 -> 152
        {23 * 60 + 58, 240},  // 239.67 -> 240
        {0 * 60 + 3, 0},      // 0.5 -> 0
        {21 * 60 + 30, 215},  // exact
    };
    for (const Case& c : cases) {
        PassportValues v;
        v.programTime = c.minutes * 240 / 1440.0;
        EXPECT_EQ(passportReport(v)[30], c.sent) << c.minutes << " min";
    }
    PassportValues v;
    v.samplePeriod = 0;  // decoded from a recorder that stored 0: sent as it is
    v.age = 300;         // numbers go out as their low eight bits
    EXPECT_EQ(passportReport(v)[25], 0);
    EXPECT_EQ(passportReport(v)[26], 300 & 0xFF);
}

TEST(CommandReportsTest, PasswordReportCarriesTheBufferAndTheFixedTail) {
    std::array<std::uint8_t, 11> buffer;
    buffer.fill(0xFF);
    const OutputReport none = passwordReport(buffer);
    buffer[0] = 'A';
    buffer[1] = '1';
    const OutputReport a1 = passwordReport(buffer);
    const std::uint8_t tail[21] = {0x41, 0x43, 0x47, 0x4A, 0x02, 0x04, 0x22, 0x24, 0x26, 0x28, 0x2A,
                                   0x2C, 0x2E, 0x30, 0x32, 0x34, 0x3C, 0x3D, 0x3E, 0x40, 0x44};
    EXPECT_EQ(none[0], 0x00);
    for (std::size_t i = 1; i <= 11; ++i) {
        EXPECT_EQ(none[i], 0xFF) << "no password: byte " << i;
    }
    EXPECT_EQ(a1[1], 'A');
    EXPECT_EQ(a1[2], '1');
    EXPECT_EQ(a1[3], 0xFF);
    for (std::size_t i = 0; i < 21; ++i) {
        EXPECT_EQ(none[12 + i], tail[i]);
        EXPECT_EQ(a1[12 + i], tail[i]);
    }
    EXPECT_EQ(commandReport(CommandCode::Read), (OutputReport{0x00, 0x41}));
}

TEST(CommandReportsTest, Markers) {
    const std::pair<std::array<std::uint8_t, 2>, Marker> cases[] = {
        {{0xFE, 0xFE}, Marker::Ack},        {{0xFE, 0xFF}, Marker::Done},
        {{0xFE, 0xFD}, Marker::Programmed}, {{0xFE, 0xFC}, Marker::None},
        {{0xFF, 0xFE}, Marker::None},       {{0x00, 0x00}, Marker::None},
    };
    for (const auto& [bytes, marker] : cases) {
        EXPECT_EQ(markerOf(bytes), marker) << int(bytes[0]) << " " << int(bytes[1]);
    }
    EXPECT_EQ(markerOf(std::span<const std::uint8_t>(cases[0].first.data(), 1)), Marker::None);
}

TEST(CommandReportsTest, ConfirmationComparesCheckBytePasswordPeriodAndDelayOnly) {
    using namespace ImageOffsets;
    std::array<std::uint8_t, 11> password;
    password.fill(0xFF);
    password[0] = '7';
    MemoryImage echo;
    echo[kCheckByte] = 0x00;
    for (std::size_t i = 0; i < kPasswordLength; ++i) {
        echo[kPassword + i] = password[i];
    }
    echo[kPeriod] = 10;
    echo[kDelayHigh] = 1;
    echo[kDelayLow] = 161;
    echo[kName] = 'X';  // name, age, date and programming time are not compared
    echo[kAge] = 99;
    ASSERT_TRUE(passportConfirmed(echo, password, 10, 1, 161));

    const std::pair<std::size_t, const char*> spoilt[] = {
        {kCheckByte, "check byte"},
        {kPassword, "first password byte"},
        {kPassword + 9, "last password byte"},
        {kPeriod, "period"},
        {kDelayHigh, "delay high"},
        {kDelayLow, "delay low"},
    };
    for (const auto& [offset, what] : spoilt) {
        MemoryImage wrong = echo;
        wrong[offset] ^= 0x01;
        EXPECT_FALSE(passportConfirmed(wrong, password, 10, 1, 161)) << what;
    }
    // The blocks of a read that has not brought the echo yet.
    EXPECT_FALSE(passportConfirmed(MemoryImage(), password, 10, 1, 161));
}

TEST(PassportEntryTest, WhatTheRecorderCanStore) {
    using namespace passport_entry;
    const std::string twentyOne(21, 'a');
    struct Case {
        std::string text;
        bool nameOk, passwordOk;
    };
    const Case cases[] = {
        {"Иванов Иван Иванович", true, true},
        {"Ivanov I.", true, true},
        {"Ёлкина Я. Ю.", true, true},    // capital "Я" is 0xDF
        {"Марья", true, false},          // "я" is 0xFF: "no character" in a password
        {twentyOne + "я", false, true},  // at the name's 22nd place: erased memory
        {twentyOne + "ая", true, true},  // 23rd place: stored like any letter
        {"Smith 😀", false, false},       // not in the code page
        {"Łukasz", false, false},
        {std::string(10, '1') + "я", true, true},  // an 11th password character is not kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(!nameProblem(c.text).has_value(), c.nameOk) << nameProblem(c.text).value_or("");
        EXPECT_EQ(!passwordProblem(c.text).has_value(), c.passwordOk);
    }
    EXPECT_NE(nameProblem("Łukasz")->find("«Ł»"), std::string::npos) << "the character is named";
    EXPECT_NE(passwordProblem("Марья")->find("«я»"), std::string::npos);
}

TEST(PassportEntryTest, AgeIsAWholeNumberOfOneByte) {
    const std::pair<const char*, std::optional<unsigned>> cases[] = {
        {"47", 47u},           {"0", 0u},
        {"255", 255u},         {"00", 0u},
        {"256", std::nullopt}, {"0,5", std::nullopt},
        {"", std::nullopt},    {"-1", std::nullopt},
        {"+3", std::nullopt},  {" 4", std::nullopt},
    };
    for (const auto& [text, age] : cases) {
        EXPECT_EQ(passport_entry::age(text), age) << "«" << text << "»";
    }
}

}  // namespace
}  // namespace npt
