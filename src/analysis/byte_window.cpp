// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/byte_window.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace npt {

void ByteWindow::add(std::uint8_t value) {
    ++counts_[value];
    ++size_;
    if (value < cursor_) {
        ++below_;
    }
}

void ByteWindow::remove(std::uint8_t value) {
    --counts_[value];
    --size_;
    if (value < cursor_) {
        --below_;
    }
}

int ByteWindow::countWithin(int low, int high) const {
    int count = 0;
    for (int v = std::max(low, 0); v <= std::min(high, 255); ++v) {
        count += counts_[v];
    }
    return count;
}

int ByteWindow::valueAtRank(int rank) {
    while (below_ > rank) {
        --cursor_;
        below_ -= counts_[cursor_];
    }
    while (below_ + counts_[cursor_] <= rank) {
        below_ += counts_[cursor_];
        ++cursor_;
    }
    return cursor_;
}

double ByteWindow::interpolatedQuantile(double fraction) {
    const double position = fraction * size_;
    const int value = valueAtRank(std::min(static_cast<int>(position), size_ - 1));
    return value - 0.5 + (position - below_) / counts_[value];
}

namespace {
// Slides a centred window of 2 * halfWidth + 1 positions over series and calls reduce(i, window)
// for every position i; missing values are left out of the window.
template <class Reduce>
void slide(std::span<const int> series, int halfWidth, Reduce reduce) {
    const auto n = static_cast<std::ptrdiff_t>(series.size());
    ByteWindow window;
    const auto admit = [&](std::ptrdiff_t j) {
        if (j >= 0 && j < n && series[j] != kNoValue) {
            window.add(static_cast<std::uint8_t>(series[j]));
        }
    };
    const auto drop = [&](std::ptrdiff_t j) {
        if (j >= 0 && j < n && series[j] != kNoValue) {
            window.remove(static_cast<std::uint8_t>(series[j]));
        }
    };
    for (std::ptrdiff_t j = 0; j < halfWidth && j < n; ++j) {
        admit(j);
    }
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        admit(i + halfWidth);
        drop(i - halfWidth - 1);
        reduce(static_cast<std::size_t>(i), window);
    }
}
}  // namespace

std::vector<int> slidingQuantile(std::span<const int> series, int halfWidth, double fraction) {
    std::vector<int> out(series.size(), kNoValue);
    slide(series, halfWidth, [&](std::size_t i, ByteWindow& window) {
        if (window.size() > 0) {
            const auto rank = static_cast<int>(std::floor(fraction * (window.size() - 1)));
            out[i] = window.valueAtRank(rank);
        }
    });
    return out;
}

std::vector<int> slidingQuantileOfWidth(std::span<const int> series, int width, double fraction) {
    const auto n = static_cast<std::ptrdiff_t>(series.size());
    std::vector<int> out(series.size(), kNoValue);
    ByteWindow window;
    std::ptrdiff_t low = 0;  // the window is [low, high)
    std::ptrdiff_t high = 0;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        const std::ptrdiff_t wantLow =
            std::clamp<std::ptrdiff_t>(i - width / 2, 0, std::max<std::ptrdiff_t>(n - width, 0));
        const std::ptrdiff_t wantHigh = std::min(n, wantLow + width);
        for (; high < wantHigh; ++high) {
            if (series[high] != kNoValue) {
                window.add(static_cast<std::uint8_t>(series[high]));
            }
        }
        for (; low < wantLow; ++low) {
            if (series[low] != kNoValue) {
                window.remove(static_cast<std::uint8_t>(series[low]));
            }
        }
        if (window.size() > 0) {
            const auto rank = static_cast<int>(std::floor(fraction * (window.size() - 1)));
            out[i] = window.valueAtRank(rank);
        }
    }
    return out;
}

std::vector<double> slidingInterpolatedQuantile(std::span<const int> series, int halfWidth,
                                                double fraction, int minCount) {
    std::vector<double> out(series.size(), std::numeric_limits<double>::quiet_NaN());
    slide(series, halfWidth, [&](std::size_t i, ByteWindow& window) {
        if (window.size() >= std::max(minCount, 1)) {
            out[i] = window.interpolatedQuantile(fraction);
        }
    });
    return out;
}

}  // namespace npt
