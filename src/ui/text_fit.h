// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps a field's whole text in view. The window's fields have the sizes they were drawn with;
// the sans serifs found on Linux are broader than the face they were drawn for, so a text that
// would not fit the field is drawn a pixel or more smaller (never below a legible size), and a
// number field may grow to the right into free room of the strip it stands in. Only what no
// legible size can hold scrolls, as a line edit does.
#include <QFont>

class QLineEdit;

namespace npt {

struct TextFit {
    QFont font;  // the field's own font, used whenever the text fits at it
    int smallestPixels = 9;
    // A number field drawn for this many characters grows to the right for a longer number, up
    // to widestWidth pixels; 0: the field keeps its width.
    int drawnCharacters = 0;
    int widestWidth = 0;
};

// Fits the field's text now and whenever it changes.
void keepTextWhole(QLineEdit* field, const TextFit& fit);

// Pixels of a field's width that its text cannot use: the one-pixel frame and the line edit's
// inner margin on both sides, less the text margins the window's fields take back.
inline constexpr int kFieldTextMargin = -1;
inline constexpr int kAroundFieldText = 2 * (1 + 2 + kFieldTextMargin);

}  // namespace npt
