// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The diameter chart: draws the chart model (titles, axes on round ticks, the four series) and
// turns a rubber band drawn with the left mouse button into a zoom of the model; the right
// button undoes it. Every range on screen comes from the model and is reported back to it.
// Behind the curves, the night's episodes as given are shaded and numbered, and the baseline
// they were measured against is drawn as a thin dashed line.
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/night_report.h"
#include "chart/chart_model.h"

class QRubberBand;

namespace npt {

class DiameterChart : public QChartView {
  public:
    DiameterChart(ChartModel& model, QWidget* parent);

    // Draws the model anew when it changed since the last drawing (or always when forced).
    void redraw(bool force = false);
    // Called after a mouse zoom or its undo changed the model.
    void setOnZoomed(std::function<void()> onZoomed) { onZoomed_ = std::move(onZoomed); }
    // The episodes to shade, on the time axis; drawn at the next paint.
    void setEpisodeBands(std::vector<TimeSpan> bands);
    const std::vector<TimeSpan>& episodeBands() const { return bands_; }
    // The stretches the analysis could not use, shaded grey; drawn at the next paint.
    void setUnusableBands(std::vector<TimeSpan> bands);
    const std::vector<TimeSpan>& unusableBands() const { return unusable_; }
    // The analysis' baseline, dashed under the curves and broken where it is NaN; drawn at the
    // next paint.
    void setBaseline(ChartLine line);
    const ChartLine& baseline() const { return baseline_; }

    QLineSeries* series(int index) const { return series_[index]; }
    QCategoryAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* diameterAxis() const { return diameterAxis_; }

  protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drawSeries();
    void drawAxes();
    // The span's part on screen as a strip over the plot's height, in scene coordinates; empty
    // when none of it is on screen.
    QRectF bandOnScreen(const TimeSpan& span) const;
    void drawBands(QPainter* painter) const;
    void drawBaseline(QPainter* painter) const;

    ChartModel& model_;
    std::array<QLineSeries*, 4> series_{};
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* diameterAxis_ = nullptr;
    QRubberBand* band_ = nullptr;
    QPoint bandOrigin_;
    std::uint64_t drawnRevision_ = UINT64_MAX;
    std::function<void()> onZoomed_;
    std::vector<TimeSpan> bands_;
    std::vector<TimeSpan> unusable_;
    ChartLine baseline_;
};

}  // namespace npt
