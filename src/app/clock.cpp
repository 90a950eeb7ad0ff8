// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/clock.h"

#include <ctime>

#include "recorder/passport.h"

namespace npt {

LocalDateTime SystemClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string shortDateText(const LocalDateTime& t) {
    return padded(static_cast<unsigned>(t.day)) + "." + padded(static_cast<unsigned>(t.month)) +
           "." + padded(static_cast<unsigned>(t.year % 100));
}

std::string hourMinuteText(const LocalDateTime& t) {
    return hourMinuteText(t.hour * 3600LL + t.minute * 60LL);
}

}  // namespace npt
