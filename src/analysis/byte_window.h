// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Order statistics (median, low percentiles) of a window that slides over byte values.
//
// The window keeps a count per byte value, so adding or removing a value costs O(1). The value
// of a given rank is found from a cursor kept at the last answer: neighbouring windows have
// neighbouring order statistics, so the cursor moves a few values per step and a whole pass
// over a night costs O(samples) instead of sorting every window.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace npt {

class ByteWindow {
  public:
    void add(std::uint8_t value);
    void remove(std::uint8_t value);
    int size() const { return size_; }
    // How many values in the window lie within [low, high].
    int countWithin(int low, int high) const;
    // The value of the given rank in ascending order, 0 <= rank < size().
    int valueAtRank(int rank);
    // The value below which the given fraction of the window lies, each byte value taken as
    // spread evenly over [value - 0,5, value + 0,5): between the steps of the bytes, so that the
    // median of a noisy level is not rounded to a whole step. Requires size() > 0.
    double interpolatedQuantile(double fraction);

  private:
    std::array<int, 256> counts_{};
    int size_ = 0;
    int cursor_ = 0;  // a byte value
    int below_ = 0;   // how many values in the window are less than cursor_
};

// A value of the series that is missing (not measured, or no measurement in the window).
inline constexpr int kNoValue = -1;

// For every position i, the value at the given fraction (0 = lowest, 0,5 = median) of the
// present values of series within [i - halfWidth, i + halfWidth]; kNoValue where that window
// holds none. The rank taken is floor(fraction * (count - 1)): the lower median for even counts.
// Values of series are bytes or kNoValue.
std::vector<int> slidingQuantile(std::span<const int> series, int halfWidth, double fraction);

// For every position i, the value at the given fraction of the present values of series within
// a window of `width` positions centred on i where the night allows and moved inside it near its
// ends, so that every window but those of a night shorter than `width` holds `width` positions.
std::vector<int> slidingQuantileOfWidth(std::span<const int> series, int width, double fraction);

// The same windows, each reduced to its interpolated quantile (ByteWindow::interpolatedQuantile)
// in byte units; NaN where the window holds fewer than minCount present values.
std::vector<double> slidingInterpolatedQuantile(std::span<const int> series, int halfWidth,
                                                double fraction, int minCount);

}  // namespace npt
