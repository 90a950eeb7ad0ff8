// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/diameter_chart.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <cmath>

namespace npt {
namespace {

// The chart's frame inside the widget, and the margins inside the frame: the left one keeps the
// value labels clear of the buttons laid over the chart's edge; the right one leaves room for
// the last time label.
constexpr int kFrameInset = 9;
constexpr QMarginsF kMargins{36, 2, 26, 2};
constexpr int kTitlePixels = 16;
constexpr int kAxisPixels = 11;
constexpr int kNumberPixels = 10;
const QColor kFrameColour(160, 160, 160);

QColor toQColor(Rgb c, int transparencyPercent) {
    QColor colour(c.r, c.g, c.b);
    colour.setAlphaF(static_cast<float>(1.0 - transparencyPercent / 100.0));
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

// Series4 never had a colour of its own; it is never filled either.
QColor seriesColour(const LineSeries& series, int index) {
    return index < 3 ? toQColor(series.colour(), series.transparencyPercent()) : QColor(Qt::black);
}

QFont pixelFont(const QFont& base, int pixels, bool bold = false) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A one-pixel line on a pixel's middle is drawn sharp, not smeared over two.
double onPixel(double v) {
    return std::floor(v) + 0.5;
}

}  // namespace

DiameterChart::DiameterChart(ChartModel& model, QWidget* parent)
    : QWidget(parent), model_(model), title_(QString::fromUtf8(kChartTitle)) {
    style_.tickFont = pixelFont(font(), kAxisPixels);
    style_.titleFont = pixelFont(font(), kAxisPixels);
    style_.numberFont = pixelFont(font(), kNumberPixels, true);
    style_.timeTitle = QString::fromUtf8(kBottomAxisTitle);
    style_.diameterTitle = QString::fromUtf8(kLeftAxisTitle);
    style_.titles = plot::TitlePlace::AlongAxes;
    redraw(true);
}

void DiameterChart::redraw(bool force) {
    if (!force && model_.revision() == drawnRevision_) {
        return;
    }
    takeRanges();
    drawnRevision_ = model_.revision();
    update();
}

void DiameterChart::takeRanges() {
    // An empty chart shows the night and the diameters the model gives it, so that what is on
    // screen and what the zoom buttons step from are the same.
    time_ = axis_scale::scaleFor(AxisId::Bottom, model_.axis(AxisId::Bottom),
                                 model_.fittedRange(AxisId::Bottom));
    mm_ = axis_scale::scaleFor(AxisId::Left, model_.axis(AxisId::Left),
                               model_.fittedRange(AxisId::Left));
    // The zoom buttons start from what is on screen.
    model_.reportDrawnRange(AxisId::Bottom, {time_.min, time_.max});
    model_.reportDrawnRange(AxisId::Left, {mm_.min, mm_.max});
}

void DiameterChart::setTitle(const QString& title) {
    if (title != title_) {
        title_ = title;
        update();
    }
}

void DiameterChart::setHighlight(std::optional<TimeSpan> span) {
    highlight_ = span;
    update();
}

void DiameterChart::setEpisodeBands(std::vector<TimeSpan> bands) {
    if (bands != bands_) {
        bands_ = std::move(bands);
        update();
    }
}

void DiameterChart::setUnusableBands(std::vector<TimeSpan> bands) {
    if (bands != unusable_) {
        unusable_ = std::move(bands);
        update();
    }
}

void DiameterChart::setBaseline(ChartLine line) {
    baseline_ = std::move(line);
    update();
}

DiameterChart::SeriesOnScreen DiameterChart::series(int index) const {
    const LineSeries& source = modelSeries(model_, index);
    return {source.count(), seriesColour(source, index), source.active()};
}

QStringList DiameterChart::timeTickTexts() const {
    return plot::timeTexts(time_, style_);
}

plot::Frame DiameterChart::frame() const {
    const QRectF chartFrame =
        QRectF(rect()).adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset);
    const double titleBottom =
        chartFrame.top() + 3 + QFontMetricsF(pixelFont(font(), kTitlePixels)).height();
    const QRectF area(
        QPointF(chartFrame.left() + kMargins.left(), titleBottom + kMargins.top()),
        QPointF(chartFrame.right() - kMargins.right(), chartFrame.bottom() - kMargins.bottom()));
    const QRectF plot = plot::plotWithin(area, mm_, style_);
    return plot::Frame(QRectF(QPointF(onPixel(plot.left()), onPixel(plot.top())),
                              QPointF(onPixel(plot.right()), onPixel(plot.bottom()))),
                       time_, mm_);
}

void DiameterChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The whole chart every time: a band or a number of the range shown before must not stay.
    const QRectF chartFrame = QRectF(rect()).adjusted(kFrameInset + 0.5, kFrameInset + 0.5,
                                                      -kFrameInset - 0.5, -kFrameInset - 0.5);
    painter.setPen(QPen(kFrameColour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(chartFrame);
    const QFont titleFont = pixelFont(font(), kTitlePixels);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(chartFrame.left(), chartFrame.top() + 3, chartFrame.width(),
                            QFontMetricsF(titleFont).height()),
                     Qt::AlignHCenter | Qt::AlignTop, title_);

    plot::NightLayers layers;
    for (int i = 0; i < 4; ++i) {
        const LineSeries& source = modelSeries(model_, i);
        if (source.active() && !source.empty()) {
            layers.curves.push_back({&source.xs(), &source.ys(), seriesColour(source, i)});
        }
    }
    layers.episodes = &bands_;
    layers.leftOut = &unusable_;
    layers.baseline = &baseline_;
    layers.highlighted = highlight_ ? &*highlight_ : nullptr;
    plot::paintNight(painter, frame(), style_, layers);
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
    QWidget::mousePressEvent(event);
}

void DiameterChart::mouseMoveEvent(QMouseEvent* event) {
    if (band_ != nullptr && band_->isVisible()) {
        band_->setGeometry(QRect(bandOrigin_, event->position().toPoint()).normalized());
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void DiameterChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || band_ == nullptr || !band_->isVisible()) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    band_->hide();
    const QRect rect = QRect(bandOrigin_, event->position().toPoint()).normalized();
    event->accept();
    // A click or a slip of the hand is no zoom.
    if (rect.width() < 4 || rect.height() < 4) {
        return;
    }
    const plot::Frame drawn = frame();
    const QPointF topLeft = drawn.valueAt(rect.topLeft());
    const QPointF bottomRight = drawn.valueAt(rect.bottomRight());
    model_.mouseZoom({topLeft.x(), bottomRight.x()}, {bottomRight.y(), topLeft.y()});
    redraw();
    if (onZoomed_) {
        onZoomed_();
    }
}

}  // namespace npt
