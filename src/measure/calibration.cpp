// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/calibration.h"

namespace npt::calibration {

std::vector<int> missingPoints(const MemoryImage& image, bool& eightPoint) {
    using ImageOffsets::kCalibration;
    constexpr std::size_t kKindProbePoint = 3;
    if (image.word(kCalibration + 2 * kKindProbePoint) != kMissingWord) {
        eightPoint = image.word(kCalibration) >= kEightPointThreshold;
    }
    const int points = eightPoint ? 8 : 4;
    const int firstDiameter = eightPoint ? 20 : 10;
    std::vector<int> missing;
    for (int i = 0; i < points; ++i) {
        if (image.word(kCalibration + 2 * static_cast<std::size_t>(i)) == kMissingWord) {
            missing.push_back(firstDiameter + 5 * i);
        }
    }
    return missing;
}

std::string warningText(int diameterMm) {
    return "Датчик не откалиброван на " + std::to_string(diameterMm) + "мм!";
}

}  // namespace npt::calibration
