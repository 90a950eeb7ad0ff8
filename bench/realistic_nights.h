// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fixed set of realistic synthetic nights with known truth, for measuring how well the night's
// analysis finds what a worn sensor recorded. Each night is stored as the recorder stores it:
// 4320 positions, one byte per sample period, byte = round((mm - 9,6) / 0,2) clamped to 1..253,
// 0xFF after the last written sample.
//
// What a night is made of (all in millimetres of diameter, time in seconds from the first
// sample):
//   - the resting (flaccid) diameter: a level of 22–32 mm, a linear drift of up to ±3 mm in
//     twelve hours and a slow wander of up to 0,5 mm over three to six hours (the sensor's creep
//     and the body's temperature);
//   - the sensor's noise: independent Gaussian noise of 0,1–0,6 mm per sample;
//   - tumescence episodes in REM-like cycles of 80–110 min, the first 60–100 min after sleep
//     begins, three to six a night (one or two in a 72-min recording): an S-shaped rise over
//     2–10 min to a plateau 3,5–14 mm above rest that oscillates slowly (2–8 min) by at most a
//     tenth of its height, then an S-shaped fall over 2–12 min; 6–45 min above the threshold,
//     and in some nights one of 100–180 min;
//   - partial rises between episodes: 1,0–2,4 mm over 4–15 min, never reaching the threshold.
//
// The truth of an episode:
//   - start_s, end_s: the moments the noise-free rise above the true resting level crosses the
//     default threshold of 3,0 mm, upward and downward (the plateau never dips below 3,2 mm, so
//     there is exactly one such interval); an episode cut by the end of the memory ends there,
//     and one whose beginning the sensor missed starts where the sensor was put back;
//   - increase_mm: the plateau's height above the true resting level (the mean of its
//     oscillation).
// The truth of a faulty night adds the stretches a correct analysis must leave out: where the
// sensor was off the body, not yet on, on the table or shifted. Episodes the sensor could not
// see (while it was off) are not in the truth and not in the signal.
#include <cstdint>
#include <string>
#include <vector>

namespace npt::bench {

// What kind of night: a clean one or one with a single kind of sensor fault.
enum class NightKind {
    Clean,
    LeftOnTable,       // taken off in the morning and left lying on the table
    SlippedOff,        // slipped off for one or two hours and put back
    PutOnLate,         // lying on the table for the first 30–90 min
    Shifted,           // jumps of 3–4 mm within one sample that stay 10–60 min and jump back
    Quiet,             // noise of at most 0,06 mm at a level on a byte boundary
    PutBackWhileErect  // put back during an erection that lasts to the end of the memory
};

inline constexpr NightKind kAllKinds[] = {
    NightKind::Clean,   NightKind::LeftOnTable, NightKind::SlippedOff,       NightKind::PutOnLate,
    NightKind::Shifted, NightKind::Quiet,       NightKind::PutBackWhileErect};

// A short English name of the kind, for the printed figures.
const char* kindName(NightKind kind);
// True for the kinds whose recording holds a stretch the analysis must leave out.
bool hasStretchesToLeaveOut(NightKind kind);

struct TrueEpisode {
    double start_s;
    double end_s;
    double increase_mm;
};

struct TrueStretch {
    double start_s;
    double end_s;
};

struct RealisticNight {
    std::string name;  // e.g. "clean-07"
    NightKind kind;
    std::uint8_t periodSeconds;
    int startSeconds;  // time of day of the first sample
    std::vector<std::uint8_t> bytes;
    std::vector<TrueEpisode> episodes;    // in time order
    std::vector<TrueStretch> toLeaveOut;  // in time order; empty on clean and quiet nights
};

// The fixed set: forty clean nights and eight of each fault, each from its own seed, so the
// same nights come out on every machine and standard library.
std::vector<RealisticNight> realisticNights();

}  // namespace npt::bench
