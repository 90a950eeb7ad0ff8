// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/night_plot.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "measure/time_of_day.h"

namespace npt::plot {
namespace {

// Less than a microsecond of a day or a mm: a tick that sits on the maximum up to rounding.
constexpr double kEpsilon = 1e-9;

QFontMetricsF metricsOn(const QPainter& painter, const QFont& font) {
    return painter.device() != nullptr ? QFontMetricsF(font, painter.device())
                                       : QFontMetricsF(font);
}

// The points of one pixel column reduced to what a screen can show of them: where the line
// enters the column, its lowest and highest points and where it leaves. The drawing is the
// same as with every point, at a cost that follows the plot's width, not the night's length.
class ColumnReducer {
  public:
    explicit ColumnReducer(QPolygonF& out) : out_(out) {}

    void add(const QPointF& point) {
        const auto column = static_cast<long long>(std::floor(point.x()));
        if (count_ > 0 && column != column_) {
            flush();
        }
        if (count_ == 0) {
            column_ = column;
            first_ = low_ = high_ = point;
            lowIndex_ = highIndex_ = 0;
        }
        if (point.y() < low_.y()) {
            low_ = point;
            lowIndex_ = count_;
        }
        if (point.y() > high_.y()) {
            high_ = point;
            highIndex_ = count_;
        }
        last_ = point;
        ++count_;
    }

    void flush() {
        if (count_ == 0) {
            return;
        }
        push(first_);
        if (lowIndex_ < highIndex_) {
            push(low_);
            push(high_);
        } else {
            push(high_);
            push(low_);
        }
        push(last_);
        count_ = 0;
    }

  private:
    void push(const QPointF& point) {
        if (out_.isEmpty() || out_.last() != point) {
            out_.append(point);
        }
    }

    QPolygonF& out_;
    long long column_ = 0;
    QPointF first_, low_, high_, last_;
    std::size_t lowIndex_ = 0, highIndex_ = 0, count_ = 0;
};

// The line through the points on screen and one beyond each side, so that it runs out of the
// plot instead of stopping short of its edges; broken where a value is NaN.
std::vector<QPolygonF> linesOf(const Frame& frame, const std::vector<double>& times,
                               const std::vector<double>& mm) {
    std::vector<QPolygonF> lines;
    const std::size_t n = std::min(times.size(), mm.size());
    if (n == 0) {
        return lines;
    }
    const auto end = times.begin() + static_cast<std::ptrdiff_t>(n);
    auto from = std::lower_bound(times.begin(), end, frame.time().min);
    auto to = std::upper_bound(from, end, frame.time().max);
    from = from == times.begin() ? from : from - 1;
    to = to == end ? to : to + 1;
    QPolygonF line;
    ColumnReducer reducer(line);
    const auto finish = [&] {
        reducer.flush();
        if (line.size() > 1) {
            lines.push_back(line);
        }
        line.clear();
    };
    for (auto it = from; it != to; ++it) {
        const auto i = static_cast<std::size_t>(it - times.begin());
        if (std::isnan(mm[i])) {
            finish();
            continue;
        }
        reducer.add(frame.pointOf(times[i], mm[i]));
    }
    finish();
    return lines;
}

// The part of a span inside the plot, as a strip over its height; empty when none of it is.
QRectF stripOf(const Frame& frame, const TimeSpan& span, double narrowest) {
    const QRectF& plot = frame.plot();
    if (span.to < frame.time().min || span.from > frame.time().max) {
        return {};
    }
    double a = std::clamp(frame.xOf(span.from), plot.left(), plot.right());
    double b = std::clamp(frame.xOf(span.to), plot.left(), plot.right());
    if (b - a < narrowest) {
        const double middle = (a + b) / 2;
        a = std::max(plot.left(), middle - narrowest / 2);
        b = std::min(plot.right(), a + narrowest);
    }
    return b > a ? QRectF(QPointF(a, plot.top()), QPointF(b, plot.bottom())) : QRectF();
}

void paintBands(QPainter& painter, const Frame& frame, const Style& style,
                const NightLayers& layers) {
    painter.setPen(Qt::NoPen);
    if (layers.leftOut != nullptr) {
        painter.setBrush(style.leftOut);
        for (const TimeSpan& span : *layers.leftOut) {
            const QRectF strip = stripOf(frame, span, style.narrowestBand);
            if (!strip.isEmpty()) {
                painter.drawRect(strip);
            }
        }
    }
    if (layers.episodes == nullptr) {
        return;
    }
    painter.setBrush(style.band);
    for (const TimeSpan& span : *layers.episodes) {
        const QRectF strip = stripOf(frame, span, style.narrowestBand);
        if (!strip.isEmpty()) {
            painter.drawRect(strip);
        }
    }
    if (layers.highlighted != nullptr) {
        const QRectF strip = stripOf(frame, *layers.highlighted, style.narrowestBand);
        if (!strip.isEmpty()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(style.highlight, 2));
            painter.drawRect(strip.adjusted(1, 1, -1, -1));
            painter.setPen(Qt::NoPen);
        }
    }
}

// Over the curves, on a patch of the band's colour, so that a curve running along the top of
// the plot does not hide which episode it is.
void paintNumbers(QPainter& painter, const Frame& frame, const Style& style,
                  const NightLayers& layers) {
    if (layers.episodes == nullptr) {
        return;
    }
    const QFontMetricsF metrics = metricsOn(painter, style.numberFont);
    painter.setFont(style.numberFont);
    // Numbered as in the analysis table; a number that would run into the one before is left
    // out rather than drawn over it.
    double numbersEnd = frame.plot().left() - 1;
    for (std::size_t i = 0; i < layers.episodes->size(); ++i) {
        const QRectF strip = stripOf(frame, (*layers.episodes)[i], style.narrowestBand);
        if (strip.isEmpty()) {
            continue;
        }
        const QString number = QString::number(i + 1);
        const double width = metrics.horizontalAdvance(number) + 4 * style.axisWidth;
        const double middle = strip.center().x();
        if (middle - width / 2 > numbersEnd) {
            const QRectF box(middle - width / 2, strip.top() + style.axisWidth, width,
                             metrics.height());
            painter.fillRect(box, style.numberPatch);
            painter.setPen(style.number);
            painter.drawText(box, Qt::AlignCenter, number);
            numbersEnd = middle + width / 2;
        }
    }
}

void paintGrid(QPainter& painter, const Frame& frame, const Style& style) {
    const QRectF& plot = frame.plot();
    painter.setPen(QPen(style.grid, style.gridWidth));
    for (double t : ticks(frame.time())) {
        painter.drawLine(QPointF(frame.xOf(t), plot.top()), QPointF(frame.xOf(t), plot.bottom()));
    }
    for (double v : ticks(frame.mm())) {
        painter.drawLine(QPointF(plot.left(), frame.yOf(v)), QPointF(plot.right(), frame.yOf(v)));
    }
}

void paintLines(QPainter& painter, const Frame& frame, const Style& style,
                const NightLayers& layers) {
    painter.setBrush(Qt::NoBrush);
    if (layers.baseline != nullptr) {
        // A quiet reference, thin and dashed, so that the curve over it stays what is read.
        QPen dashed(style.baseline, style.baselineWidth, Qt::CustomDashLine, Qt::FlatCap,
                    Qt::RoundJoin);
        dashed.setDashPattern(style.baselineDash);
        painter.setPen(dashed);
        for (const QPolygonF& line : linesOf(frame, layers.baseline->times, layers.baseline->mm)) {
            painter.drawPolyline(line);
        }
    }
    for (const Curve& curve : layers.curves) {
        if (curve.times == nullptr || curve.mm == nullptr) {
            continue;
        }
        painter.setPen(
            QPen(curve.colour, style.curveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& line : linesOf(frame, *curve.times, *curve.mm)) {
            painter.drawPolyline(line);
        }
    }
}

void paintAxes(QPainter& painter, const Frame& frame, const Style& style) {
    const QRectF& plot = frame.plot();
    painter.setPen(QPen(style.ink, style.axisWidth));
    painter.drawLine(plot.topLeft(), plot.bottomLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    const QFontMetricsF metrics = metricsOn(painter, style.tickFont);
    painter.setFont(style.tickFont);
    const double textTop = plot.bottom() + style.tickLength + style.gap;
    const std::vector<double> times = ticks(frame.time());
    const QStringList timeLabels = timeTexts(frame.time(), style);
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double x = frame.xOf(times[i]);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + style.tickLength));
        const QString& text = timeLabels[static_cast<qsizetype>(i)];
        const double width = metrics.horizontalAdvance(text) + 2;
        painter.drawText(QRectF(x - width / 2, textTop, width, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, text);
    }
    const double textRight = plot.left() - style.tickLength - style.gap;
    double widest = 0;
    for (double v : ticks(frame.mm())) {
        const double y = frame.yOf(v);
        painter.drawLine(QPointF(plot.left() - style.tickLength, y), QPointF(plot.left(), y));
        const QString text = diameterText(v);
        const double width = metrics.horizontalAdvance(text) + 2;
        widest = std::max(widest, width);
        painter.drawText(
            QRectF(textRight - width, y - metrics.height() / 2, width, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, text);
    }

    const QFontMetricsF titleMetrics = metricsOn(painter, style.titleFont);
    painter.setFont(style.titleFont);
    painter.setPen(style.titleInk);
    const double titleHeight = titleMetrics.height();
    const double underTexts = textTop + metrics.height() + style.gap;
    if (style.titles == TitlePlace::AlongAxes) {
        painter.drawText(QRectF(plot.left(), underTexts, plot.width(), titleHeight),
                         Qt::AlignHCenter | Qt::AlignTop, style.timeTitle);
        painter.save();
        painter.translate(textRight - widest - style.gap - titleHeight / 2, plot.center().y());
        painter.rotate(-90);
        painter.drawText(QRectF(-plot.height() / 2, -titleHeight / 2, plot.height(), titleHeight),
                         Qt::AlignCenter, style.diameterTitle);
        painter.restore();
    } else {
        const double width = titleMetrics.horizontalAdvance(style.timeTitle) + 2;
        painter.drawText(QRectF(plot.right() - width, underTexts, width, titleHeight),
                         Qt::AlignRight | Qt::AlignTop, style.timeTitle);
        // Above the top tick's text, which stands half over the plot's top.
        const double left = textRight - widest;
        painter.drawText(
            QRectF(left, plot.top() - metrics.height() / 2 - titleHeight,
                   titleMetrics.horizontalAdvance(style.diameterTitle) + 2, titleHeight),
            Qt::AlignLeft | Qt::AlignBottom, style.diameterTitle);
    }
}

}  // namespace

Frame::Frame(const QRectF& plot, const axis_scale::Scale& time, const axis_scale::Scale& mm)
    : plot_(plot), time_(time), mm_(mm) {
    const double timeSpan = time.max > time.min ? time.max - time.min : 1;
    const double mmSpan = mm.max > mm.min ? mm.max - mm.min : 1;
    kx_ = plot.width() / timeSpan;
    x0_ = plot.left() - time.min * kx_;
    ky_ = -plot.height() / mmSpan;
    y0_ = plot.bottom() - mm.min * ky_;
}

QPointF Frame::valueAt(const QPointF& point) const {
    return {(point.x() - x0_) / kx_, (point.y() - y0_) / ky_};
}

std::vector<double> ticks(const axis_scale::Scale& scale) {
    std::vector<double> out;
    if (!(scale.step > 0) || scale.max < scale.min) {
        return out;
    }
    // Counted, not summed, so that a long axis gathers no rounding on its last ticks.
    const double first = axis_scale::firstTick(scale.min, scale.step);
    for (int i = 0;; ++i) {
        const double tick = first + i * scale.step;
        if (tick > scale.max + kEpsilon) {
            break;
        }
        out.push_back(tick);
    }
    return out;
}

std::string secondsTickText(double days) {
    return clockText(std::llround(days * kSecondsPerDay), '.');
}

std::string minutesTickText(double days) {
    // The report's ticks fall on whole minutes; the nearest second keeps one a hair below
    // its minute in it.
    return hourMinuteText(std::llround(days * kSecondsPerDay));
}

QStringList timeTexts(const axis_scale::Scale& scale, const Style& style) {
    QStringList texts;
    for (double t : ticks(scale)) {
        texts.append(QString::fromStdString(style.timeText(t)));
    }
    return texts;
}

QString diameterText(double mm) {
    // Tenths of a millimetre on a deep zoom, with the decimal comma; a tick on a whole
    // millimetre shows no zero tenths.
    static const QLocale russian = [] {
        QLocale locale(QLocale::Russian, QLocale::Russia);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale;
    }();
    return russian.toString(std::round(mm * 10) / 10, 'g', 5);
}

QRectF plotWithin(const QRectF& area, const axis_scale::Scale& mm, const Style& style) {
    const QFontMetricsF metrics(style.tickFont);
    const double titleHeight = QFontMetricsF(style.titleFont).height();
    double widest = 0;
    for (double v : ticks(mm)) {
        widest = std::max(widest, metrics.horizontalAdvance(diameterText(v)) + 2);
    }
    double left = area.left() + widest + style.gap + style.tickLength;
    double top = area.top() + metrics.height() / 2;
    const double bottom =
        area.bottom() - style.tickLength - style.gap - metrics.height() - style.gap - titleHeight;
    if (style.titles == TitlePlace::AlongAxes) {
        left += titleHeight + style.gap;
    } else {
        top += titleHeight;
    }
    return QRectF(QPointF(left, top),
                  QPointF(std::max(left + 1, area.right()), std::max(top + 1, bottom)));
}

void paintNight(QPainter& painter, const Frame& frame, const Style& style,
                const NightLayers& layers) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.save();
    painter.setClipRect(frame.plot(), Qt::IntersectClip);
    // The bands first, so that the grid and the curves stay on top of them.
    paintBands(painter, frame, style, layers);
    paintGrid(painter, frame, style);
    paintLines(painter, frame, style, layers);
    paintNumbers(painter, frame, style, layers);
    painter.restore();
    paintAxes(painter, frame, style);
    painter.restore();
}

}  // namespace npt::plot
