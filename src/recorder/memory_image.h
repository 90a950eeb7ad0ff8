// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recorder's memory as the application holds it after a radio read or a file load.
//
// 140 blocks of 32 bytes, 4480 bytes in all; offsets always count from the start of the image.
//
//   offsets     block   content
//   0-31        0       acknowledge block: 0xFE 0xFE, battery word at 2-3, byte 4 unused
//   32-63       1       calibration block: eight calibration words at 34-49 (points 0..7),
//                       a word at 50-51, factory number 52-59, production day/month/year-2000
//                       at 60-62
//   64-127      2-3     passport block (see passport.h for its field table)
//   128-4447    4-138   4320 sample bytes, one per sample period, oldest first
//   4448-4479   139     closing block of a read: 0xFE 0xFF
//
// Multi-byte numbers are big-endian unsigned 16-bit words; 0xFFFF (erased flash) stands for a
// missing value.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace npt {

// Fixed byte offsets of the fields the application reads or writes.
namespace ImageOffsets {
inline constexpr std::size_t kBattery = 2;
inline constexpr std::size_t kCalibration = 34;  // point i at kCalibration + 2*i, i = 0..7
inline constexpr std::size_t kCalibrationPoints = 8;
inline constexpr std::size_t kCheckByte = 64;
inline constexpr std::size_t kPassword = 68;
inline constexpr std::size_t kPasswordLength = 10;
inline constexpr std::size_t kPassportLead = 78;
inline constexpr std::size_t kName = 79;
inline constexpr std::size_t kNameLength = 23;
inline constexpr std::size_t kNameLastByte = 100;  // second probe for an erased passport
inline constexpr std::size_t kPeriod = 102;
inline constexpr std::size_t kAge = 103;
inline constexpr std::size_t kDay = 104;
inline constexpr std::size_t kMonth = 105;
inline constexpr std::size_t kYear = 106;
inline constexpr std::size_t kProgramTime = 107;
inline constexpr std::size_t kDelayHigh = 108;
inline constexpr std::size_t kDelayLow = 109;
inline constexpr std::size_t kSamples = 128;
inline constexpr std::size_t kSampleCount = 4320;
}  // namespace ImageOffsets

inline constexpr std::uint16_t kMissingWord = 0xFFFF;
inline constexpr std::uint8_t kErasedByte = 0xFF;

class MemoryImage {
  public:
    static constexpr std::size_t kBlockSize = 32;
    static constexpr std::size_t kBlockCount = 140;
    static constexpr std::size_t kSize = kBlockSize * kBlockCount;  // 4480

    MemoryImage() { bytes_.fill(0); }

    void reset() { bytes_.fill(0); }

    std::uint8_t operator[](std::size_t offset) const { return bytes_.at(offset); }
    std::uint8_t& operator[](std::size_t offset) { return bytes_.at(offset); }

    // The big-endian word stored at offset and offset + 1.
    std::uint16_t word(std::size_t offset) const {
        return static_cast<std::uint16_t>((bytes_.at(offset) << 8) | bytes_.at(offset + 1));
    }
    void setWord(std::size_t offset, std::uint16_t value) {
        bytes_.at(offset) = static_cast<std::uint8_t>(value >> 8);
        bytes_.at(offset + 1) = static_cast<std::uint8_t>(value & 0xFF);
    }

    std::span<const std::uint8_t, kSize> bytes() const { return bytes_; }
    std::span<std::uint8_t, kSize> bytes() { return bytes_; }

    // Copies the first kSize bytes of source (which must hold at least that many).
    static MemoryImage fromBytes(std::span<const std::uint8_t> source);

    // True when the image carries a passport: neither the lead byte nor the last name byte
    // reads as erased flash.
    bool hasPassport() const {
        return bytes_[ImageOffsets::kPassportLead] != kErasedByte &&
               bytes_[ImageOffsets::kNameLastByte] != kErasedByte;
    }
    // True when the ten password bytes are all erased, i.e. no password protects the name.
    bool passwordAbsent() const;

    bool operator==(const MemoryImage&) const = default;

  private:
    std::array<std::uint8_t, kSize> bytes_;
};

}  // namespace npt
