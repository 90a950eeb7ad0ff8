// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A filled rectangle: the green background strips of the window and the link indicator.
#include <QColor>
#include <QWidget>
#include <optional>

namespace npt {

class ShapeWidget : public QWidget {
  public:
    ShapeWidget(QColor fill, std::optional<QColor> outline, QWidget* parent)
        : QWidget(parent), fill_(fill), outline_(outline) {}

    QColor fill() const { return fill_; }
    void setFill(QColor fill) {
        fill_ = fill;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
    std::optional<QColor> outline_;
};

}  // namespace npt
