// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/line_series.h"

#include <algorithm>

namespace npt {

namespace {
std::optional<ValueRange> rangeOf(const std::vector<double>& values) {
    if (values.empty()) {
        return std::nullopt;
    }
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return ValueRange{*lo, *hi};
}
}  // namespace

std::optional<ValueRange> LineSeries::xRange() const {
    return rangeOf(xs_);
}
std::optional<ValueRange> LineSeries::yRange() const {
    return rangeOf(ys_);
}

}  // namespace npt
