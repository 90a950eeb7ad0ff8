// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times of day and durations as every screen, file and report writes them ("HH:mm",
// "2 ч 18 мин"), and as the application computes with them.
#include <optional>
#include <string>
#include <string_view>

namespace npt {

// Parses "H:mm", "HH:mm" or "HH:mm:ss" (blanks around it allowed) into whole seconds since
// midnight; nothing when the text is not a valid time of day.
std::optional<int> parseTimeOfDaySeconds(std::string_view text);

// "HH:MM:SS" of a number of seconds, taken modulo one day; the window's time axis writes
// "HH.MM.SS" (separator '.').
std::string clockText(long long seconds, char separator = ':');

// "HH:MM" of a time of day in seconds, taken modulo one day; seconds are dropped.
std::string hourMinuteText(long long seconds);

// A duration rounded to whole minutes: "2 ч 18 мин", "2 ч", "45 мин", "0 мин"; below half a
// minute but not zero, "менее 1 мин".
std::string durationText(int seconds);

// A duration as it is set, without rounding: "5 мин", "1 ч", "1 мин 30 с", "45 с".
std::string exactDurationText(int seconds);

inline constexpr int kSecondsPerDay = 86400;

}  // namespace npt
