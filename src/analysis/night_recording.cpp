// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/night_recording.h"

#include "recorder/recording_check.h"

namespace npt {

NightRecording nightRecordingOf(const MemoryImage& image, std::uint8_t periodSeconds,
                                int startSeconds) {
    using namespace ImageOffsets;
    return {image.bytes().subspan(kSamples, kSampleCount), periodSeconds, startSeconds,
            whyNotARecording(image)};
}

std::size_t writtenLength(std::span<const std::uint8_t> samples) {
    std::size_t n = samples.size();
    while (n > 0 && samples[n - 1] == kErasedByte) {
        --n;
    }
    return n;
}

}  // namespace npt
