// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// npt report's and npt archive report's drawing: the PDF made on Qt's offscreen platform, so that
// it works on a machine without a display. Built only with the graphical part.
#include "cli/archive_command.h"
#include "cli/batch_view.h"

namespace npt {

// A report writer that starts Qt's drawing without a screen for the one report it writes.
ReportWriter headlessReportWriter();
// The same for the study's report of npt archive report.
StudyReportWriter headlessStudyReportWriter();

}  // namespace npt
