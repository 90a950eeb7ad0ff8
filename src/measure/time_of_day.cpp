// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/time_of_day.h"

#include <vector>

namespace npt {

namespace {
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<int> parseNumber(std::string_view s) {
    if (s.empty() || s.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}
}  // namespace

std::optional<int> parseTimeOfDaySeconds(std::string_view text) {
    text = trimmed(text);
    std::vector<std::string_view> parts;
    while (true) {
        const auto colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) {
            break;
        }
        text.remove_prefix(colon + 1);
    }
    if (parts.size() < 2 || parts.size() > 3) {
        return std::nullopt;
    }
    const auto hours = parseNumber(parts[0]);
    const auto minutes = parseNumber(parts[1]);
    const auto seconds = parts.size() == 3 ? parseNumber(parts[2]) : std::optional<int>{0};
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59 ||
        parts[1].size() != 2 || (parts.size() == 3 && parts[2].size() != 2)) {
        return std::nullopt;
    }
    return *hours * 3600 + *minutes * 60 + *seconds;
}

std::string clockText(long long seconds) {
    seconds %= kSecondsPerDay;
    if (seconds < 0) {
        seconds += kSecondsPerDay;
    }
    const auto two = [](long long v) {
        return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
    };
    return two(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
}

}  // namespace npt
