// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Nights for the archive's tests: the example night under another patient's name, date,
// password and a variant byte, so that each is a night of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/cp1251.h"
#include "recorder/example_night.h"
#include "records/data_file.h"

namespace npt::test {

struct NightSpec {
    std::string name = "Иванов Иван Иванович";
    std::string password;  // empty: none
    int day = 9, month = 12, year = 26;
    int variant = 0;  // changes one sample: another night with the same passport

    NightSpec& named(std::string n) {
        name = std::move(n);
        return *this;
    }
    NightSpec& protectedBy(std::string p) {
        password = std::move(p);
        return *this;
    }
    NightSpec& on(int d, int m = 12, int y = 26) {
        day = d;
        month = m;
        year = y;
        return *this;
    }
    NightSpec& variantOf(int v) {
        variant = v;
        return *this;
    }
};

inline std::vector<std::uint8_t> nightFile(const NightSpec& spec) {
    MemoryImage image = exampleNight(spec.password);
    using namespace ImageOffsets;
    const auto name = cp1251::encode(spec.name).value();
    for (std::size_t i = 0; i < kNameLength; ++i) {
        image[kName + i] = i < name.size() ? name[i] : 0x00;
    }
    image[kDay] = static_cast<std::uint8_t>(spec.day);
    image[kMonth] = static_cast<std::uint8_t>(spec.month);
    image[kYear] = static_cast<std::uint8_t>(spec.year);
    image[kSamples + 7] = static_cast<std::uint8_t>(60 + spec.variant % 100);
    image[kSamples + 8] = static_cast<std::uint8_t>(60 + spec.variant / 100 % 100);
    return dataFileBytes(image);
}

}  // namespace npt::test
