// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/example_night.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

#include "recorder/cp1251.h"

namespace npt {

namespace {

struct Episode {
    double startHours;  // hours after the start of measuring
    double riseMinutes;
    double plateauMinutes;
    double fallMinutes;
    double peakMm;
};

// Diameter above the resting level at a moment of the night, in millimetres.
double tumescence(double hours, const Episode& e, double restMm) {
    const double m = (hours - e.startHours) * 60.0;
    const double lift = e.peakMm - restMm;
    if (m < 0) {
        return 0;
    }
    if (m < e.riseMinutes) {
        return lift * 0.5 * (1 - std::cos(std::numbers::pi * m / e.riseMinutes));
    }
    if (m < e.riseMinutes + e.plateauMinutes) {
        return lift;
    }
    const double f = m - e.riseMinutes - e.plateauMinutes;
    return f < e.fallMinutes ? lift * 0.5 * (1 + std::cos(std::numbers::pi * f / e.fallMinutes))
                             : 0;
}

// The name field's bytes for a name: Windows-1251, padded with zeros.
std::array<std::uint8_t, ImageOffsets::kNameLength> nameField(const char* name) {
    std::array<std::uint8_t, ImageOffsets::kNameLength> field{};
    const auto bytes = cp1251::encode(name).value();
    std::copy_n(bytes.begin(), std::min(bytes.size(), field.size()), field.begin());
    return field;
}

void setName(MemoryImage& image, const char* name) {
    const auto field = nameField(name);
    std::copy(field.begin(), field.end(), image.bytes().begin() + ImageOffsets::kName);
}

}  // namespace

MemoryImage demonstrationNight() {
    MemoryImage image = exampleNight("");
    setName(image, kDemonstrationName);
    return image;
}

bool isDemonstration(const MemoryImage& image) {
    const auto field = nameField(kDemonstrationName);
    return image.hasPassport() &&
           std::equal(field.begin(), field.end(), image.bytes().begin() + ImageOffsets::kName);
}

MemoryImage exampleNight(const std::string& password) {
    using namespace ImageOffsets;
    MemoryImage image;
    image[0] = 0xFE;
    image[1] = 0xFE;
    image.setWord(kBattery, 3420);  // about 3,0 V: a fresh battery
    const std::uint16_t calibration[4] = {14520, 16890, 19240, 21610};  // four-point recorder
    for (std::size_t i = 0; i < 8; ++i) {
        image.setWord(kCalibration + 2 * i, i < 4 ? calibration[i] : kMissingWord);
    }
    image.setWord(50, 0x0102);
    const char factory[] = "24-01187";
    for (std::size_t i = 0; i < 8; ++i) {
        image[52 + i] = static_cast<std::uint8_t>(factory[i]);
    }
    image[60] = 14;
    image[61] = 3;
    image[62] = 24;

    image[kCheckByte] = 0x00;
    for (std::size_t i = 0; i < kPasswordLength; ++i) {
        image[kPassword + i] = kErasedByte;
    }
    const auto pw = cp1251::encode(password).value();
    for (std::size_t i = 0; i < pw.size() && i < kPasswordLength; ++i) {
        image[kPassword + i] = pw[i];
    }
    image[kPassportLead] = 0x00;
    setName(image, "Петров Пётр Петрович");
    image[kPeriod] = 10;
    image[kAge] = 47;
    image[kDay] = 8;
    image[kMonth] = 12;
    image[kYear] = 26;
    image[kProgramTime] = 215;      // programmed at 21:30
    image.setWord(kDelayHigh, 30);  // measuring from 22:00
    for (std::size_t i = 110; i < 128; ++i) {
        image[i] = kErasedByte;
    }

    const Episode episodes[] = {{1.6, 6, 18, 9, 33.8},
                                {3.9, 8, 31, 12, 36.2},
                                {6.2, 7, 24, 10, 35.0},
                                {8.7, 9, 36, 14, 37.4},
                                {10.9, 5, 14, 8, 32.6}};
    std::mt19937 random(20261208);
    std::normal_distribution<double> noise(0.0, 0.25);
    constexpr double kRestMm = 26.4;
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        const double hours = i * 10.0 / 3600.0;
        double mm = kRestMm + 0.6 * std::sin(hours * 0.9) + noise(random);
        for (const Episode& e : episodes) {
            mm += tumescence(hours, e, kRestMm);
        }
        const long b = std::lround((mm - 9.6) / 0.2);
        image[kSamples + i] = static_cast<std::uint8_t>(std::clamp(b, 0L, 254L));
    }
    image[4448] = 0xFE;
    image[4449] = 0xFF;
    return image;
}

}  // namespace npt
