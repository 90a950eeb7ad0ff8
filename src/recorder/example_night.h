// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One night of a fictional patient with a few tumescence episodes, sampled every 10 s, as the
// recorder would have stored it: the example recordings and, under a name of its own, the
// demonstration recorder's memory.
#include <string>

#include "recorder/memory_image.h"

namespace npt {

// password: up to ten characters that Windows-1251 can hold; empty for none.
MemoryImage exampleNight(const std::string& password);

// The demonstration recorder's night: the example night under the passport name
// kDemonstrationName, so that whatever is made of a demonstration read (a saved file, a
// workbook, a report, a printout) says that it is no patient's.
inline constexpr const char* kDemonstrationName = "ДЕМОНСТРАЦИЯ";
MemoryImage demonstrationNight();

// True when the image's passport names the demonstration (the name bytes are kept in the image
// even while the name is hidden from the fields).
bool isDemonstration(const MemoryImage& image);

}  // namespace npt
