// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/passport.h"

#include <cmath>

#include "recorder/cp1251.h"
#include "recorder/utf8.h"

namespace npt {

namespace {
constexpr std::uint8_t kMaxPeriod = 10;
constexpr double kTenthsPerDay = 240.0;
constexpr double kHalfDayInTenths = 120.0;
constexpr long long kMsPerDay = 86'400'000;
}  // namespace

std::string padded(unsigned value) {
    std::string text = std::to_string(value);
    if (value <= 9) {
        text.insert(text.begin(), '0');
    }
    return text;
}

int minuteOfDay(double tenths) {
    const double days = tenths / kTenthsPerDay;
    const double fraction = days - std::floor(days);
    const long long ms = std::llround(fraction * static_cast<double>(kMsPerDay)) % kMsPerDay;
    return static_cast<int>(ms / 60'000);
}

PassportFields decodePassport(const MemoryImage& image, bool nameHidden) {
    using namespace ImageOffsets;
    PassportFields f;
    if (!nameHidden) {
        for (std::size_t i = kName; i < kName + kNameLength; ++i) {
            if (image[i] != 0x00) {
                utf8::append(f.name, cp1251::toUnicode(image[i]));
            }
        }
    }

    const std::uint8_t stored = image[kPeriod];
    const std::uint8_t shown = stored > kMaxPeriod ? kMaxPeriod : stored;
    f.tscan = std::to_string(shown);
    f.samplePeriod = (shown < 1) ? kMaxPeriod : shown;

    f.age = std::to_string(image[kAge]);
    f.date = padded(image[kDay]) + "." + padded(image[kMonth]) + "." + std::to_string(image[kYear]);

    f.programTime = image[kProgramTime];
    f.delayHigh = image[kDelayHigh];
    f.delayLow = image[kDelayLow];
    const double start = f.programTime + image.word(kDelayHigh) / 6.0;
    double end = start + kHalfDayInTenths;
    if (end >= kTenthsPerDay) {
        end -= kTenthsPerDay;
    }
    f.timeStart = minuteOfDay(start);
    f.timeEnd = minuteOfDay(end);
    f.timeNow = minuteOfDay(f.programTime);
    return f;
}

}  // namespace npt
