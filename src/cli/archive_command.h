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
//
// LOCATION is an SQLite file or a postgresql:// URI; without it, the user's own archive
// (Archive::defaultLocation). Exit status: 0 done (add and import: every file added or already
// there); 1 a file refused, the archive unusable or a problem found; 2 wrong usage.
#include <ostream>
#include <string>
#include <vector>

namespace npt {

// args: what follows "archive". progressToTerminal: import shows a progress line on err.
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool progressToTerminal);

}  // namespace npt
