// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What travels between the application and the recorder's radio adapter: the 33-byte output
// report with its command codes, the passport and password reports of a write, the marker
// blocks the recorder answers with, and the test that the recorder has stored a passport.
//
// Output report (report ID first, then 32 bytes the adapter passes to the recorder):
//
//   byte   read / none          passport (0x43)                      password
//   0      0x00 report ID       0x00                                 0x00
//   1      command code         0x43                                 password byte 0
//   2-24   0x00                 patient name, Windows-1251, 0x00 pad password bytes 1-9, then
//   25     0x00                 sample period, seconds               the pad byte (bytes 1-11:
//   26     0x00                 age, years                           0xFF after the password)
//   27-29  0x00                 study day, month, year - 2000        12-32: the fixed tail
//   30     0x00                 programming time, tenths of an hour
//   31-32  0x00                 start delay in minutes, high byte first
//
// The recorder keeps passport bytes 2-32 at image offsets 79-109 (report byte + 77) and the
// password at image offsets 68-77.
#include <array>
#include <cstdint>
#include <span>

#include "recorder/memory_image.h"

namespace npt {

// The recorder's radio adapter on the USB bus.
inline constexpr std::uint16_t kAdapterVendorId = 0x1915;
inline constexpr std::uint16_t kAdapterProductId = 0x007B;
// Its output and input reports with the report-ID byte: the only lengths the link works with.
inline constexpr std::size_t kOutputReportLength = 33;
inline constexpr std::size_t kInputReportLength = 33;

enum class CommandCode : std::uint8_t { None = 0x00, Read = 0x41, WritePassport = 0x43 };

using OutputReport = std::array<std::uint8_t, kOutputReportLength>;

// A command without parameters: report ID 0, the code, then zeros.
OutputReport commandReport(CommandCode code);

// What the doctor wrote, as the passport report carries it. Each value goes out as its low
// eight bits.
struct PassportValues {
    std::span<const std::uint8_t> name;  // Windows-1251; only the first 23 bytes are sent
    unsigned samplePeriod = 10;          // seconds
    unsigned age = 0;
    unsigned day = 1, month = 1, yearSince2000 = 0;
    double programTime = 0;  // tenths of an hour, rounded half to even when sent
    unsigned delayHigh = 0, delayLow = 0;
};
OutputReport passportReport(const PassportValues& values);

// The password report: the eleven password-buffer bytes, then this fixed tail (report bytes
// 12-32), by which the recorder knows the password of the passport it has just acknowledged.
inline constexpr std::array<std::uint8_t, 21> kPasswordTail = {
    0x41, 0x43, 0x47, 0x4A, 0x02, 0x04, 0x22, 0x24, 0x26, 0x28, 0x2A,
    0x2C, 0x2E, 0x30, 0x32, 0x34, 0x3C, 0x3D, 0x3E, 0x40, 0x44};
OutputReport passwordReport(std::span<const std::uint8_t, 11> passwordBuffer);

// Marker blocks: 0xFE followed by the kind (Ack 0xFE, Done 0xFF, Programmed 0xFD).
enum class Marker { None, Ack, Done, Programmed };
Marker markerOf(std::span<const std::uint8_t> block);
// The marker of one block of the image (0-139): a read leaves Ack in block 0 and Done in 139.
Marker blockMarker(const MemoryImage& image, std::size_t block);
// The block the recorder sends as the marker: its two bytes, then zeros. None gives zeros.
std::array<std::uint8_t, MemoryImage::kBlockSize> markerBlock(Marker marker);

// The recorder has stored the passport: its echo in the image carries the check byte 0x00,
// the password, the sample period and the start delay that were written. Name, age, date and
// programming time are not compared.
bool passportConfirmed(const MemoryImage& image, std::span<const std::uint8_t, 11> passwordBuffer,
                       unsigned samplePeriod, unsigned delayHigh, unsigned delayLow);

// Minutes from programming to the start of measuring, both in minutes since midnight: a start
// at or before the programming time is the next day's, so the delay is 1 to 1440 minutes.
int startDelay(int programMinutes, int startMinutes);

// A number rounded to the nearest integer, halves to the even neighbour (150.5 gives 150).
long roundHalfEven(double value);

}  // namespace npt
