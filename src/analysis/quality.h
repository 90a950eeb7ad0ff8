// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How far the night's recording can be trusted, and which samples the analysis must leave out.
//
// Looked for inside the night (up to its last written sample):
//   - erased positions: the recorder skipped a sample (0xFF inside the night);
//   - samples at the ends of the measuring range (bytes 0 and 254): the true diameter lies
//     beyond what the sensor measures;
//   - the sensor's own faults (sensor_faults.h): off the body or slipped, put on late, taken off
//     early, lying still, shifted.
// Every faulty sample is left out of the analysis, and every stretch of them is located. The
// verdict says "данные пригодны для анализа" only when no stretch a minute or longer
// (kNamedStretchMinimumS) was left out, and otherwise names each with its time and says how
// long the analysis lost; shorter ones (a skipped sample, a single reading out of range) cost
// the analysis nothing and are only counted. A night analysed for less than kWholeNightS says
// that its morning episodes may be missing.
#include <string>
#include <vector>

#include "analysis/night_recording.h"

namespace npt {

// Samples at the ends of the range at most this far apart form one stretch.
inline constexpr int kStretchJoinS = 60;
inline constexpr int kNamedStretchMinimumS = 60;

// Why a stretch of the night is left out of the analysis. The first three are faults of the
// samples themselves; the others are the sensor's own faults, found from the diameter's course
// (night_analysis.h says how).
enum class Fault {
    Erased,         // the recorder skipped samples
    RangeEnd,       // the sensor read beyond its measuring range
    Flat,           // the readings do not change: the sensor lies still, off the body
    Off,            // off the body or slipped: a level far below the flaccid one, reached at once
    PutOnLate,      // the night begins with the sensor not yet on
    TakenOffEarly,  // the night ends with the sensor already off
    Shifted,        // the sensor moved: the diameter jumped within seconds and stayed
    // Not a fault: outside the analysis window the doctor set (before lights-out, after the
    // sensor was taken off). It takes the samples it covers from every other stretch.
    OutsideWindow,
};

// A stable code for the fault, for machine-readable outputs: "erased", "range_end", "flat",
// "off", "put_on_late", "taken_off_early", "shifted", "outside_window".
const char* faultCode(Fault fault);
// The fault said for the doctor, in Russian: "датчик снят или соскользнул".
const char* faultText(Fault fault);

// A part of the night, in seconds from the first sample; the end is where the part stops.
struct Stretch {
    Fault fault;
    int start_s;
    int end_s;
    bool named() const { return end_s - start_s >= kNamedStretchMinimumS; }
    bool operator==(const Stretch&) const = default;
};

enum class Usability {
    Usable,        // nothing but, at most, single faulty samples
    PartlyUsable,  // some named stretches are not usable, the rest is
    Unusable,      // no sample of the night can be used
    NoData,        // the recorder wrote no sample
    NoPeriod,      // the sample period is unknown: the night has no time axis
    NotRecording,  // the bytes are not a recorder's memory (NightRecording::notARecording)
};

// True when some of the night could be analysed, so that its episode figures mean something:
// "0 episodes" of a night that could not be analysed would read as a finding.
inline bool analysable(Usability usability) {
    return usability == Usability::Usable || usability == Usability::PartlyUsable;
}

// Member names follow the report's "quality" object; the rest add what the verdict is made of.
struct NightQuality {
    int erased = 0;         // erased positions inside the night
    int at_range_ends = 0;  // samples at the ends of the measuring range
    int flat_s = 0;         // time the sensor lay still (Fault::Flat)
    std::string verdict;    // a short Russian sentence for the doctor
    // False when the bytes are not a recorder's memory at all.
    bool recording() const { return usability != Usability::NotRecording; }

    int unwritten_after_end = 0;     // erased positions after the night's last written sample
    int excluded = 0;                // samples of the night left out of the analysis
    int usable_s = 0;                // time of the night left to analyse
    std::vector<Stretch> stretches;  // every stretch of faulty samples, in time order
    // Where the sensor took a new position on the body, seconds from the first sample: the
    // parts between are analysed each with its own resting diameter.
    std::vector<int> moved_s;
    Usability usability = Usability::NoData;
};

struct QualityAssessment {
    NightQuality quality;
    // One flag per written position of the night: true when the sample is left out.
    std::vector<bool> excluded;
};

QualityAssessment assessQuality(const NightRecording& recording);

}  // namespace npt
