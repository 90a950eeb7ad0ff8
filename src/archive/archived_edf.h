// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A night's EDF+ content with what the archive knows of it: the doctor's review changes as
// annotations, the patient's name and the clinic's number when the night is identified, and
// the file names a study's nights are exported under.
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archived_night.h"
#include "records/edf_night.h"

namespace npt::archive {

// Each change at the stretch it concerns (a window or an added episode: its own stretch; a
// change of an episode: the episode as it was found), its text as the review lists it.
std::vector<EdfAnnotation> reviewAnnotations(const std::vector<ReviewChange>& changes,
                                             int startSeconds);

// The night as the archive holds it; an unidentified night's name stays "X". Reads the
// patient's number from the archive (throws ArchiveError as it does).
EdfNight archivedNightEdf(Archive& archive, const ArchivedNight& night,
                          const std::string& equipment);

// "Ночь 12 от 08.12.26.edf": the number tells nights of one date apart.
std::string edfFileName(Id night, const std::string& date);

}  // namespace npt::archive
