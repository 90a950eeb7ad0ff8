// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The passport block of the recorder's memory: what the doctor wrote before the night.
//
//   offset  width  content
//   64      1      check byte; 0x00 after a confirmed write
//   65-67   3      unused
//   68-77   10     password, Windows-1251, 0xFF after its last character (ten 0xFF: none)
//   78      1      lead byte of the passport record (0xFF: no passport)
//   79-101  23     patient name, Windows-1251, padded with 0x00
//   102     1      sample period in seconds, 1..10
//   103     1      patient age in years
//   104-106 3      study day, month, year - 2000
//   107     1      time of day of programming, in tenths of an hour (0..239)
//   108-109 2      delay from programming to the start of measuring, minutes, big-endian
//   110-127 18     unused
#include <cstdint>
#include <string>

#include "recorder/memory_image.h"

namespace npt {

// The patient fields and session values that passport decoding produces.
struct PassportFields {
    std::string name;   // empty when the name is hidden
    std::string tscan;  // the period as stored, capped at 10 (a stored 0 shows "0")
    std::string age;    // unpadded
    std::string date;   // dd.mm.y: day and month padded, the year byte unpadded
    // Times of day in minutes since midnight: the study's start and end, and the time of
    // programming.
    int timeStart = 0;
    int timeEnd = 0;
    int timeNow = 0;
    std::uint8_t samplePeriod = 0;  // seconds; 10 whenever the stored byte is outside 1..10
    double programTime = 0;         // tenths of an hour
    std::uint8_t delayHigh = 0;
    std::uint8_t delayLow = 0;
};

// Decodes the passport block. Never fails: every byte value yields some text or time. The image
// is not changed.
PassportFields decodePassport(const MemoryImage& image, bool nameHidden);

// The minute of the day of a time given in tenths of an hour; whole days are dropped and
// seconds truncated.
int minuteOfDay(double tenths);

// A number with a leading "0" when it is 9 or less.
std::string padded(unsigned value);

}  // namespace npt
