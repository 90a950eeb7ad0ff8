#pragma once
// The diameter chart: draws the chart model (titles, axes on round ticks, the four series) and
// turns a rubber band drawn with the left mouse button into a zoom of the model; the right
// button undoes it. Every range on screen comes from the model and is reported back to it.
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <array>
#include <cstdint>
#include <functional>

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

    QLineSeries* series(int index) const { return series_[index]; }
    QCategoryAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* diameterAxis() const { return diameterAxis_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drawSeries();
    void drawAxes();

    ChartModel& model_;
    std::array<QLineSeries*, 4> series_{};
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* diameterAxis_ = nullptr;
    QRubberBand* band_ = nullptr;
    QPoint bandOrigin_;
    std::uint64_t drawnRevision_ = UINT64_MAX;
    std::function<void()> onZoomed_;
};

}  // namespace npt
