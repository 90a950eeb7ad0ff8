// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Analyses arbitrary sample bytes with an arbitrary period, start time and parameters, and
// checks what every analysis must satisfy: episodes in order, inside the night, at least the
// minimum duration long and at least the merge gap apart unless a stretch left out or a new
// position of the sensor parts them; stretches left out in order, inside the night, never
// overlapping one another nor an episode; a summary that adds up; texts that are valid UTF-8.
// Parameters out of range must be refused, never used. The night's EDF+ file, with the sample
// bytes taken for a patient's name as well, must keep the format's shape: an ASCII header, whole
// data records, every sample's digital value the byte itself.
//
//   byte 0      sample period
//   bytes 1-2   start of the study, minutes (any value: times of night wrap at midnight)
//   bytes 3-6   threshold, minimum duration, merge gap, second threshold (partly out of range)
//   bytes 7-    the samples, at most 4320
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/analysis_text.h"
#include "analysis/night_analysis.h"
#include "recorder/utf8.h"
#include "records/edf_night.h"

namespace {

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void checkEdf(std::span<const std::uint8_t> samples, int period, int startSeconds,
              const npt::NightAnalysis& analysis) {
    npt::EdfNightSource source;
    source.samples = samples;
    source.periodSeconds = period;
    source.startSeconds = startSeconds;
    source.date = npt::CalendarDate{29, 2, 2028};
    source.name = std::string(samples.begin(),
                              samples.begin() + std::min<std::ptrdiff_t>(40, std::ssize(samples)));
    source.equipment = "npt-desk 0.1.0";
    const npt::EdfNight night = npt::edfNightOf(source, analysis);
    std::vector<std::uint8_t> bytes;
    try {
        bytes = npt::edfBytes(night);
    } catch (const std::invalid_argument&) {
        require(period < 1);
        return;
    }
    require(period >= 1);
    constexpr std::size_t kHeaderBytes = 256 * 3;
    require(bytes.size() > kHeaderBytes);
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        require(bytes[i] >= 0x20 && bytes[i] < 0x7F);
    }
    const std::size_t written = npt::writtenLength(samples);
    const std::size_t records = std::max<std::size_t>(1, (written + 59) / 60);
    require((bytes.size() - kHeaderBytes) % records == 0);
    const std::size_t recordBytes = (bytes.size() - kHeaderBytes) / records;
    for (std::size_t i = 0; i < records * 60; ++i) {
        const std::size_t at = kHeaderBytes + i / 60 * recordBytes + i % 60 * 2;
        const auto digital = static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8);
        const int expected = i < written && samples[i] != 0xFF ? samples[i] : -1;
        require(digital == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 7;
    if (size < kHeader) {
        return 0;
    }
    npt::AnalysisParameters p;
    p.threshold_mm = data[3] * 0.1;
    p.min_duration_s = data[4] * 15;
    p.merge_gap_s = data[5] * 10 - 50;
    p.full_threshold_mm = data[6] * 0.1;
    const auto samples = std::span(data + kHeader, std::min<std::size_t>(size - kHeader, 4320));
    const npt::NightRecording recording{samples, data[0], (data[1] << 8 | data[2]) * 60};

    npt::NightAnalysis a;
    try {
        a = npt::analyseNight(recording, p);
    } catch (const std::invalid_argument&) {
        require(npt::parametersError(p).has_value());
        return 0;
    }
    require(!npt::parametersError(p).has_value());

    const npt::NightSummary& s = a.summary;
    require(s.valid_s == static_cast<int>(npt::writtenLength(samples)) * data[0]);
    require(s.episodes == static_cast<int>(a.episodes.size()));
    // The stretches left out: in order, inside the night, never overlapping one another.
    std::vector<npt::Stretch> named;
    int stretchEnd = 0;
    for (const npt::Stretch& stretch : a.quality.stretches) {
        require(stretch.start_s >= stretchEnd && stretch.start_s < stretch.end_s);
        require(stretch.end_s <= s.valid_s);
        stretchEnd = stretch.end_s;
        if (stretch.named()) {
            named.push_back(stretch);
        }
    }
    // Episodes closer than the merge gap only where something parts them: a stretch left out or
    // a new position of the sensor.
    const auto parted = [&](int from, int to) {
        for (const npt::Stretch& stretch : named) {
            if (stretch.start_s < to && stretch.end_s > from) {
                return true;
            }
        }
        for (const int moved : a.quality.moved_s) {
            if (moved >= from && moved <= to) {
                return true;
            }
        }
        return false;
    };
    int total = 0;
    int previousEnd = -p.merge_gap_s;
    for (const npt::NightEpisode& e : a.episodes) {
        require(e.start_s >= previousEnd);
        require(e.start_s - previousEnd >= p.merge_gap_s || parted(previousEnd, e.start_s));
        require(e.duration_s == e.end_s - e.start_s && e.duration_s >= p.min_duration_s);
        require(e.end_s <= s.valid_s);
        require(e.full_s >= 0 && e.full_s <= e.duration_s && e.area_mm_min >= 0);
        require(e.start.size() == 8 && e.end.size() == 8);
        for (const npt::Stretch& stretch : named) {
            require(stretch.end_s <= e.start_s || stretch.start_s >= e.end_s);
        }
        previousEnd = e.end_s;
        total += e.duration_s;
    }
    require(a.summary.analysed_s == a.quality.usable_s);
    require(a.summary.largest_rise_mm >= 0);
    if (npt::analysable(a.quality.usability)) {
        require(a.baseline.size() == npt::writtenLength(samples));
    }
    require(s.total_s == total);
    require(a.quality.usable_s <= s.valid_s);
    require(npt::utf8::isValid(a.quality.verdict) && npt::utf8::isValid(npt::summaryLine(a)));
    checkEdf(samples, data[0], recording.startSeconds, a);
    return 0;
}
