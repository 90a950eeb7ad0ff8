// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// npt report's drawing: the report's PDF made on Qt's offscreen platform, so that it works on a
// machine without a display. Built only with the graphical part.
#include "cli/batch_view.h"

namespace npt {

// A report writer that starts Qt's drawing without a screen for the one report it writes.
ReportWriter headlessReportWriter();

}  // namespace npt
