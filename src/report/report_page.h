// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night's report as one A4 page, portrait, as a doctor files it, from top to bottom: the
// title and when the report was made; the passport (the name withheld when it is hidden); the
// diameter against the time of night with the episodes shaded and numbered; the summary line and
// the night's figures; the episode table; the quality verdict; the parameters used; the
// statement that rigidity is not measured and the conclusion is the doctor's; a line for the
// doctor's signature.
//
// Everything is drawn in millimetres of the page with Qt's painter, so the same page goes to a
// PDF, a printer or a picture.
#include <QPainter>

#include "analysis/night_report.h"

namespace npt {

inline constexpr double kReportPageWidthMm = 210;
inline constexpr double kReportPageHeightMm = 297;

// Paints the page on painter, whose device shows pixelsPerMm device pixels per millimetre with
// the page's top-left corner at its origin.
void paintNightReport(QPainter& painter, double pixelsPerMm, const NightReport& report);

}  // namespace npt
