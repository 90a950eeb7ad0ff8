// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_look.h"

#include <algorithm>

#include "analysis/analysis_text.h"

namespace npt::look {

QFont reportFont(double points, bool bold, bool italic) {
    QFont font;
    font.setFamilies({"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

double Page::text(double x, double y, double w, double h, const QString& text, const QFont& font,
                  int flags, const QColor& colour) {
    p_.setFont(font);
    p_.setPen(colour);
    QRectF used;
    p_.drawText(rect(x, y, w, h), flags, text, &used);
    return used.height() / k_;
}

double Page::heightOf(double w, const QString& text, const QFont& font) {
    return measured(rect(0, 0, w, 1000), Qt::AlignLeft | Qt::TextWordWrap, text, font).height() /
           k_;
}

double Page::widthOf(const QString& text, const QFont& font) {
    return measured(rect(0, 0, 1000, 100), Qt::AlignLeft, text, font).width() / k_;
}

void Page::line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm) {
    p_.setPen(QPen(colour, px(widthMm)));
    p_.drawLine(at(x1, y1), at(x2, y2));
}

// The painter measures no text while its pen is NoPen (as after filling a band): it would
// answer an empty rectangle, and the text would be clipped to nothing.
QRectF Page::measured(const QRectF& box, int flags, const QString& text, const QFont& font) {
    p_.save();
    p_.setPen(kInk);
    p_.setFont(font);
    const QRectF bounds = p_.boundingRect(box, flags, text);
    p_.restore();
    return bounds;
}

plot::Style chartStyle(const Page& page) {
    const QFont small = reportFont(7.5);
    plot::Style style;
    style.tickFont = small;
    style.titleFont = small;
    style.numberFont = reportFont(7, true);
    style.ink = kInk;
    style.titleInk = kGrey;
    style.grid = kGrid;
    style.number = kBandEdge;
    style.band = kBand;
    style.leftOut = kUnusable;
    style.baseline = kBaseline;
    style.axisWidth = page.px(0.25);
    style.gridWidth = page.px(0.15);
    style.curveWidth = page.px(0.25);
    style.baselineWidth = page.px(0.25);
    style.baselineDash = {6, 4};
    style.tickLength = page.px(1);
    style.gap = page.px(0.4);
    style.narrowestBand = page.px(0.3);
    style.titles = plot::TitlePlace::Corners;
    style.timeTitle = "время ночи, чч:мм";
    style.diameterTitle = "диаметр, мм";
    style.timeText = &plot::minutesTickText;
    return style;
}

double drawLabelledRows(Page& page, std::span<const LabelledRow> rows, double y) {
    const QFont label = reportFont(9);
    const QFont value = reportFont(9, true);
    constexpr double kLine = 5;
    constexpr double kHalf = kContentWidth / 2;
    constexpr double kGutter = 2;
    const double oneLine = page.heightOf(kHalf, "Ag", value);
    for (const auto& row : rows) {
        double rowHeight = kLine;
        for (int side = 0; side < 2; ++side) {
            if (row[side].first == nullptr) {
                continue;
            }
            const double x = kMarginLeft + side * kHalf;
            const QString caption = q(std::string(row[side].first) + ": ");
            const double width = page.widthOf(caption, label);
            const double room = kHalf - width - kGutter;
            const QString text = q(row[side].second);
            const double height = page.heightOf(room, text, value);
            page.text(x, y, width, kLine, caption, label, Qt::AlignLeft | Qt::AlignTop, kGrey);
            page.text(x + width, y, room, height, text, value,
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
            rowHeight = std::max(rowHeight, kLine - oneLine + height);
        }
        y += rowHeight;
    }
    return y;
}

Foot footOf(Page& page) {
    Foot foot;
    foot.signatureTop = kReportPageHeightMm - kMarginBottom - 9;
    foot.statementHeight =
        page.heightOf(kContentWidth - 6, q(kRigidityStatement), reportFont(8.5, false, true)) + 4;
    foot.statementTop = foot.signatureTop - 4 - foot.statementHeight;
    return foot;
}

void drawFoot(Page& page, const Foot& foot, const std::string& doctor) {
    QPainter& painter = page.painter();
    painter.setPen(QPen(kRule, page.px(0.25)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(
        page.rect(kMarginLeft, foot.statementTop, kContentWidth, foot.statementHeight));
    page.text(kMarginLeft + 3, foot.statementTop + 2, kContentWidth - 6, foot.statementHeight - 2,
              q(kRigidityStatement), reportFont(8.5, false, true),
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);

    const std::string name = doctor.empty() ? "______________________________" : doctor;
    page.text(kMarginLeft, foot.signatureTop + 3, 150, 5,
              q("Врач: " + name + "      Подпись: ____________________"), reportFont(9),
              Qt::AlignLeft | Qt::AlignTop);
    page.text(kMarginLeft, foot.signatureTop + 3, kContentWidth, 5, "npt-desk", reportFont(7),
              Qt::AlignRight | Qt::AlignTop, kGrey);
}

}  // namespace npt::look
