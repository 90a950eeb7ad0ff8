// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's receive handler during a passport write, reduced to what decides where the
// recorder's answer lands: each report is stored at the block counter's block while the
// counter is below 140; marker blocks latch flags; a latched programmed marker runs the
// confirmation test on the image; while the acknowledgement is latched, every report sets the
// counter back to 0 and sends the password report; the closing block clears the
// acknowledgement; the counter goes up after every report.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "recorder/memory_image.h"

namespace npt::hid::test {

using OutputReport = std::array<std::uint8_t, 33>;

// Passport of a patient "Ivanov", 52 years, period 10 s, programmed at 21:30 to start at 22:00.
inline OutputReport passportReport() {
    OutputReport r{};
    r[1] = 0x43;
    const char name[] = "Ivanov";
    std::copy(name, name + 6, r.begin() + 2);
    r[25] = 10;   // period
    r[26] = 52;   // age
    r[27] = 9;    // day
    r[28] = 12;   // month
    r[29] = 26;   // year - 2000
    r[30] = 215;  // programmed at 21:30
    r[31] = 0;    // delay 30 minutes
    r[32] = 30;
    return r;
}

// Password "A1": it starts with the read command's code, to show that the tail decides.
inline OutputReport passwordReport() {
    OutputReport r{};
    r.fill(0xFF);
    r[0] = 0x00;
    r[1] = 'A';
    r[2] = '1';
    const std::uint8_t tail[21] = {0x41, 0x43, 0x47, 0x4A, 0x02, 0x04, 0x22, 0x24, 0x26, 0x28, 0x2A,
                                   0x2C, 0x2E, 0x30, 0x32, 0x34, 0x3C, 0x3D, 0x3E, 0x40, 0x44};
    std::copy(std::begin(tail), std::end(tail), r.begin() + 12);
    return r;
}

struct PassportWriteModel {
    std::function<void(const OutputReport&)> send;
    OutputReport passport = passportReport();
    OutputReport password = passwordReport();
    MemoryImage image;
    int blockCounter = 0;
    bool ack = false, done = false, programmed = false;
    int passwordsSent = 0;
    int confirmations = 0;

    void start() {
        blockCounter = 0;
        send(passport);
    }
    bool confirmationPasses() const {
        using namespace ImageOffsets;
        return image[kCheckByte] == 0x00 &&
               std::equal(password.begin() + 1, password.begin() + 11,
                          image.bytes().begin() + kPassword) &&
               image[kPeriod] == passport[25] && image[kDelayHigh] == passport[31] &&
               image[kDelayLow] == passport[32];
    }
    void receive(const std::uint8_t* block) {
        if (blockCounter < 140) {
            std::copy(block, block + 32, image.bytes().begin() + 32 * blockCounter);
        }
        if (block[0] == 0xFE) {
            ack = ack || block[1] == 0xFE;
            done = done || block[1] == 0xFF;
            programmed = programmed || block[1] == 0xFD;
        }
        if (programmed && confirmationPasses()) {
            ++confirmations;
            programmed = ack = false;
        }
        if (ack) {
            blockCounter = 0;
            send(password);
            ++passwordsSent;
        }
        if (done) {
            ack = done = false;
        }
        ++blockCounter;
    }
    // The echo of the written passport sits where the passport decoding reads it.
    bool echoInPlace() const {
        return std::equal(passport.begin() + 2, passport.end(),
                          image.bytes().begin() + ImageOffsets::kName);
    }
};

}  // namespace npt::hid::test
