#include "analysis/byte_window.h"

#include <cmath>

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

std::vector<int> slidingQuantile(std::span<const int> series, int halfWidth, double fraction) {
    const auto n = static_cast<std::ptrdiff_t>(series.size());
    std::vector<int> out(series.size(), kNoValue);
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
        if (window.size() > 0) {
            const auto rank = static_cast<int>(std::floor(fraction * (window.size() - 1)));
            out[i] = window.valueAtRank(rank);
        }
    }
    return out;
}

}  // namespace npt
