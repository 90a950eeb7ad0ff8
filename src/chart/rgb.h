// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

namespace npt {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colours {
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kDarkGreen{0, 128, 0};
inline constexpr Rgb kCream{255, 251, 240};
inline constexpr Rgb kMoneyGreen{192, 220, 192};
inline constexpr Rgb kWhite{255, 255, 255};
}  // namespace colours

}  // namespace npt
