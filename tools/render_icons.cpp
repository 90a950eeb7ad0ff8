// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the application's icon for the desktop's icon theme from the drawing the window uses:
//
//   render_icons DIR SIZE...
//
// writes DIR/SIZExSIZE/apps/npt-desk.png for each size and DIR/scalable/apps/npt-desk.svg, the
// hicolor theme's layout, so that DIR installs as it stands.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdlib>
#include <iostream>

#include "ui/app_icon.h"

namespace {

bool writePng(const QString& themeDir, int size) {
    const QString dir = QString("%1/%2x%2/apps").arg(themeDir).arg(size);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        npt::paintAppIcon(painter, size);
    }
    return QDir().mkpath(dir) && image.save(dir + "/npt-desk.png", "PNG");
}

bool writeSvg(const QString& themeDir) {
    const QString dir = themeDir + "/scalable/apps";
    if (!QDir().mkpath(dir)) {
        return false;
    }
    constexpr int kUnits = 64;  // the drawing's own square
    QSvgGenerator svg;
    svg.setFileName(dir + "/npt-desk.svg");
    svg.setSize(QSize(kUnits, kUnits));
    svg.setViewBox(QRect(0, 0, kUnits, kUnits));
    svg.setResolution(96);  // a CSS pixel per unit: the image is 64 px wide, as drawn
    svg.setTitle("npt-desk");
    svg.setDescription("A night's tumescence curve under a crescent moon");
    QPainter painter;
    if (!painter.begin(&svg)) {
        return false;
    }
    npt::paintAppIcon(painter, kUnits);
    return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: render_icons DIR SIZE...\n";
        return 2;
    }
    const QString themeDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || !writePng(themeDir, size)) {
            std::cerr << "render_icons: cannot write the " << argv[i] << " px icon\n";
            return 1;
        }
    }
    if (!writeSvg(themeDir)) {
        std::cerr << "render_icons: cannot write the scalable icon\n";
        return 1;
    }
    return 0;
}
