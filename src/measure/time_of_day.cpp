// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/time_of_day.h"

#include <cmath>
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

namespace {
long long secondOfDay(long long seconds) {
    seconds %= kSecondsPerDay;
    return seconds < 0 ? seconds + kSecondsPerDay : seconds;
}

std::string twoDigits(long long v) {
    return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
}
}  // namespace

std::string clockText(long long seconds, char separator) {
    seconds = secondOfDay(seconds);
    return twoDigits(seconds / 3600) + separator + twoDigits(seconds / 60 % 60) + separator +
           twoDigits(seconds % 60);
}

std::string hourMinuteText(long long seconds) {
    seconds = secondOfDay(seconds);
    return twoDigits(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60);
}

std::string durationText(int seconds) {
    if (seconds > 0 && seconds < 30) {
        return "менее 1 мин";
    }
    const auto minutes = static_cast<long long>(std::nearbyint(seconds / 60.0));
    const long long hours = minutes / 60;
    if (hours == 0) {
        return std::to_string(minutes) + " мин";
    }
    return std::to_string(hours) + " ч" +
           (minutes % 60 != 0 ? " " + std::to_string(minutes % 60) + " мин" : std::string());
}

std::string exactDurationText(int seconds) {
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int rest = seconds % 60;
    std::string text;
    const auto part = [&](int value, const char* unit) {
        if (value != 0) {
            text += (text.empty() ? "" : " ") + std::to_string(value) + " " + unit;
        }
    };
    part(hours, "ч");
    part(minutes, "мин");
    part(rest, "с");
    return text.empty() ? "0 мин" : text;
}

}  // namespace npt
