// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// npt archive: the patient archive from the command line.
//
//   npt archive [--archive LOCATION] add FILE… [--password TEXT]
//   npt archive [--archive LOCATION] nights|patients [--json]
//   npt archive [--archive LOCATION] show PATIENT-ID [--json]
//   npt archive [--archive LOCATION] export NIGHT-ID OUT.txt
//   npt archive [--archive LOCATION] import DIR [--password TEXT]
//   npt archive [--archive LOCATION] check | backup OUT
//   npt archive [--archive LOCATION] report STUDY-ID OUT.pdf [--doctor NAME]
//
// LOCATION is an SQLite file or a postgresql:// URI; without it, the user's own archive
// (Archive::defaultLocation). Exit status: 0 done (add and import: every file added or already
// there); 1 a file refused, the archive unusable, a problem found or the report not saved; 2 wrong
// usage.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace npt {

// Writes the report of a study of the archive as a one-page PDF (the report library's work,
// which needs Qt's drawing); doctor, when given, signs it instead of the study's doctor. Throws
// ArchiveError when there is no such study, FileError when the file cannot be written.
using StudyReportWriter =
    std::function<void(const std::string& path, archive::Archive& archive, archive::Id study,
                       const std::optional<std::string>& doctor)>;

// args: what follows "archive". progressToTerminal: import shows a progress line on err.
// studyReportWriter draws report's PDF; without one (a build without the graphical part), report
// says it is not available and exits with 2.
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool progressToTerminal, const StudyReportWriter& studyReportWriter = {});

}  // namespace npt
