// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the dialog "Анализ ночи" opens for a few screens and places of the main window.
#include "ui/dialog_placement.h"

#include <gtest/gtest.h>

namespace npt::testing {
namespace {

// The main window's frame at a place: 998 × 529 pixels inside, a title bar of 30; the chart at
// (8, 55) inside it, 969 × 423.
PlacementInput windowAt(QRect screen, QPoint frame) {
    PlacementInput in;
    in.screen = screen;
    in.window = QRect(frame, QSize(998, 559));
    in.chart = QRect(frame + QPoint(8, 30 + 55), QSize(969, 423));
    in.dialog = QSize(880, 590);
    in.dialogLeast = QSize(640, 420);
    return in;
}

TEST(DialogPlacement, BesideTheWindowWhereThereIsRoomElseCoveringTheLeastOfTheChart) {
    struct Case {
        const char* screen;
        PlacementInput in;
        QRect dialog;
    };
    const QRect fullHd(0, 0, 1920, 1080);
    const Case cases[] = {
        {"the window at the left of a wide screen: right of it, level with it",
         windowAt(fullHd, {0, 100}),
         {998, 100, 880, 590}},
        {"the window at the right edge: left of it",
         windowAt(fullHd, {922, 100}),
         {42, 100, 880, 590}},
        {"low on the screen: right of it, moved up to stay on the screen",
         windowAt(fullHd, {0, 700}),
         {998, 490, 880, 590}},
        {"centred on 2560 × 1440: right of it, narrowed to the room there",
         windowAt({0, 0, 2560, 1440}, {781, 440}),
         {1779, 440, 781, 590}},
        {"a second screen right of the first: right of the window on that screen",
         windowAt({1920, 0, 2560, 1440}, {2020, 200}),
         {3018, 200, 880, 590}},
        {"centred on 1920 × 1080, too little room either side: the top right corner",
         windowAt(fullHd, {461, 260}),
         {1040, 0, 880, 590}},
        {"centred on 1366 × 768: the top right corner",
         windowAt({0, 0, 1366, 768}, {184, 104}),
         {486, 0, 880, 590}},
        {"the window at the top of 1366 × 768: the bottom left corner, under the chart",
         windowAt({0, 0, 1366, 768}, {368, 0}),
         {0, 178, 880, 590}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        const QRect placed = placeBesideWindow(c.in);
        EXPECT_EQ(placed, c.dialog);
        EXPECT_TRUE(c.in.screen.contains(placed));
    }
}

}  // namespace
}  // namespace npt::testing
