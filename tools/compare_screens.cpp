// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Compares two pictures of the main window (npt-desk --screenshot), one drawn on Linux and one on
// Windows (under Wine), control by control:
//
//   compare_screens LINUX.png WINDOWS.png [SHARE]
//
// The pictures must be of the same size, and within each control's place (the window's layout
// table) at least SHARE (default 0,9) of the pixels must be alike: the same control drawn at the
// same place, whatever the two systems' font rasterisers make of its text. Prints each control's
// share; exits 1 naming the controls that differ.
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/controls.h"
#include "app/window_layout.h"

namespace {

// Two pixels are alike when no channel differs by more than this: text edges drawn by another
// rasteriser differ by more, a background, a border or a curve of the same colour by less.
constexpr int kChannelTolerance = 40;

bool alike(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= kChannelTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kChannelTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kChannelTolerance;
}

double alikeShare(const QImage& a, const QImage& b, const QRect& place) {
    const QRect r = place.intersected(a.rect());
    if (r.isEmpty()) {
        return 0;
    }
    long same = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            same += alike(a.pixel(x, y), b.pixel(x, y)) ? 1 : 0;
        }
    }
    return static_cast<double>(same) / (static_cast<double>(r.width()) * r.height());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: compare_screens LINUX.png WINDOWS.png [SHARE]\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage a = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    const double required = argc > 3 ? std::stod(std::string(argv[3])) : 0.9;
    if (a.isNull() || b.isNull()) {
        std::cerr << "compare_screens: cannot read " << (a.isNull() ? argv[1] : argv[2]) << "\n";
        return 1;
    }
    if (a.size() != b.size()) {
        std::cerr << "compare_screens: the pictures' sizes differ: " << a.width() << "×"
                  << a.height() << " and " << b.width() << "×" << b.height() << "\n";
        return 1;
    }
    bool allAlike = true;
    for (int i = 0; i <= static_cast<int>(npt::Control::ShowAnalysis); ++i) {
        const auto control = static_cast<npt::Control>(i);
        const auto place = npt::controlPlace(control);
        // Hplus and Hminus are placed in the chart's own coordinates, inside its place.
        if (!place || control == npt::Control::Hplus || control == npt::Control::Hminus) {
            continue;
        }
        const double share =
            alikeShare(a, b, QRect(place->left, place->top, place->width, place->height));
        const bool ok = share >= required;
        allAlike = allAlike && ok;
        std::cout << (ok ? "  " : "! ") << npt::controlName(control) << ": " << share << "\n";
    }
    return allAlike ? 0 : 1;
}
