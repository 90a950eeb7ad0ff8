// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/memory_image.h"

#include <algorithm>
#include <stdexcept>

namespace npt {

MemoryImage MemoryImage::fromBytes(std::span<const std::uint8_t> source) {
    if (source.size() < kSize) {
        throw std::invalid_argument("memory image needs 4480 bytes");
    }
    MemoryImage image;
    std::copy_n(source.begin(), kSize, image.bytes_.begin());
    return image;
}

bool MemoryImage::passwordAbsent() const {
    const auto first = bytes_.begin() + ImageOffsets::kPassword;
    return std::all_of(first, first + ImageOffsets::kPasswordLength,
                       [](std::uint8_t b) { return b == kErasedByte; });
}

}  // namespace npt
