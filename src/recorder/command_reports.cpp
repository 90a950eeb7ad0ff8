// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/command_reports.h"

#include <algorithm>
#include <cmath>

namespace npt {

namespace {

constexpr std::uint8_t kMarkerLead = 0xFE;
constexpr std::uint8_t kAckKind = 0xFE;
constexpr std::uint8_t kDoneKind = 0xFF;
constexpr std::uint8_t kProgrammedKind = 0xFD;
constexpr std::size_t kNameBytes = 23;
constexpr std::size_t kPasswordBufferBytes = 11;

std::uint8_t low8(unsigned value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

OutputReport commandReport(CommandCode code) {
    OutputReport report{};
    report[1] = static_cast<std::uint8_t>(code);
    return report;
}

OutputReport passportReport(const PassportValues& v) {
    OutputReport report = commandReport(CommandCode::WritePassport);
    const std::size_t nameBytes = std::min(v.name.size(), kNameBytes);
    std::copy_n(v.name.begin(), nameBytes, report.begin() + 2);
    report[25] = low8(v.samplePeriod);
    report[26] = low8(v.age);
    report[27] = low8(v.day);
    report[28] = low8(v.month);
    report[29] = low8(v.yearSince2000);
    report[30] = low8(static_cast<unsigned>(roundHalfEven(v.programTime)));
    report[31] = low8(v.delayHigh);
    report[32] = low8(v.delayLow);
    return report;
}

OutputReport passwordReport(std::span<const std::uint8_t, 11> passwordBuffer) {
    OutputReport report{};
    std::copy(passwordBuffer.begin(), passwordBuffer.end(), report.begin() + 1);
    std::copy(kPasswordTail.begin(), kPasswordTail.end(),
              report.begin() + 1 + kPasswordBufferBytes);
    return report;
}

Marker markerOf(std::span<const std::uint8_t> block) {
    if (block.size() < 2 || block[0] != kMarkerLead) {
        return Marker::None;
    }
    switch (block[1]) {
        case kAckKind:
            return Marker::Ack;
        case kDoneKind:
            return Marker::Done;
        case kProgrammedKind:
            return Marker::Programmed;
        default:
            return Marker::None;
    }
}

Marker blockMarker(const MemoryImage& image, std::size_t block) {
    return markerOf(
        image.bytes().subspan(block * MemoryImage::kBlockSize, MemoryImage::kBlockSize));
}

std::array<std::uint8_t, MemoryImage::kBlockSize> markerBlock(Marker marker) {
    std::array<std::uint8_t, MemoryImage::kBlockSize> block{};
    if (marker == Marker::None) {
        return block;
    }
    block[0] = kMarkerLead;
    block[1] = marker == Marker::Ack    ? kAckKind
               : marker == Marker::Done ? kDoneKind
                                        : kProgrammedKind;
    return block;
}

bool passportConfirmed(const MemoryImage& image, std::span<const std::uint8_t, 11> passwordBuffer,
                       unsigned samplePeriod, unsigned delayHigh, unsigned delayLow) {
    using namespace ImageOffsets;
    const auto stored = image.bytes().subspan(kPassword, kPasswordLength);
    return image[kCheckByte] == 0x00 &&
           std::equal(stored.begin(), stored.end(), passwordBuffer.begin()) &&
           image[kPeriod] == samplePeriod && image[kDelayHigh] == delayHigh &&
           image[kDelayLow] == delayLow;
}

int startDelay(int programMinutes, int startMinutes) {
    if (programMinutes >= startMinutes) {
        return 1440 - (programMinutes - startMinutes);
    }
    return startMinutes - programMinutes;
}

long roundHalfEven(double value) {
    // std::nearbyint rounds halves to even in the default rounding mode.
    return static_cast<long>(std::nearbyint(value));
}

}  // namespace npt
