// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the EDF+ file of a night holds, made from the recording and its analysis: the patient
// field (the name transliterated, "X" when hidden or absent), the study's date and start, the
// samples up to the last written one, and the annotations: each episode with its duration and
// increase, each stretch left out with its reason, the positions never written.
#include <optional>
#include <string>

#include "analysis/night_analysis.h"
#include "recorder/memory_image.h"
#include "records/edf_file.h"

namespace npt {

// The name in the printable ASCII an EDF header takes: Cyrillic as Russian passports spell it
// (ICAO 9303), spaces as underscores, anything else left out; "X" when nothing is left.
std::string edfName(const std::string& utf8);

// name: the patient's name as shown, or nothing when it is hidden. number: the clinic's own,
// when the archive knows it. equipment: the program and its version.
EdfNight edfNightOf(const MemoryImage& image, const std::optional<std::string>& name,
                    const std::optional<std::string>& number, const NightAnalysis& analysis,
                    int periodSeconds, const std::string& equipment);

}  // namespace npt
