// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace npt {

void paintAppIcon(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(28, 45, 92));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    // Crescent: a pale disc with a night-coloured one over it.
    p.setBrush(QColor(250, 236, 170));
    p.drawEllipse(QRectF(36, 8, 18, 18));
    p.setBrush(QColor(28, 45, 92));
    p.drawEllipse(QRectF(42, 5, 18, 18));
    // A night's tumescence curve: flat, two rises, flat again.
    QPainterPath curve;
    curve.moveTo(8, 50);
    curve.cubicTo(16, 50, 16, 34, 22, 34);
    curve.cubicTo(28, 34, 26, 48, 32, 48);
    curve.cubicTo(38, 48, 38, 28, 46, 28);
    curve.cubicTo(52, 28, 52, 50, 58, 50);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 200, 255), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(curve);
    p.restore();
}

QPixmap appIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paintAppIcon(p, size);
    return pixmap;
}

}  // namespace npt
