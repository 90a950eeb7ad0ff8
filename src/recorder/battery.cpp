// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/battery.h"

namespace npt::battery {

int level(const MemoryImage& image) {
    return image.word(ImageOffsets::kBattery);
}

int millivolts(int level) {
    // Integer arithmetic keeps the truncation exact.
    return static_cast<int>(static_cast<long long>(level) * 879 / 1000);
}

namespace {
// Rounds value / unit to a whole number, halves to the even neighbour.
long long roundedDiv(long long value, long long unit) {
    long long q = value / unit;
    const long long r = value % unit;
    if (2 * r > unit || (2 * r == unit && (q % 2 != 0))) {
        ++q;
    }
    return q;
}
}  // namespace

std::string voltageText(int level) {
    const long long mv = millivolts(level);
    // Three significant digits: hundredths below 10 V, tenths from 10 V up; shown with two
    // decimals in both cases.
    const long long hundredths = mv < 10'000 ? roundedDiv(mv, 10) : roundedDiv(mv, 100) * 10;
    const long long whole = hundredths / 100;
    const long long frac = hundredths % 100;
    return std::to_string(whole) + "," + (frac < 10 ? "0" : "") + std::to_string(frac) + " В";
}

Warning warningFor(int level) {
    if (level <= kFlatLevel) {
        return Warning::Flat;
    }
    if (level <= kNearlyFlatLevel) {
        return Warning::NearlyFlat;
    }
    return Warning::None;
}

const char* warningText(Warning warning) {
    switch (warning) {
        case Warning::NearlyFlat:
            return "ВНИМАНИЕ! Батарея близка к разрядке! Возможны сбои при стирании и записи!";
        case Warning::Flat:
            return "ВНИМАНИЕ! Батарея разряжена! Возможны сбои при стирании и записи!";
        case Warning::None:
            break;
    }
    return "";
}

}  // namespace npt::battery
