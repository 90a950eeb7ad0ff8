// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recorder and its radio adapter as the application meets them: the device's side of the
// command exchange, with the recorder's flash memory, battery value and calibration constants.
// Pure protocol: it turns each output report into the steps of its answer (input blocks with
// the pause before each, and plug events), and whoever carries the steps out (the in-process
// platform, or a uhid device) supplies the timing and the transport.
//
// Answers:
//   read command 0x41       acknowledge block (0xFE 0xFE, battery big-endian in bytes 2-3), the
//                           flash's blocks 1-138, closing block (0xFE 0xFF): 140 blocks
//   passport report 0x43    stores bytes 2-32 at flash offsets 79-109 (lead byte 78 = 0x00; the
//                           name at 79-101 not when keepsOwnName) and acknowledges with the
//                           acknowledge block
//   password report         (after a passport only) stores the password at 68-77 and the check
//                           byte 64 = 0x00, then sends the closing block, the flash's block 1,
//                           the stored passport as blocks 2 and 3, and the programmed marker
//                           (0xFE 0xFD)
//   anything else           no answer
#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "recorder/command_reports.h"
#include "recorder/memory_image.h"

namespace npt::hid {

using npt::kAdapterProductId;
using npt::kAdapterVendorId;
inline constexpr std::size_t kAdapterReportSize = 32;  // input and output, without report ID

// The adapter's report descriptor: one vendor-defined collection with a 32-byte input and a
// 32-byte output report, no report IDs; an adapter of another make may declare input reports of
// another size.
std::vector<std::uint8_t> adapterReportDescriptor(std::size_t inputBytes = kAdapterReportSize);

// Faults the recorder can show, for tests and demonstrations. Block numbers count the blocks of
// the flash (1..138); report counts count the reports of one answer from the first on.
struct RecorderFaults {
    int dropBlock = -1;       // left out of a read
    int duplicateBlock = -1;  // sent twice in a read
    int extraBlocks = 0;      // zero blocks sent after the closing block of a read
    // A block left over in the adapter from an earlier exchange, sent before the acknowledgement
    // of a read: a data block (the flash's last sample block) or a closing block.
    enum class Leftover { None, DataBlock, ClosingBlock } leftover = Leftover::None;
    bool acknowledgementLost = false;  // a read's answer starts with the flash's block 1
    bool closingBlockLost = false;     // a read's answer ends with the flash's block 138
    // The adapter declares input reports of this many bytes (without report ID); the recorder's
    // blocks stay 32 bytes long.
    std::size_t inputReportBytes = kAdapterReportSize;
    std::chrono::milliseconds stallBeforeAnswer{0};
    int stallAfterReports = -1;  // a pause of stallFor after that many reports
    std::chrono::milliseconds stallFor{0};
    // Pause between the reports of an answer: 8 ms makes a read last longer than one second.
    std::chrono::microseconds reportInterval{0};
    // The recorder erasing and writing its flash before it answers a password report.
    std::chrono::milliseconds storeTime{0};
    bool neverAcknowledge = false;  // commands are taken but not answered
    bool wrongEcho = false;         // the echoed passport's check byte reads 0xFF
    // The adapter is unplugged after that many reports of the next answer (once), and plugged
    // in again comeBackAfter later (never when negative).
    int unplugAfterReports = -1;
    std::chrono::milliseconds comeBackAfter{-1};
};

struct RecorderStep {
    enum Kind { Report, Unplug, Replug } kind = Report;
    std::chrono::microseconds delay{0};  // after the previous step
    std::array<std::uint8_t, kAdapterReportSize> block{};
};

class SimulatedRecorder {
  public:
    // battery is the raw battery value the recorder reports (3300 reads as 2,90 V).
    explicit SimulatedRecorder(const MemoryImage& flash, std::uint16_t battery = 3300);

    // The answer to one output report as the adapter passes it on: the 32 bytes after the
    // report ID.
    std::vector<RecorderStep> answer(std::span<const std::uint8_t> payload);

    const MemoryImage& flash() const { return flash_; }
    std::uint16_t battery() const { return battery_; }
    void setBattery(std::uint16_t value) { battery_ = value; }
    RecorderFaults faults;
    // The demonstration recorder stores every passport it is sent except the name: its own stays,
    // so a night read after a demonstration write is never a patient's. The write is confirmed
    // all the same (the confirmation compares the check byte, password, period and delay).
    bool keepsOwnName = false;

  private:
    std::vector<RecorderStep> read();
    std::vector<RecorderStep> storePassport(std::span<const std::uint8_t> payload);
    std::vector<RecorderStep> storePassword(std::span<const std::uint8_t> payload);
    std::array<std::uint8_t, kAdapterReportSize> flashBlock(std::size_t block) const;
    std::array<std::uint8_t, kAdapterReportSize> acknowledgeBlock() const;
    // Timing and unplug faults laid over the blocks of one answer.
    std::vector<RecorderStep> paced(
        const std::vector<std::array<std::uint8_t, kAdapterReportSize>>& blocks);

    MemoryImage flash_;
    std::uint16_t battery_;
    bool awaitingPassword_ = false;
};

}  // namespace npt::hid
