// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-line tool: the window's load flow without a window, and its read of the recorder.
//
//   npt show FILE [--password TEXT] [--json] [analysis options]
//   npt export FILE OUT.xlsx|OUT.csv [--password TEXT] [analysis options]
//   npt report FILE OUT.pdf [--password TEXT] [--doctor NAME] [analysis options]
//   npt read OUT.txt [--password TEXT] [--timeout S]
//   npt archive ... (archive_command.h)
//   npt --help | --version
//
// The analysis options (analysis_options.h) set the parameters of the night's analysis, which
// show prints, the workbook carries on its second sheet and the report puts on its page.
// Exit status: 0 done; 1 the recording could not be loaded, the table or report not saved, the
// output not written, or the recorder not read whole (read_command.h); 2 wrong usage (among it
// an export onto the recording itself). Every message is
// one line on err, in Russian; names in it are escaped so that one stays one line.
#include <ostream>
#include <string>
#include <vector>

#include "cli/archive_command.h"
#include "cli/batch_view.h"

namespace npt {

// reportWriter draws the report's PDF, studyReportWriter the study's (archive report); without
// them (a build without the graphical part), the commands say they are not available and exit
// with 2. progressToTerminal: a long command (an archive's import) shows its progress on err, a
// terminal.
int runNpt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const ReportWriter& reportWriter = {}, bool progressToTerminal = false,
           const StudyReportWriter& studyReportWriter = {});

}  // namespace npt
