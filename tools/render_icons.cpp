// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the application's icon for the desktop's icon theme from the drawing the window uses:
//
//   render_icons DIR SIZE...
//
// writes DIR/SIZExSIZE/apps/npt-desk.png for each size and DIR/scalable/apps/npt-desk.svg, the
// hicolor theme's layout, so that DIR installs as it stands;
//
//   render_icons --ico FILE SIZE...
//
// writes one Windows icon file holding the sizes (PNG images inside, as Windows Vista and later
// read them), for the resource of npt-desk.exe and its Start-menu entry.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string_view>
#include <vector>

#include "ui/app_icon.h"

namespace {

QImage iconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    npt::paintAppIcon(painter, size);
    return image;
}

bool writePng(const QString& themeDir, int size) {
    const QString dir = QString("%1/%2x%2/apps").arg(themeDir).arg(size);
    return QDir().mkpath(dir) && iconImage(size).save(dir + "/npt-desk.png", "PNG");
}

void appendLittleEndian(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

// The icon file's header, a directory entry per image, then the images as PNG data.
bool writeIco(const QString& file, const std::vector<int>& sizes) {
    std::vector<QByteArray> images;
    for (const int size : sizes) {
        if (size <= 0 || size > 256) {
            return false;
        }
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !iconImage(size).save(&buffer, "PNG")) {
            return false;
        }
        images.push_back(png);
    }
    QByteArray out;
    appendLittleEndian(out, 0, 2);  // reserved
    appendLittleEndian(out, 1, 2);  // an icon, not a cursor
    appendLittleEndian(out, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto side = static_cast<std::uint32_t>(sizes[i] == 256 ? 0 : sizes[i]);  // 0: 256
        appendLittleEndian(out, side, 1);
        appendLittleEndian(out, side, 1);
        appendLittleEndian(out, 0, 1);   // no palette
        appendLittleEndian(out, 0, 1);   // reserved
        appendLittleEndian(out, 1, 2);   // colour planes
        appendLittleEndian(out, 32, 2);  // bits per pixel
        appendLittleEndian(out, static_cast<std::uint32_t>(images[i].size()), 4);
        appendLittleEndian(out, offset, 4);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const QByteArray& png : images) {
        out.append(png);
    }
    QFile ico(file);
    return ico.open(QIODevice::WriteOnly) && ico.write(out) == out.size() && ico.flush();
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
        std::cerr << "usage: render_icons DIR SIZE...\n       render_icons --ico FILE SIZE...\n";
        return 2;
    }
    if (std::string_view(argv[1]) == "--ico") {
        std::vector<int> sizes;
        for (int i = 3; i < argc; ++i) {
            sizes.push_back(std::atoi(argv[i]));
        }
        if (sizes.empty() || !writeIco(QString::fromLocal8Bit(argv[2]), sizes)) {
            std::cerr << "render_icons: cannot write the icon file " << argv[2] << "\n";
            return 1;
        }
        return 0;
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
