// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A night's EDF+ content with what the archive knows of it: the doctor's review changes as
// annotations, the patient's name and the clinic's number when the night is identified, and
// the file names a study's nights are exported under.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archived_night.h"
#include "records/edf_night.h"

namespace npt::archive {

// The night's samples, period, start, the first sample's date and the doctor's review (each
// change an annotation at the stretch it concerns: a window or an added episode its own, a
// change of an episode the episode as it was found, its text as the review lists it), as the
// file takes them, wherever the night is shown; the name, the number and the equipment are the
// caller's to set.
EdfNightSource reviewedNightSource(std::span<const std::uint8_t> samples, int periodSeconds,
                                   int startSeconds, const MemoryImage& image,
                                   const std::vector<ReviewChange>& review);

// The clinic's number of the patient the night is filed under; none for an unidentified night
// or a patient without one. Throws ArchiveError as the archive does.
std::optional<std::string> patientNumberOf(Archive& archive, const NightRow& night);

// The night as the archive holds it; an unidentified night's name stays "X". Reads the
// patient's number from the archive (throws ArchiveError as it does).
EdfNight archivedNightEdf(Archive& archive, const ArchivedNight& night,
                          const std::string& equipment);

// "Ночь 12 от 08.12.26.edf": the number tells nights of one date apart.
std::string edfFileName(Id night, const std::string& date);

}  // namespace npt::archive
