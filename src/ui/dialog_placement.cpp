// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialog_placement.h"

#include <algorithm>
#include <initializer_list>

namespace npt {

namespace {

long long coveredArea(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : static_cast<long long>(both.width()) * both.height();
}

}  // namespace

QRect placeBesideWindow(const PlacementInput& in) {
    const QRect& screen = in.screen;
    const QSize size = in.dialog.boundedTo(screen.size());
    // Level with the window's top, moved up or down only as far as the screen needs.
    const int top = std::clamp(in.window.top(), screen.top(), screen.bottom() + 1 - size.height());
    const int roomRight = screen.right() - in.window.right();
    const int roomLeft = in.window.left() - screen.left();
    const auto right = [&](int width) {
        return QRect(in.window.right() + 1, top, width, size.height());
    };
    const auto left = [&](int width) {
        return QRect(in.window.left() - width, top, width, size.height());
    };
    if (roomRight >= size.width()) {
        return right(size.width());
    }
    if (roomLeft >= size.width()) {
        return left(size.width());
    }
    if (std::max(roomRight, roomLeft) >= in.dialogLeast.width()) {
        return roomRight >= roomLeft ? right(roomRight) : left(roomLeft);
    }
    // No room beside the window: at the screen's edges and corners, the place that covers the
    // least of the chart; on a tie, right before left and level with the window before above
    // or below it.
    const int xs[] = {screen.right() + 1 - size.width(), screen.left()};
    const int ys[] = {top, screen.top(), screen.bottom() + 1 - size.height()};
    QRect best;
    long long least = -1;
    for (int y : ys) {
        for (int x : xs) {
            const QRect place(QPoint(x, y), size);
            const long long covered = coveredArea(place, in.chart);
            if (least < 0 || covered < least) {
                best = place;
                least = covered;
            }
        }
    }
    return best;
}

}  // namespace npt
