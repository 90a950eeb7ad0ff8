// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's icon, drawn rather than loaded so that the window never lacks it: a
// recorder's curve over a night-blue square with a crescent moon. The icons the desktop shows
// (PNG at every size and the scalable SVG) are rendered from the same drawing at build time.
#include <QPixmap>

class QPainter;

namespace npt {

// Draws the icon into the square from (0, 0) to (size, size) of the painter's device.
void paintAppIcon(QPainter& painter, double size);

QPixmap appIcon(int size);

}  // namespace npt
