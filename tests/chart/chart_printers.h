// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readable failure messages for the chart's value types.
#include <ostream>

#include "chart/chart_model.h"

namespace npt {

inline void PrintTo(const ValueRange& r, std::ostream* os) {
    *os << r.min << ".." << r.max;
}

inline void PrintTo(const AxisState& a, std::ostream* os) {
    *os << (a.automaticMinimum ? "auto" : "fixed ") << (a.automaticMinimum ? 0 : a.minimum) << " / "
        << (a.automaticMaximum ? "auto" : "fixed ") << (a.automaticMaximum ? 0 : a.maximum);
}

}  // namespace npt
