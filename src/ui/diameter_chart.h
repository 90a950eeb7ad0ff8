// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The diameter chart: paints the chart model (title, axes on round ticks, the visible series)
// with the night's drawing of `plot`, and turns a rubber band drawn with the left mouse button
// into a zoom of the model; the right button undoes it. Every range on screen comes from the
// model and is reported back to it. Behind the curves, the night's episodes as given are shaded
// and numbered, and the baseline they were measured against is drawn as a thin dashed line.
// Every change paints the whole chart anew, so that nothing of an earlier range stays on screen.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/night_report.h"
#include "chart/axis_scale.h"
#include "chart/chart_model.h"
#include "plot/night_plot.h"

class QRubberBand;

namespace npt {

class DiameterChart : public QWidget {
  public:
    DiameterChart(ChartModel& model, QWidget* parent);

    // Takes the model's ranges anew when it changed since the last drawing (or always when
    // forced) and paints the chart at the next frame.
    void redraw(bool force = false);
    // Called after a mouse zoom or its undo changed the model.
    void setOnZoomed(std::function<void()> onZoomed) { onZoomed_ = std::move(onZoomed); }
    void setTitle(const QString& title);
    const QString& title() const { return title_; }
    // The episodes to shade, on the time axis; drawn at the next paint.
    void setEpisodeBands(std::vector<TimeSpan> bands);
    const std::vector<TimeSpan>& episodeBands() const { return bands_; }
    // The stretches the analysis could not use, shaded grey; drawn at the next paint.
    void setUnusableBands(std::vector<TimeSpan> bands);
    // The episode picked in the analysis dialog, outlined; none: no outline.
    void setHighlight(std::optional<TimeSpan> span);
    const std::optional<TimeSpan>& highlight() const { return highlight_; }
    const std::vector<TimeSpan>& unusableBands() const { return unusable_; }
    // The analysis' baseline, dashed under the curves and broken where it is NaN; drawn at the
    // next paint.
    void setBaseline(ChartLine line);
    const ChartLine& baseline() const { return baseline_; }

    // What is drawn of the model's series (0 to 3): hidden series are not among the curves.
    struct SeriesOnScreen {
        std::size_t count = 0;
        QColor colour;
        bool visible = false;
    };
    SeriesOnScreen series(int index) const;
    // The ranges and ticks on screen, and the plot's rectangle in the widget.
    const axis_scale::Scale& timeScale() const { return time_; }
    const axis_scale::Scale& diameterScale() const { return mm_; }
    QStringList timeTickTexts() const;
    QRectF plotArea() const { return frame().plot(); }
    // A time and a diameter as a point of the widget.
    QPointF mapToPosition(double days, double mm) const { return frame().pointOf(days, mm); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    plot::Frame frame() const;
    void takeRanges();

    ChartModel& model_;
    plot::Style style_;
    QString title_;
    axis_scale::Scale time_;
    axis_scale::Scale mm_;
    QRubberBand* band_ = nullptr;
    QPoint bandOrigin_;
    std::uint64_t drawnRevision_ = UINT64_MAX;
    std::function<void()> onZoomed_;
    std::vector<TimeSpan> bands_;
    std::vector<TimeSpan> unusable_;
    std::optional<TimeSpan> highlight_;
    ChartLine baseline_;
};

}  // namespace npt
