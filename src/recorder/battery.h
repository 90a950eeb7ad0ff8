// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recorder's battery value, carried in every acknowledge block (image offsets 2-3), turned
// into the voltage shown to the doctor and the low-battery warnings.
#include <cstdint>
#include <string>

#include "recorder/memory_image.h"

namespace npt::battery {

inline constexpr int kNearlyFlatLevel = 2900;  // at or below: first warning
inline constexpr int kFlatLevel = 2800;        // at or below: second warning

int level(const MemoryImage& image);

// Whole millivolts: the raw value times 0.879, truncated.
int millivolts(int level);

// Volts with two decimals and a decimal comma, followed by " В" (3300 gives "2,90 В").
std::string voltageText(int level);

enum class Warning { None, NearlyFlat, Flat };
Warning warningFor(int level);

inline constexpr const char* kWarningTitle = "Проверка батареи датчика";
// The warning's message text; empty for Warning::None.
const char* warningText(Warning warning);

}  // namespace npt::battery
