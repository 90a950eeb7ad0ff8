// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/print_layout.h"

#include <gtest/gtest.h>

namespace npt {
namespace {

struct FitCase {
    int w, h, pageW, pageH;
    PrintedSize expected;
};

TEST(PrintLayout, FitsThePictureToWidthOrHeightKeepingItsProportions) {
    const FitCase cases[] = {
        // The window (998 x 529) is wider than an A4 portrait page: it fills the width.
        {998, 529, 4760, 6779, {4760, 2523}},
        // On a landscape page it is relatively taller: it fills the height.
        {998, 529, 6779, 3000, {5660, 3000}},
        // Exactly the page's proportions: full width and full height.
        {100, 50, 200, 100, {200, 100}},
        // Halves round to even: 3 x 2 onto height 3 gives width 4.5 -> 4 (fills the height).
        {3, 2, 10, 3, {4, 3}},
        // 1 x 2 at full height 5 is 2.5 wide, which rounds to even: 2.
        {1, 2, 5, 5, {2, 5}},
        // Nothing to print or nowhere to print it.
        {0, 529, 4760, 6779, {0, 0}},
        {998, 529, 0, 0, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitToPage(c.w, c.h, c.pageW, c.pageH), c.expected)
            << c.w << "x" << c.h << " on " << c.pageW << "x" << c.pageH;
    }
}

}  // namespace
}  // namespace npt
