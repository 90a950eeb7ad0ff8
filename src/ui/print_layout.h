// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fitting the window's picture onto a printed page: the picture keeps its proportions and fills
// either the page's width or its height, from the page's top-left corner.

namespace npt {

struct PrintedSize {
    int width = 0;
    int height = 0;
    bool operator==(const PrintedSize&) const = default;
};

// A picture of w x h pixels on a printable area of pageWidth x pageHeight printer pixels.
// Rounding is to the nearest integer, halves to even. Empty sizes give an empty result.
PrintedSize fitToPage(int w, int h, int pageWidth, int pageHeight);

}  // namespace npt
