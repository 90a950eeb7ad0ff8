// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times of day as the window shows them ("HH:mm") and as the application computes with them.
#include <optional>
#include <string>
#include <string_view>

namespace npt {

// Parses "H:mm", "HH:mm" or "HH:mm:ss" (blanks around it allowed) into whole seconds since
// midnight; nothing when the text is not a valid time of day.
std::optional<int> parseTimeOfDaySeconds(std::string_view text);

// "HH:MM:SS" of a number of seconds, taken modulo one day.
std::string clockText(long long seconds);

inline constexpr int kSecondsPerDay = 86400;

}  // namespace npt
