// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One line series of the chart: points kept as parallel X and Y lists, X in days.
#include <cstddef>
#include <optional>
#include <vector>

#include "chart/rgb.h"

namespace npt {

struct ValueRange {
    double min = 0;
    double max = 0;
    bool operator==(const ValueRange&) const = default;
};

class LineSeries {
  public:
    LineSeries(Rgb colour, int transparencyPercent, bool active)
        : colour_(colour), transparency_(transparencyPercent), active_(active) {}

    void clear() {
        xs_.clear();
        ys_.clear();
    }
    void reserve(std::size_t n) {
        xs_.reserve(n);
        ys_.reserve(n);
    }
    void addXY(double x, double y) {
        xs_.push_back(x);
        ys_.push_back(y);
    }

    std::size_t count() const { return xs_.size(); }
    bool empty() const { return xs_.empty(); }
    const std::vector<double>& xs() const { return xs_; }
    const std::vector<double>& ys() const { return ys_; }

    bool active() const { return active_; }
    void setActive(bool active) { active_ = active; }
    Rgb colour() const { return colour_; }
    void setColour(Rgb colour) { colour_ = colour; }
    int transparencyPercent() const { return transparency_; }

    std::optional<ValueRange> xRange() const;
    std::optional<ValueRange> yRange() const;

  private:
    std::vector<double> xs_;
    std::vector<double> ys_;
    Rgb colour_;
    int transparency_;
    bool active_;
};

}  // namespace npt
