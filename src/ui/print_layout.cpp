// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/print_layout.h"

#include <cmath>

namespace npt {

PrintedSize fitToPage(int w, int h, int pageWidth, int pageHeight) {
    if (w <= 0 || h <= 0 || pageWidth <= 0 || pageHeight <= 0) {
        return {};
    }
    // std::nearbyint rounds halves to even in the default rounding mode.
    const int widthAtFullHeight =
        static_cast<int>(std::nearbyint(static_cast<double>(w) * pageHeight / h));
    if (widthAtFullHeight < pageWidth) {
        return {widthAtFullHeight, pageHeight};
    }
    return {pageWidth, static_cast<int>(std::nearbyint(static_cast<double>(h) * pageWidth / w))};
}

}  // namespace npt
