// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_model.h"

#include <algorithm>

namespace npt {

ChartModel::ChartModel()
    : s1_(colours::kRed, 0, true),
      s2_(colours::kRed, 30, true),
      s3_(colours::kRed, 35, true),
      s4_(Rgb{0, 0, 0}, 0, false) {}

void ChartModel::changed() {
    drawnLeft_.reset();
    drawnBottom_.reset();
    ++revision_;
}

void ChartModel::recompute() {
    computeMovingAverage(s1_, settings_, s2_);
    changed();
}

void ChartModel::clearSeries1() {
    s1_.clear();
    s2_.clear();
    changed();
}

void ChartModel::clearSeries3() {
    s3_.clear();
    changed();
}

void ChartModel::addRawPoint(double x, double y) {
    s1_.addXY(x, y);
    ++revision_;
}

void ChartModel::checkDataSource() {
    recompute();
}

void ChartModel::setSeries1Active(bool active) {
    s1_.setActive(active);
    changed();
}

void ChartModel::setSeries2Colour(Rgb colour) {
    s2_.setColour(colour);
    ++revision_;
}

void ChartModel::setPeriod(double period) {
    if (!(period >= 0)) {  // NaN is refused too
        throw ChartError(kPeriodRefused);
    }
    if (period == settings_.period) {
        return;
    }
    settings_.period = period;
    recompute();
}

void ChartModel::setPeriodAlign(PeriodAlign align) {
    if (align != settings_.align) {
        settings_.align = align;
        recompute();
    }
}

void ChartModel::setWeighted(bool weighted) {
    if (weighted != settings_.weighted) {
        settings_.weighted = weighted;
        recompute();
    }
}

void ChartModel::setAxis(AxisId id, const AxisState& state) {
    (id == AxisId::Left ? left_ : bottom_) = state;
    (id == AxisId::Left ? drawnLeft_ : drawnBottom_).reset();
    ++revision_;
}

std::optional<ValueRange> ChartModel::dataRange(AxisId id) const {
    std::optional<ValueRange> result;
    for (const LineSeries* s : {&s1_, &s2_, &s3_, &s4_}) {
        if (!s->active()) {
            continue;
        }
        const auto r = id == AxisId::Left ? s->yRange() : s->xRange();
        if (!r) {
            continue;
        }
        result =
            result ? ValueRange{std::min(result->min, r->min), std::max(result->max, r->max)} : *r;
    }
    return result;
}

ValueRange ChartModel::fittedRange(AxisId id) const {
    return dataRange(id).value_or(id == AxisId::Left ? kEmptyDiameterRange : kEmptyTimeRange);
}

ValueRange ChartModel::currentRange(AxisId id) const {
    const AxisState& a = axis(id);
    const auto& drawn = id == AxisId::Left ? drawnLeft_ : drawnBottom_;
    const ValueRange automatic = drawn ? *drawn : fittedRange(id);
    return {a.automaticMinimum ? automatic.min : a.minimum,
            a.automaticMaximum ? automatic.max : a.maximum};
}

void ChartModel::reportDrawnRange(AxisId id, ValueRange range) {
    (id == AxisId::Left ? drawnLeft_ : drawnBottom_) = range;
}

void ChartModel::mouseZoom(ValueRange bottom, ValueRange left) {
    if (!beforeMouseZoom_) {
        beforeMouseZoom_ = std::make_pair(bottom_, left_);
    }
    bottom_ = {false, false, bottom.min, bottom.max};
    left_ = {false, false, left.min, left.max};
    drawnLeft_.reset();
    drawnBottom_.reset();
    ++revision_;
}

void ChartModel::undoZoom() {
    if (beforeMouseZoom_) {
        bottom_ = beforeMouseZoom_->first;
        left_ = beforeMouseZoom_->second;
        beforeMouseZoom_.reset();
        drawnLeft_.reset();
        drawnBottom_.reset();
        ++revision_;
    }
}

}  // namespace npt
