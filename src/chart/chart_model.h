// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the diameter chart shows: four line series, the smoothing of Series2 and the state of
// both axes. The window only draws this model; every number on screen comes from here.
//
//   Series1  raw diameter against time       red,  opaque,          active until a recording
//                                             is shown, then hidden for good
//   Series2  smoothed from Series1           red, then blue,  30 % transparent
//   Series3  cleared with the others, never filled          red,  35 % transparent
//   Series4  never filled, inactive
#include <cstdint>
#include <optional>

#include "chart/line_series.h"
#include "chart/moving_average.h"

namespace npt {

inline constexpr const char* kChartTitle = "График изменения ночной пенильной тумесценции";
inline constexpr const char* kBottomAxisTitle = "время, чч.мм.сс";
inline constexpr const char* kLeftAxisTitle = "диаметр, мм";
inline constexpr const char* kPeriodRefused = "Function Period should be >= 0";

// One axis: each end is either automatic (fitted to the data) or fixed by the user.
struct AxisState {
    bool automaticMinimum = true;
    bool automaticMaximum = true;
    double minimum = 0;  // used while the end is not automatic
    double maximum = 0;
    bool operator==(const AxisState&) const = default;
};

enum class AxisId { Left, Bottom };

// What an automatic axis shows while no curve is visible: the night from 22:00 to 10:00 (in
// days) and diameters from 0 to 50 mm. The zoom buttons step from this range as from any other.
inline constexpr ValueRange kEmptyTimeRange{22.0 / 24, 34.0 / 24};
inline constexpr ValueRange kEmptyDiameterRange{0, 50};

class ChartModel {
  public:
    ChartModel();

    LineSeries& series1() { return s1_; }
    const LineSeries& series1() const { return s1_; }
    const LineSeries& series2() const { return s2_; }
    const LineSeries& series3() const { return s3_; }
    const LineSeries& series4() const { return s4_; }

    // Series1 changes forward to Series2: a clear empties it, added points do not change it
    // until checkDataSource() recomputes it.
    void clearSeries1();
    void clearSeries3();
    void addRawPoint(double x, double y);
    void checkDataSource();  // recompute Series2 from Series1

    void setSeries1Active(bool active);
    void setSeries2Colour(Rgb colour);

    double period() const { return settings_.period; }
    // Throws ChartError("Function Period should be >= 0") for a negative value; the same value
    // does nothing; any other value recomputes Series2.
    void setPeriod(double period);
    const MovingAverageSettings& smoothing() const { return settings_; }
    void setPeriodAlign(PeriodAlign align);
    void setWeighted(bool weighted);

    const AxisState& axis(AxisId id) const { return id == AxisId::Left ? left_ : bottom_; }
    void setAxis(AxisId id, const AxisState& state);

    // The range of an axis as it is on screen: fixed ends as set, automatic ends as last
    // computed for drawing (reportDrawnRange), or the extremes of the visible curves (the empty
    // range above when there are none) while no drawing has been reported since the data last
    // changed.
    ValueRange currentRange(AxisId id) const;
    void reportDrawnRange(AxisId id, ValueRange range);
    // The extremes of the visible curves' values on that axis, if any point is visible.
    std::optional<ValueRange> dataRange(AxisId id) const;
    // What an automatic end follows: the visible curves, or the empty chart's range.
    ValueRange fittedRange(AxisId id) const;

    // A zoom made with the mouse on the chart, and its undo.
    void mouseZoom(ValueRange bottom, ValueRange left);
    void undoZoom();
    bool mouseZoomed() const { return beforeMouseZoom_.has_value(); }

    // Grows with every change, so that a view knows when to redraw.
    std::uint64_t revision() const { return revision_; }

  private:
    void recompute();
    void changed();

    LineSeries s1_;
    LineSeries s2_;
    LineSeries s3_;
    LineSeries s4_;
    MovingAverageSettings settings_;
    AxisState left_;
    AxisState bottom_;
    std::optional<ValueRange> drawnLeft_;
    std::optional<ValueRange> drawnBottom_;
    std::optional<std::pair<AxisState, AxisState>> beforeMouseZoom_;  // bottom, left
    std::uint64_t revision_ = 0;
};

}  // namespace npt
