// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a memory image is a recorder's memory as a read leaves it, or some other bytes of the
// same length (a text file, a copy of something else, a read that went wrong).
//
// What is looked at, each a property every real recording has:
//   - block 0 begins with the acknowledge marker (0xFE 0xFE) and block 139 with the closing
//     marker (0xFE 0xFF): a read stores the recorder's answer block by block from the
//     acknowledgement to the closing block, so a recording has both in their places; a read
//     shifted by a block, or cut short, has not;
//   - when the image holds a passport, the fields the application wrote from its own clock and
//     arithmetic: the study day (1-31) and month (1-12), the time of programming (0-240 tenths of
//     an hour: 23:58 rounds to 240) and the start delay (0-1440 minutes). Each may also read as
//     erased flash.
// Not looked at, because a real recording may hold any value there: the battery word, the
// calibration words (raw sensor counts, 0xFFFF where not calibrated), the factory bytes, the
// password and name (zeroed when the name was hidden), the period (a stored 0 or a value above
// 10 is shown as such and read as 10), the age (the field may hold whatever a recording put in
// it before a write) and the samples (every byte value is a diameter, 0xFF an unwritten one; a
// saved and reloaded night has 50 in their place).
#include <optional>
#include <string>

#include "recorder/memory_image.h"

namespace npt {

// Nothing when the image can be a recording; otherwise the first thing that shows it is not,
// in Russian, e.g. "в начале нет блока подтверждения датчика".
std::optional<std::string> whyNotARecording(const MemoryImage& image);

}  // namespace npt
