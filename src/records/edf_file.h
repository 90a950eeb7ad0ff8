// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night as an EDF+C file (European Data Format plus, continuous): one signal, the diameter
// in millimetres at the recording's sample period, and the annotations signal with the night's
// episodes and stretches left out as time-stamped annotation lists.
//
// The diameter's digital values are the sample bytes themselves, from -1 to 254, and its
// physical range 9,4 to 60,4 mm, so that every byte maps exactly by the recorder's linear rule
// (0,2 * byte + 9,6 mm; a resolution of 0,2 mm, no rounding of a sample). A position the
// recorder never wrote is the digital minimum, -1 (9,4 mm, below any diameter the sensor
// measures), and is annotated as such.
//
// A data record holds 60 samples (60 periods); the last one is filled up with the digital
// minimum. The header's texts are printable ASCII as the format asks; the annotations' texts
// are UTF-8, as EDF+ allows.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace npt {

struct EdfAnnotation {
    double onset_s = 0;  // seconds from the first sample
    std::optional<double> duration_s;
    std::string text;  // UTF-8
};

struct CalendarDate {
    int day = 1, month = 1, year = 2000;
    bool operator==(const CalendarDate&) const = default;
};

struct EdfNight {
    // The EDF+ patient field's subfields, printable ASCII without spaces ("X": unknown).
    std::string patientCode = "X";
    std::string patientName = "X";
    // The first sample's date and time of day. An unknown date (a passport's date no calendar
    // has) is written as the format asks: "Startdate X", and 01.01.85 in the header's own field.
    std::optional<CalendarDate> date = CalendarDate{};
    int startSeconds = 0;
    std::string equipment;  // e.g. "npt-desk_0.1.0"
    int periodSeconds = 10;
    std::vector<std::uint8_t> samples;  // the night's written positions, 0xFF: never written
    std::vector<EdfAnnotation> annotations;
};

inline constexpr int kEdfSamplesPerRecord = 60;

// The bytes of the file. Throws std::invalid_argument without a sample period.
std::vector<std::uint8_t> edfBytes(const EdfNight& night);

}  // namespace npt
