// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shape_widget.h"

#include <QPainter>

namespace npt {

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fill_);
    if (outline_) {
        painter.setPen(QPen(*outline_, 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace npt
