// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes arbitrary bytes as a passport block (short inputs are padded with zeros) and as
// code-page text. Every byte value must yield some text, and times within the day.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "recorder/cp1251.h"
#include "recorder/passport.h"
#include "recorder/utf8.h"

namespace {
bool minuteOfTheDay(int minute) {
    return minute >= 0 && minute < 24 * 60;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    npt::MemoryImage image;
    std::copy_n(data, std::min(size, npt::MemoryImage::kSize), image.bytes().begin());
    for (bool hidden : {false, true}) {
        const npt::PassportFields f = npt::decodePassport(image, hidden);
        if (!npt::utf8::isValid(f.name) || !minuteOfTheDay(f.timeStart) ||
            !minuteOfTheDay(f.timeEnd)) {
            __builtin_trap();
        }
    }
    const std::string text = npt::cp1251::decode(std::span(data, size));
    const auto back = npt::cp1251::encode(text);
    if (!back || !std::equal(back->begin(), back->end(), data, data + size)) {
        __builtin_trap();  // every byte must survive the round trip
    }
    return 0;
}
