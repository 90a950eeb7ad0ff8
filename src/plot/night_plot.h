// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night drawn with Qt's painter: the diameter against the time of night on round ticks, the
// stretches the analysis left out in grey and the episodes in amber behind the grid, the
// episodes' numbers as in the analysis table over the curves; the baseline dashed under the
// curves; the axes with their tick texts and titles. The window, its printout and the report draw
// with it, each in its own units (pixels on screen, device pixels of a page) and with its own sizes
// and texts.
#include <QColor>
#include <QFont>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "analysis/night_report.h"
#include "chart/axis_scale.h"

namespace npt::plot {

// One curve: the points as parallel lists, times in days in ascending order and millimetres; a
// NaN millimetre breaks the line. The lists are the owner's; the curve only looks at them.
struct Curve {
    const std::vector<double>* times = nullptr;
    const std::vector<double>* mm = nullptr;
    QColor colour;
};

// What is drawn over the axes, each part optional; the lists are the owner's.
struct NightLayers {
    std::vector<Curve> curves;  // the last one on top
    const std::vector<TimeSpan>* episodes = nullptr;
    const std::vector<TimeSpan>* leftOut = nullptr;
    const ChartLine* baseline = nullptr;
    // The episode the doctor picked in the analysis dialog: outlined over its band.
    const TimeSpan* highlighted = nullptr;
};

// Where the axes' titles go: along the axes (the diameter's turned up the left side, the
// time's centred under the tick texts), or in the corners (the diameter's above the tick
// texts, the time's at the right end under them).
enum class TitlePlace { AlongAxes, Corners };

// The time axis's tick texts of a time of night in days (past midnight too): the window's
// "HH.MM.SS", the report's "HH:MM".
std::string secondsTickText(double days);
std::string minutesTickText(double days);

// Sizes in the painter's units, colours and texts: the look of one kind of drawing.
struct Style {
    QFont tickFont;
    QFont titleFont;
    QFont numberFont;  // the episodes' numbers
    QColor ink{0, 0, 0};
    QColor titleInk{0, 0, 0};
    QColor grid{220, 220, 220};
    QColor number{200, 110, 20};
    QColor band{255, 196, 120, 110};
    QColor numberPatch{255, 230, 197};  // the band as it shows on a light background
    QColor leftOut{150, 150, 150, 70};
    QColor baseline{80, 80, 80};
    QColor highlight{200, 60, 0};  // the outline of the episode picked in the dialog
    double axisWidth = 1;
    double gridWidth = 1;
    double curveWidth = 1;
    double baselineWidth = 1.2;
    QList<qreal> baselineDash{5, 3};  // in widths of the baseline's pen
    double tickLength = 4;            // outside the axes
    double gap = 3;                   // between an axis, its tick texts and its title
    double narrowestBand = 0;         // so that a short episode still shows on paper
    TitlePlace titles = TitlePlace::AlongAxes;
    QString timeTitle;
    QString diameterTitle;
    std::string (*timeText)(double days) = &secondsTickText;
};

// The plot's rectangle and the ranges it shows: how values map to the painter's coordinates.
class Frame {
  public:
    Frame(const QRectF& plot, const axis_scale::Scale& time, const axis_scale::Scale& mm);

    const QRectF& plot() const { return plot_; }
    const axis_scale::Scale& time() const { return time_; }
    const axis_scale::Scale& mm() const { return mm_; }
    double xOf(double days) const { return x0_ + days * kx_; }
    double yOf(double mm) const { return y0_ + mm * ky_; }
    QPointF pointOf(double days, double mm) const { return {xOf(days), yOf(mm)}; }
    // The time (x) and the diameter (y) at a point of the painter's coordinates.
    QPointF valueAt(const QPointF& point) const;

  private:
    QRectF plot_;
    axis_scale::Scale time_;
    axis_scale::Scale mm_;
    double x0_ = 0, kx_ = 0, y0_ = 0, ky_ = 0;
};

// The ticks of a scale, from the first at or after its minimum up to its maximum.
std::vector<double> ticks(const axis_scale::Scale& scale);
// The tick texts: times as the style writes them, millimetres with the decimal comma.
QStringList timeTexts(const axis_scale::Scale& scale, const Style& style);
QString diameterText(double mm);

// The plot's rectangle inside area on screen, leaving room left of it and under it for the tick
// texts and the titles the style puts there, and above it for half the top tick's text. The
// plot reaches area's right edge: the last time's text overhangs it by half its width.
QRectF plotWithin(const QRectF& area, const axis_scale::Scale& mm, const Style& style);

// Paints everything of the drawing on painter; the curves, the baseline and the bands stay
// inside the plot.
void paintNight(QPainter& painter, const Frame& frame, const Style& style,
                const NightLayers& layers);

}  // namespace npt::plot
