// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the EDF+ file of a night holds, made from the recording and its analysis: the patient
// field (the name transliterated, "X" when hidden or absent), the date and time of the first
// sample, the samples up to the last written one, and the annotations: each episode with its
// duration and increase, each episode the doctor rejected, each stretch left out with its
// reason, the analysis window, and the doctor's review changes as the archive lists them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/night_analysis.h"
#include "analysis/night_recording.h"
#include "recorder/memory_image.h"
#include "records/edf_file.h"

namespace npt {

// The date of the night's first sample: the passport's date, a day later when the recorder
// started after midnight (programmed late in the evening with a delay). None without a passport
// or with a date no calendar has.
std::optional<CalendarDate> firstSampleDate(const MemoryImage& image);

// The name in the printable ASCII an EDF header takes: Cyrillic as Russian passports spell it
// (ICAO 9303), spaces as underscores, anything else left out; "X" when nothing is left.
std::string edfName(const std::string& utf8);

struct EdfNightSource {
    std::span<const std::uint8_t> samples;  // the night's positions; cut after the last written
    int periodSeconds = 10;
    int startSeconds = 0;  // time of day of the first sample
    std::optional<CalendarDate> date;
    std::optional<std::string> name;    // as shown; none when hidden
    std::optional<std::string> number;  // the clinic's own, when the archive knows it
    std::string equipment;              // the program and its version
    std::optional<AnalysisWindow> window;
    std::vector<EdfAnnotation> review;  // the doctor's changes, each at its stretch
};

EdfNight edfNightOf(const EdfNightSource& source, const NightAnalysis& analysis);

}  // namespace npt
