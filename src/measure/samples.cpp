// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/samples.h"

#include <cmath>

namespace npt {

double roundedToTenth(double millimetres) {
    return std::nearbyint(millimetres * 10.0) / 10.0;
}

std::vector<SamplePoint> decodeSamples(const MemoryImage& image, double startDays,
                                       std::uint8_t periodSeconds) {
    using namespace ImageOffsets;
    constexpr double kSecondsPerDay = 86400.0;
    std::vector<SamplePoint> points;
    points.reserve(kSampleCount);
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        std::uint8_t byte = image[kSamples + i];
        if (byte == kErasedByte) {
            byte = kUnwrittenSampleShownAs;
        }
        const auto elapsed = static_cast<std::int64_t>(i) * periodSeconds;
        points.push_back(
            {startDays + static_cast<double>(elapsed) / kSecondsPerDay, diameterOf(byte)});
    }
    return points;
}

}  // namespace npt
