// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/diameter_chart.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>
#include <QtCharts/QChart>
#include <algorithm>
#include <cmath>

#include "chart/axis_scale.h"

namespace npt {
namespace {

QColor toQColor(Rgb c, int transparencyPercent) {
    QColor colour(c.r, c.g, c.b);
    colour.setAlphaF(1.0 - transparencyPercent / 100.0);
    return colour;
}

const LineSeries& modelSeries(const ChartModel& model, int index) {
    switch (index) {
        case 0:
            return model.series1();
        case 1:
            return model.series2();
        case 2:
            return model.series3();
        default:
            return model.series4();
    }
}

QFont pixelFont(const QFont& base, int pixels, bool bold = false) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

DiameterChart::DiameterChart(ChartModel& model, QWidget* parent)
    : QChartView(parent), model_(model) {
    auto* chart = new QChart();
    chart->setTitle(QString::fromUtf8(kChartTitle));
    chart->setTitleFont(pixelFont(font(), 16));
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setBackgroundBrush(Qt::NoBrush);
    chart->setBackgroundPen(QPen(QColor(160, 160, 160)));
    chart->setPlotAreaBackgroundVisible(false);
    // The left margin keeps the value labels clear of the buttons laid over the chart's edge; the
    // right one leaves room for the last time label.
    chart->setMargins(QMargins(36, 2, 26, 2));
    chart->setAnimationOptions(QChart::NoAnimation);
    // Tenths of a millimetre on a deep zoom are written with the decimal comma.
    chart->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    chart->setLocalizeNumbers(true);

    timeAxis_ = new QCategoryAxis();
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis_->setTitleText(QString::fromUtf8(kBottomAxisTitle));
    diameterAxis_ = new QValueAxis();
    diameterAxis_->setTitleText(QString::fromUtf8(kLeftAxisTitle));
    diameterAxis_->setTickType(QValueAxis::TicksDynamic);
    diameterAxis_->setTickAnchor(0);
    diameterAxis_->setLabelFormat("%.5g");  // localized labels need a precision
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(timeAxis_), static_cast<QAbstractAxis*>(diameterAxis_)}) {
        axis->setLabelsFont(pixelFont(font(), 11));
        axis->setTitleFont(pixelFont(font(), 11));
        axis->setLinePen(QPen(Qt::black, 1));
        axis->setGridLineColor(QColor(220, 220, 220));
    }
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(diameterAxis_, Qt::AlignLeft);
    for (int i = 0; i < 4; ++i) {
        auto* line = new QLineSeries();
        line->setUseOpenGL(false);
        line->setPointsVisible(false);
        chart->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(diameterAxis_);
        series_[i] = line;
    }
    setChart(chart);
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);
    setStyleSheet("QGraphicsView { background: transparent; }");
    redraw(true);
}

void DiameterChart::redraw(bool force) {
    if (!force && model_.revision() == drawnRevision_) {
        return;
    }
    drawSeries();
    drawAxes();
    drawnRevision_ = model_.revision();
}

void DiameterChart::drawSeries() {
    for (int i = 0; i < 4; ++i) {
        const LineSeries& source = modelSeries(model_, i);
        QLineSeries* line = series_[i];
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(source.count()));
        for (std::size_t k = 0; k < source.count(); ++k) {
            points.append(QPointF(source.xs()[k], source.ys()[k]));
        }
        line->replace(points);
        // Series4 never had a colour of its own: it keeps the chart's default.
        if (i < 3) {
            line->setPen(QPen(toQColor(source.colour(), source.transparencyPercent()), 1));
        }
        line->setVisible(source.active());
    }
}

void DiameterChart::drawAxes() {
    // An empty chart shows the night and the diameters the model gives it, so that what is on
    // screen and what the zoom buttons step from are the same.
    const axis_scale::Scale time = axis_scale::scaleFor(AxisId::Bottom, model_.axis(AxisId::Bottom),
                                                        model_.fittedRange(AxisId::Bottom));
    const axis_scale::Scale mm = axis_scale::scaleFor(AxisId::Left, model_.axis(AxisId::Left),
                                                      model_.fittedRange(AxisId::Left));

    const QStringList oldLabels = timeAxis_->categoriesLabels();
    for (const QString& label : oldLabels) {
        timeAxis_->remove(label);
    }
    timeAxis_->setStartValue(time.min);
    // A category label must be unique; over more than a day the same time of day comes again,
    // and a trailing blank keeps the repeated label apart without changing what is read.
    QStringList used;
    for (double x = axis_scale::firstTick(time.min, time.step); x <= time.max + 1e-9;
         x += time.step) {
        QString label = QString::fromStdString(axis_scale::timeLabel(x));
        while (used.contains(label)) {
            label += ' ';
        }
        used.append(label);
        timeAxis_->append(label, x);
    }
    timeAxis_->setRange(time.min, time.max);

    diameterAxis_->setTickInterval(mm.step);
    diameterAxis_->setRange(mm.min, mm.max);

    // The zoom buttons start from what is on screen.
    model_.reportDrawnRange(AxisId::Bottom, {time.min, time.max});
    model_.reportDrawnRange(AxisId::Left, {mm.min, mm.max});
}

void DiameterChart::setEpisodeBands(std::vector<TimeSpan> bands) {
    if (bands != bands_) {
        bands_ = std::move(bands);
        viewport()->update();
    }
}

void DiameterChart::setUnusableBands(std::vector<TimeSpan> bands) {
    if (bands != unusable_) {
        unusable_ = std::move(bands);
        viewport()->update();
    }
}

void DiameterChart::setBaseline(ChartLine line) {
    baseline_ = std::move(line);
    viewport()->update();
}

QRectF DiameterChart::bandOnScreen(const TimeSpan& span) const {
    const QRectF plot = chart()->plotArea();
    const double from = chart()->mapToPosition(QPointF(span.from, 0), series_[1]).x();
    const double to = chart()->mapToPosition(QPointF(span.to, 0), series_[1]).x();
    const QRectF band(QPointF(std::max(from, plot.left()), plot.top()),
                      QPointF(std::min(to, plot.right()), plot.bottom()));
    return band.width() > 0 ? chart()->mapRectToScene(band) : QRectF();
}

void DiameterChart::drawBaseline(QPainter* painter) const {
    if (baseline_.empty()) {
        return;
    }
    // The axes map values to the plot linearly: two points give the whole mapping, so that a
    // night's thousands of samples cost no lookup each.
    const QPointF origin = chart()->mapToScene(chart()->mapToPosition(QPointF(0, 0), series_[1]));
    const QPointF unit = chart()->mapToScene(chart()->mapToPosition(QPointF(1, 1), series_[1]));
    const double kx = unit.x() - origin.x();
    const double ky = unit.y() - origin.y();
    // One point per pixel column is all a screen shows; a break in the line is always kept.
    QPainterPath path;
    bool drawing = false;
    double lastX = 0;
    QPointF pending;
    bool hasPending = false;
    for (std::size_t i = 0; i < baseline_.times.size(); ++i) {
        const double mm = baseline_.mm[i];
        if (std::isnan(mm)) {
            if (hasPending) {
                path.lineTo(pending);
            }
            drawing = hasPending = false;
            continue;
        }
        const QPointF point(origin.x() + baseline_.times[i] * kx, origin.y() + mm * ky);
        if (!drawing) {
            path.moveTo(point);
            drawing = true;
            lastX = point.x();
            hasPending = false;
        } else if (std::abs(point.x() - lastX) >= 1) {
            path.lineTo(point);
            lastX = point.x();
            hasPending = false;
        } else {
            pending = point;
            hasPending = true;
        }
    }
    if (hasPending) {
        path.lineTo(pending);
    }
    // A quiet reference: dark grey, thin and dashed, so the curve over it stays what is read.
    static const QColor kBaseline(80, 80, 80);
    QPen pen(kBaseline, 1.2, Qt::CustomDashLine, Qt::FlatCap, Qt::RoundJoin);
    pen.setDashPattern({5, 3});
    painter->save();
    painter->setClipRect(chart()->mapRectToScene(chart()->plotArea()));
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    painter->restore();
}

void DiameterChart::drawBackground(QPainter* painter, const QRectF& rect) {
    QChartView::drawBackground(painter, rect);
    drawBands(painter);
    // Over the bands, under the grid and the curves.
    drawBaseline(painter);
}

void DiameterChart::drawBands(QPainter* painter) const {
    if (bands_.empty() && unusable_.empty()) {
        return;
    }
    // Light bands over the whole height of the plot, clipped to the time on screen; the grid and
    // the curves are drawn over them. Grey where the analysis could not use the recording (as on
    // the report), amber for the episodes, numbered as in the analysis table.
    static const QColor kUnusable(150, 150, 150, 70);
    static const QColor kBand(255, 196, 120, 110);
    static const QColor kNumber(200, 110, 20);
    const QRectF plot = chart()->plotArea();
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(kUnusable);
    for (const TimeSpan& span : unusable_) {
        const QRectF scene = bandOnScreen(span);
        if (!scene.isEmpty()) {
            painter->drawRect(scene);
        }
    }
    QFont numberFont = font();
    numberFont.setPixelSize(10);
    numberFont.setBold(true);
    painter->setFont(numberFont);
    double numbersEnd =
        chart()->mapToScene(plot.topLeft()).x() - 1;  // crowded numbers are left out
    for (std::size_t i = 0; i < bands_.size(); ++i) {
        const QRectF scene = bandOnScreen(bands_[i]);
        if (scene.isEmpty()) {
            continue;
        }
        painter->setPen(Qt::NoPen);
        painter->setBrush(kBand);
        painter->drawRect(scene);
        const QString number = QString::number(i + 1);
        const double width = painter->fontMetrics().horizontalAdvance(number) + 2;
        if (scene.center().x() - width / 2 > numbersEnd) {
            painter->setPen(kNumber);
            painter->drawText(QRectF(scene.center().x() - width / 2, scene.top() + 1, width, 12),
                              Qt::AlignCenter, number);
            numbersEnd = scene.center().x() + width / 2;
        }
    }
    painter->restore();
}

void DiameterChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        bandOrigin_ = event->position().toPoint();
        if (band_ == nullptr) {
            band_ = new QRubberBand(QRubberBand::Rectangle, this);
        }
        band_->setGeometry(QRect(bandOrigin_, QSize()));
        band_->show();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        model_.undoZoom();
        redraw();
        if (onZoomed_) {
            onZoomed_();
        }
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void DiameterChart::mouseMoveEvent(QMouseEvent* event) {
    if (band_ != nullptr && band_->isVisible()) {
        band_->setGeometry(QRect(bandOrigin_, event->position().toPoint()).normalized());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void DiameterChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || band_ == nullptr || !band_->isVisible()) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    band_->hide();
    const QRect rect = QRect(bandOrigin_, event->position().toPoint()).normalized();
    event->accept();
    // A click or a slip of the hand is no zoom.
    if (rect.width() < 4 || rect.height() < 4) {
        return;
    }
    const QPointF topLeft =
        chart()->mapToValue(chart()->mapFromScene(mapToScene(rect.topLeft())), series_[1]);
    const QPointF bottomRight =
        chart()->mapToValue(chart()->mapFromScene(mapToScene(rect.bottomRight())), series_[1]);
    model_.mouseZoom({topLeft.x(), bottomRight.x()}, {bottomRight.y(), topLeft.y()});
    redraw();
    if (onZoomed_) {
        onZoomed_();
    }
}

}  // namespace npt
