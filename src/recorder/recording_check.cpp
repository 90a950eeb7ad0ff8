// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/recording_check.h"

#include "recorder/command_reports.h"

namespace npt {

namespace {

constexpr std::size_t kClosingBlock = MemoryImage::kBlockCount - 1;
constexpr unsigned kLastProgramTime = 240;  // tenths of an hour; 23:58 rounds up to 24:00
constexpr unsigned kLongestDelayMinutes = 24 * 60;

// "в паспорте день исследования 111 (бывает от 1 до 31)"
std::string outOfRange(const char* field, const std::string& value, const std::string& range) {
    return std::string("в паспорте ") + field + " " + value + " (бывает " + range + ")";
}

std::string numberRange(unsigned low, unsigned high, const char* unit = "") {
    return "от " + std::to_string(low) + " до " + std::to_string(high) + unit;
}

// Tenths of an hour as hours and minutes, not wrapped at midnight: 250 is "25:00".
std::string clockOfTenths(unsigned tenths) {
    const unsigned minutes = tenths % 10 * 6;
    return std::to_string(tenths / 10) + ":" + (minutes < 10 ? "0" : "") + std::to_string(minutes);
}

bool within(unsigned value, unsigned low, unsigned high, unsigned erased) {
    return value == erased || (value >= low && value <= high);
}

std::optional<std::string> passportFault(const MemoryImage& image) {
    using namespace ImageOffsets;
    if (!within(image[kDay], 1, 31, kErasedByte)) {
        return outOfRange("день исследования", std::to_string(image[kDay]), numberRange(1, 31));
    }
    if (!within(image[kMonth], 1, 12, kErasedByte)) {
        return outOfRange("месяц исследования", std::to_string(image[kMonth]), numberRange(1, 12));
    }
    if (!within(image[kProgramTime], 0, kLastProgramTime, kErasedByte)) {
        return outOfRange("время программирования", clockOfTenths(image[kProgramTime]),
                          "не позже " + clockOfTenths(kLastProgramTime));
    }
    if (const unsigned delay = image.word(kDelayHigh);
        !within(delay, 0, kLongestDelayMinutes, kMissingWord)) {
        return outOfRange("задержка запуска", std::to_string(delay) + " мин",
                          numberRange(0, kLongestDelayMinutes, " мин"));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> whyNotARecording(const MemoryImage& image) {
    if (blockMarker(image, 0) != Marker::Ack) {
        return "в начале нет блока подтверждения датчика";
    }
    if (blockMarker(image, kClosingBlock) != Marker::Done) {
        return "в конце нет завершающего блока чтения";
    }
    if (image.hasPassport()) {
        return passportFault(image);
    }
    return std::nullopt;
}

}  // namespace npt
