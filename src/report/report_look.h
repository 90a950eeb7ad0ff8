// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The look the reports share, so that the night's page and the study's page read as one family:
// the margins, the colours, the sans serif, drawing in millimetres of the page, the chart's style
// and the foot of the page (the statement that rigidity is not measured and the doctor's
// signature).
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <span>
#include <string>
#include <utility>

#include "plot/night_plot.h"
#include "report/report_page.h"

namespace npt::look {

inline constexpr double kMarginLeft = 18;
inline constexpr double kMarginRight = 14;
inline constexpr double kMarginTop = 14;
inline constexpr double kMarginBottom = 14;
inline constexpr double kContentWidth = kReportPageWidthMm - kMarginLeft - kMarginRight;

inline const QColor kInk(20, 20, 20);
inline const QColor kGrey(110, 110, 110);
inline const QColor kRule(170, 170, 170);
inline const QColor kGrid(225, 225, 225);
inline const QColor kCurve(20, 60, 170);
inline const QColor kBaseline(90, 90, 90);
inline const QColor kBand(255, 196, 120, 110);
inline const QColor kBandEdge(230, 140, 40);
inline const QColor kUnusable(150, 150, 150, 70);

inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// The report's sans serif at a size in points: the fonts installed with the program cover
// Cyrillic, whatever the machine's default.
QFont reportFont(double points, bool bold = false, bool italic = false);

// Draws in millimetres of the page.
class Page {
  public:
    Page(QPainter& painter, double pixelsPerMm) : p_(painter), k_(pixelsPerMm) {}

    QPainter& painter() { return p_; }
    double px(double mm) const { return mm * k_; }
    QPointF at(double x, double y) const { return {px(x), px(y)}; }
    QRectF rect(double x, double y, double w, double h) const {
        return {px(x), px(y), px(w), px(h)};
    }

    // Text in a box, with flags for alignment and wrapping; returns the height it took, in mm.
    double text(double x, double y, double w, double h, const QString& text, const QFont& font,
                int flags = Qt::AlignLeft | Qt::AlignTop, const QColor& colour = kInk);
    // The height a wrapped text takes at width w, in mm.
    double heightOf(double w, const QString& text, const QFont& font);
    double widthOf(const QString& text, const QFont& font);
    void line(double x1, double y1, double x2, double y2, const QColor& colour,
              double widthMm = 0.2);

  private:
    QRectF measured(const QRectF& box, int flags, const QString& text, const QFont& font);

    QPainter& p_;
    double k_;
};

// The chart's sizes, colours and texts on paper (plot::paintNight draws it): the window's
// drawing with the report's fonts, hairlines and tick texts "HH:MM".
plot::Style chartStyle(const Page& page);

// The passport's rows: a grey label and its value in bold, the left column then the right one; a
// label nullptr leaves its half empty.
using Labelled = std::pair<const char*, std::string>;
using LabelledRow = Labelled[2];
// Draws the rows from y and returns the y under them. A value too long for its half of the line
// (the hidden name's note, a long name) wraps under itself and the row grows, rather than running
// into the other column.
double drawLabelledRows(Page& page, std::span<const LabelledRow> rows, double y);

// The foot of the page, measured once: the boxed statement that rigidity is not measured and,
// under it, the line for the doctor's signature.
struct Foot {
    double statementTop = 0;
    double statementHeight = 0;
    double signatureTop = 0;
};
Foot footOf(Page& page);
// doctor: empty leaves a line to write the name by hand.
void drawFoot(Page& page, const Foot& foot, const std::string& doctor);

}  // namespace npt::look
