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

TEST(TimeOfDayTest, ClockTextWrapsAtMidnight) {
    struct Case {
        long long seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, "00:00:00"},             // midnight
        {3661, "01:01:01"},          // every part padded
        {86399, "23:59:59"},         // last second of the day
        {86400, "00:00:00"},         // next midnight
        {86400 + 3661, "01:01:01"},  // next day
        {-1, "23:59:59"},            // before midnight
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(clockText(c.seconds), c.text);
    }
}

}  // namespace
}  // namespace npt
