// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night as the analysis sees it: the sample bytes, the sample period and the time of day of
// the first sample, exactly as the graph is built from them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "recorder/memory_image.h"

namespace npt {

// The part of the night the doctor has the analysis look at: from lights-out to the sensor's
// removal, seconds from the first sample, the end excluded.
struct AnalysisWindow {
    int start_s = 0;
    int end_s = 0;
    bool operator==(const AnalysisWindow&) const = default;
};

struct NightRecording {
    NightRecording() = default;
    NightRecording(std::span<const std::uint8_t> samples, std::uint8_t periodSeconds,
                   int startSeconds, std::optional<std::string> notARecording = std::nullopt)
        : samples(samples),
          periodSeconds(periodSeconds),
          startSeconds(startSeconds),
          notARecording(std::move(notARecording)) {}

    // One byte per sample period, the oldest first; 0xFF is a position the recorder never wrote.
    std::span<const std::uint8_t> samples;
    // Seconds between samples, as the recorder link holds it; 0 when no passport has given it
    // yet (the night then has no time axis).
    std::uint8_t periodSeconds = 0;
    // Time of day of the first sample, seconds since midnight (the study's start time).
    int startSeconds = 0;
    // Why the bytes are not a recorder's memory as a read leaves it (whyNotARecording); nothing
    // when they are. Such bytes are not analysed: their "episodes" would be read as findings.
    std::optional<std::string> notARecording;
    // Set by the doctor's review: the samples outside are left out of the analysis as a
    // stretch of their own (Fault::OutsideWindow). None: the whole night.
    std::optional<AnalysisWindow> window;
};

// The 4320 sample positions of the image with the given period and start, and whether the image
// is a recording at all. The recording refers to the image's bytes: the image must outlive it.
NightRecording nightRecordingOf(const MemoryImage& image, std::uint8_t periodSeconds,
                                int startSeconds);

// Sample bytes at the ends of the measuring range: the sensor reads below 9,6 mm or above
// 60,4 mm and the true diameter is unknown.
inline constexpr std::uint8_t kRangeLowByte = 0;
inline constexpr std::uint8_t kRangeHighByte = 254;

inline bool atRangeEnd(std::uint8_t sample) {
    return sample == kRangeLowByte || sample == kRangeHighByte;
}

// Number of positions up to and including the last one the recorder wrote; the positions after
// it are the unwritten rest of the memory, not a part of the night.
std::size_t writtenLength(std::span<const std::uint8_t> samples);

}  // namespace npt
