// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_sim/simulated_recorder.h"

#include <algorithm>

namespace npt::hid {

namespace {

using Block = std::array<std::uint8_t, kAdapterReportSize>;

// The password report: the password and its 0xFF filler in bytes 0-10, then the fixed tail,
// which tells it apart from a command whose first byte a password may well share.
constexpr std::size_t kPasswordTailStart = 11;

// Passport report bytes 2-32 (payload 1-31) are kept at flash offsets 79-109.
constexpr std::size_t kPassportPayloadFirst = 1;
constexpr std::size_t kPassportBytes = 31;

bool isPasswordReport(std::span<const std::uint8_t> payload) {
    return payload.size() >= kPasswordTailStart + kPasswordTail.size() &&
           std::equal(kPasswordTail.begin(), kPasswordTail.end(),
                      payload.begin() + kPasswordTailStart);
}

}  // namespace

std::vector<std::uint8_t> adapterReportDescriptor(std::size_t inputBytes) {
    std::vector<std::uint8_t> descriptor = {
        0x06, 0x00, 0xFF,  // Usage Page (vendor-defined 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x20,        //   Report Count (32): the input report's bytes
        0x09, 0x01,        //   Usage (1)
        0x81, 0x02,        //   Input (Data, Variable, Absolute)
        0x95, 0x20,        //   Report Count (32)
        0x09, 0x01,        //   Usage (1)
        0x91, 0x02,        //   Output (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
    constexpr std::size_t kInputCount = 15;
    descriptor[kInputCount] = static_cast<std::uint8_t>(inputBytes);
    return descriptor;
}

SimulatedRecorder::SimulatedRecorder(const MemoryImage& flash, std::uint16_t battery)
    : flash_(flash), battery_(battery) {}

std::vector<RecorderStep> SimulatedRecorder::answer(std::span<const std::uint8_t> payload) {
    if (payload.empty() || faults.neverAcknowledge) {
        return {};
    }
    if (isPasswordReport(payload)) {
        if (!awaitingPassword_) {
            return {};  // one password per passport: a repeated one is not answered again
        }
        awaitingPassword_ = false;
        return storePassword(payload);
    }
    switch (static_cast<CommandCode>(payload[0])) {
        case CommandCode::Read:
            awaitingPassword_ = false;
            return read();
        case CommandCode::WritePassport:
            return storePassport(payload);
        default:
            return {};
    }
}

Block SimulatedRecorder::flashBlock(std::size_t block) const {
    Block bytes;
    std::copy_n(flash_.bytes().begin() + block * kAdapterReportSize, kAdapterReportSize,
                bytes.begin());
    return bytes;
}

Block SimulatedRecorder::acknowledgeBlock() const {
    Block block = markerBlock(Marker::Ack);
    block[2] = static_cast<std::uint8_t>(battery_ >> 8);
    block[3] = static_cast<std::uint8_t>(battery_ & 0xFF);
    return block;
}

std::vector<RecorderStep> SimulatedRecorder::read() {
    std::vector<Block> blocks;
    switch (faults.leftover) {
        case RecorderFaults::Leftover::DataBlock:
            blocks.push_back(flashBlock(138));
            break;
        case RecorderFaults::Leftover::ClosingBlock:
            blocks.push_back(markerBlock(Marker::Done));
            break;
        case RecorderFaults::Leftover::None:
            break;
    }
    if (!faults.acknowledgementLost) {
        blocks.push_back(acknowledgeBlock());
    }
    for (int b = 1; b <= 138; ++b) {
        if (b == faults.dropBlock) {
            continue;
        }
        blocks.push_back(flashBlock(static_cast<std::size_t>(b)));
        if (b == faults.duplicateBlock) {
            blocks.push_back(blocks.back());
        }
    }
    if (!faults.closingBlockLost) {
        blocks.push_back(markerBlock(Marker::Done));
    }
    for (int i = 0; i < faults.extraBlocks; ++i) {
        blocks.push_back(Block{});
    }
    return paced(blocks);
}

std::vector<RecorderStep> SimulatedRecorder::storePassport(std::span<const std::uint8_t> payload) {
    using namespace ImageOffsets;
    const std::size_t n = std::min(kPassportBytes, payload.size() - kPassportPayloadFirst);
    const std::size_t kept = keepsOwnName ? std::min(n, kNameLength) : 0;
    std::copy_n(payload.begin() + kPassportPayloadFirst + kept, n - kept,
                flash_.bytes().begin() + kName + kept);
    flash_[kPassportLead] = 0x00;
    awaitingPassword_ = true;
    return paced({acknowledgeBlock()});
}

// After the password the application's receive handler counts blocks like this (its counter
// starts at 0 with the passport, every report is stored at the counter's block, and the
// counter goes up by one after each report; while the acknowledgement is latched, each report
// first sets the counter back to 0 and sends the password report again, and the closing block
// ends that latch):
//
//   report                    stored at block   counter after
//   acknowledge (0xFE 0xFE)   0                 1   (latch set: password sent)
//   closing (0xFE 0xFF)       1                 1   (reset to 0, password sent again, latch
//                                                    cleared, then counted)
//   flash block 1             1                 2
//   passport block 2          2                 3
//   passport block 3          3                 4
//   programmed (0xFE 0xFD)    4                 5   (confirmation reads blocks 2 and 3)
//
// So one block has to fill block 1 before the echo: the calibration block, which the flash
// holds there anyway. Sent straight after the closing block, the echo would land in blocks 1
// and 2 and the confirmation would never pass. The second password report is not answered
// (the recorder takes one per passport); answering it would bring a second programmed marker
// and a second confirmation.
std::vector<RecorderStep> SimulatedRecorder::storePassword(std::span<const std::uint8_t> payload) {
    using namespace ImageOffsets;
    std::copy_n(payload.begin(), kPasswordLength, flash_.bytes().begin() + kPassword);
    flash_[kCheckByte] = 0x00;
    Block echo2 = flashBlock(2);
    if (faults.wrongEcho) {
        echo2[kCheckByte - 2 * kAdapterReportSize] = 0xFF;
    }
    std::vector<RecorderStep> steps = paced({markerBlock(Marker::Done), flashBlock(1), echo2,
                                             flashBlock(3), markerBlock(Marker::Programmed)});
    if (!steps.empty()) {
        steps.front().delay += faults.storeTime;
    }
    return steps;
}

std::vector<RecorderStep> SimulatedRecorder::paced(const std::vector<Block>& blocks) {
    std::vector<RecorderStep> steps;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const int sent = static_cast<int>(i);
        std::chrono::microseconds delay = i == 0 ? faults.stallBeforeAnswer : faults.reportInterval;
        if (sent == faults.stallAfterReports && sent > 0) {
            delay += faults.stallFor;
        }
        if (sent == faults.unplugAfterReports) {
            faults.unplugAfterReports = -1;
            steps.push_back({RecorderStep::Unplug, delay, {}});
            if (faults.comeBackAfter.count() >= 0) {
                steps.push_back({RecorderStep::Replug, faults.comeBackAfter, {}});
            }
            return steps;
        }
        steps.push_back({RecorderStep::Report, delay, blocks[i]});
    }
    return steps;
}

}  // namespace npt::hid
