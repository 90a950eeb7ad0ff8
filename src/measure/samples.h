// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// From the recorder's sample bytes to diameters in millimetres and times of night.
#include <array>
#include <cstdint>
#include <vector>

#include "recorder/memory_image.h"

namespace npt {

// A sample byte the recorder never wrote (erased flash, 0xFF) is shown at this level.
inline constexpr std::uint8_t kUnwrittenSampleShownAs = 50;

// Diameter of a sample byte: ((b - 2) * 2 + 100) / 10 mm, i.e. 0.2 * b + 9.6 mm.
inline double diameterOf(std::uint8_t sample) {
    const std::int32_t numerator = (static_cast<std::int32_t>(sample) - 2) * 2 + 100;
    return numerator / 10.0;
}

// The rounded diameters of the last recording decoded, in sample order.
struct DiameterTable {
    static constexpr std::size_t kCapacity = 4480;
    std::array<double, kCapacity> entries{};
    std::uint16_t count = 0;
};

struct SamplePoint {
    double time;      // days; not wrapped at midnight
    double diameter;  // millimetres
};

// Decodes all 4320 sample positions of the image. startDays is the study's start time as a
// fraction of a day, periodSeconds the sample period. Erased bytes are shown as 50 without
// changing the image.
std::vector<SamplePoint> decodeSamples(const MemoryImage& image, double startDays,
                                       std::uint8_t periodSeconds);

// The diameter as kept in the DiameterTable: rounded to a tenth of a millimetre.
double roundedToTenth(double millimetres);

}  // namespace npt
