// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/text_fit.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <algorithm>

namespace npt {

namespace {

// The pixels the text needs in the field, its caret's column included (a line edit scrolls
// when the caret after the last character would not show).
int textWidth(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text) + 1;
}

void fitText(QLineEdit* field, const TextFit& fit, int drawnWidth) {
    const QString text = field->displayText();
    if (fit.drawnCharacters > 0) {
        const int wanted = text.size() <= fit.drawnCharacters
                               ? drawnWidth
                               : textWidth(fit.font, text) + kAroundFieldText;
        const int width = std::clamp(wanted, drawnWidth, std::max(drawnWidth, fit.widestWidth));
        if (width != field->width()) {
            field->resize(width, field->height());
        }
    }
    const int room = field->width() - kAroundFieldText;
    QFont font = fit.font;
    for (int pixels = fit.font.pixelSize();
         pixels > fit.smallestPixels && textWidth(font, text) > room; --pixels) {
        font.setPixelSize(pixels - 1);
    }
    if (font != field->font()) {
        field->setFont(font);
    }
}

}  // namespace

void keepTextWhole(QLineEdit* field, const TextFit& fit) {
    const int drawnWidth = field->width();
    field->setFont(fit.font);
    field->setTextMargins(kFieldTextMargin, 0, kFieldTextMargin, 0);
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [field, fit, drawnWidth] { fitText(field, fit, drawnWidth); });
    fitText(field, fit, drawnWidth);
}

}  // namespace npt
