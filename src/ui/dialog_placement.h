// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the dialog "Анализ ночи" opens: beside the main window, so that the chart and its shaded
// episodes stay in view while the doctor changes a parameter. Right of the window where the
// screen has room for the whole dialog, else left of it; else on the wider side, narrowed to the
// room there, as long as that leaves the dialog its smallest width; else wherever on the screen
// it covers the least of the chart. A pure function of the geometries, in screen pixels.
#include <QRect>
#include <QSize>

namespace npt {

struct PlacementInput {
    QRect screen;       // the screen's area free for windows
    QRect window;       // the main window's frame
    QRect chart;        // the chart within it
    QSize dialog;       // the dialog's frame at its own size
    QSize dialogLeast;  // the smallest frame the dialog can be shown in
};

// The dialog's frame.
QRect placeBesideWindow(const PlacementInput& in);

}  // namespace npt
