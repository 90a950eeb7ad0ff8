// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calibration check: which kind of recorder the memory belongs to and at which reference
// diameters it has not been calibrated.
//
// Calibration words at image offsets 34 + 2*i (i = 0..7), big-endian; 0xFFFF = not calibrated.
// A four-point recorder is calibrated at 10, 15, 20, 25 mm (points 0..3); an eight-point one at
// 20, 25, ... 55 mm (points 0..7).
#include <string>
#include <vector>

#include "recorder/memory_image.h"

namespace npt::calibration {

inline constexpr std::uint16_t kEightPointThreshold = 23000;
inline constexpr const char* kWarningTitle = "Проверка калибровки датчика";

// Decides the kind from the image; when point 3 is not calibrated the kind stays what it was
// (eightPoint is the kind carried over from the memory examined before). Returns the reference
// diameters in millimetres of every uncalibrated point, in ascending order.
std::vector<int> missingPoints(const MemoryImage& image, bool& eightPoint);

// "Датчик не откалиброван на 25мм!"
std::string warningText(int diameterMm);

}  // namespace npt::calibration
