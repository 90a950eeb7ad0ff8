// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The local date and time, injectable so that tests see a fixed moment.
#include <string>

#include "measure/time_of_day.h"

namespace npt {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    LocalDateTime now() const override;
};

// Always the same moment: for tests, benchmarks and the fuzzer.
class FixedClock final : public Clock {
  public:
    explicit FixedClock(LocalDateTime moment) : moment_(moment) {}
    LocalDateTime now() const override { return moment_; }

  private:
    LocalDateTime moment_;
};

// "dd.MM.yy", as dates are shown on the application's Russian-language systems.
std::string shortDateText(const LocalDateTime& t);
// "HH:mm" of the moment's time of day.
std::string hourMinuteText(const LocalDateTime& t);

}  // namespace npt
