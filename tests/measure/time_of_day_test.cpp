// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/time_of_day.h"

#include <gtest/gtest.h>

namespace npt {
namespace {

TEST(TimeOfDayTest, Parse) {
    struct Case {
        const char* text;
        std::optional<int> seconds;
    };
    const Case cases[] = {
        {"22:00", 79200},               // the default start
        {"00:00", 0},                   // midnight
        {"23:59", 86340},               // last minute of the day
        {"9:05", 32700},                // one-digit hour
        {"09:05", 32700},               // padded hour
        {" 10:00 ", 36000},             // blanks around it
        {"12:00:30", 43230},            // with seconds
        {"24:00", std::nullopt},        // hour out of range
        {"12:60", std::nullopt},        // minute out of range
        {"12:00:60", std::nullopt},     // second out of range
        {"ab:cd", std::nullopt},        // not digits
        {"", std::nullopt},             // empty field
        {"  :  ", std::nullopt},        // an empty masked field
        {"12:5", std::nullopt},         // one-digit minute
        {"12", std::nullopt},           // no minutes
        {"123:00", std::nullopt},       // three-digit hour
        {"12:00:30:00", std::nullopt},  // too many parts
        {"-1:00", std::nullopt},        // sign
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseTimeOfDaySeconds(c.text), c.seconds);
    }
}

TEST(TimeOfDayTest, ClockTextsWrapAtMidnight) {
    struct Case {
        long long seconds;
        const char* text;
        const char* hourMinute;  // seconds dropped, never rounded up
    };
    const Case cases[] = {
        {0, "00:00:00", "00:00"},               // midnight
        {3661, "01:01:01", "01:01"},            // every part padded
        {22 * 3600 + 59, "22:00:59", "22:00"},  // a minute's last second stays in it
        {86399, "23:59:59", "23:59"},           // last second of the day
        {86400, "00:00:00", "00:00"},           // next midnight
        {86400 + 3661, "01:01:01", "01:01"},    // next day
        {-1, "23:59:59", "23:59"},              // before midnight
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(clockText(c.seconds), c.text);
        std::string dotted = c.text;
        std::replace(dotted.begin(), dotted.end(), ':', '.');
        EXPECT_EQ(clockText(c.seconds, '.'), dotted);
        EXPECT_EQ(hourMinuteText(c.seconds), c.hourMinute);
    }
}

TEST(TimeOfDayTest, Durations) {
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

}  // namespace
}  // namespace npt
