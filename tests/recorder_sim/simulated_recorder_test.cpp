// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated recorder's answers: a read, a passport write under the application's block
// counting, what it keeps for the next read, and its faults.
#include <gtest/gtest.h>

#include <deque>

#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder.h"
#include "support/passport_write_model.h"

namespace npt::hid {
namespace {

using namespace std::chrono_literals;

std::span<const std::uint8_t> payload(const test::OutputReport& r) {
    return std::span<const std::uint8_t>(r).subspan(1);
}

// The write exchange with the recorder directly: every answer goes on the radio queue, and
// the queue's reports reach the handler in order.
struct WriteSession {
    SimulatedRecorder& recorder;
    test::PassportWriteModel handler;
    std::deque<RecorderStep> radio;

    explicit WriteSession(SimulatedRecorder& r) : recorder(r) {
        handler.send = [this](const test::OutputReport& report) {
            for (const RecorderStep& step : recorder.answer(payload(report))) {
                radio.push_back(step);
            }
        };
    }
    void run() {
        handler.start();
        while (!radio.empty()) {
            const RecorderStep step = radio.front();
            radio.pop_front();
            if (step.kind == RecorderStep::Report) {
                handler.receive(step.block.data());
            }
        }
    }
};

TEST(SimulatedRecorder, PassportEchoLandsInBlocksTwoAndThreeAndIsConfirmedOnce) {
    SimulatedRecorder recorder(exampleNight("9999"));
    WriteSession session(recorder);
    session.run();
    EXPECT_EQ(session.handler.confirmations, 1);
    // At the acknowledgement and at the closing block.
    EXPECT_EQ(session.handler.passwordsSent, 2);
    EXPECT_FALSE(session.handler.programmed);
    EXPECT_TRUE(session.handler.echoInPlace());

    // The recorder keeps the passport and the password for the next read.
    using namespace ImageOffsets;
    const auto read = recorder.answer(std::array<std::uint8_t, 32>{0x41});
    ASSERT_EQ(read.size(), 140u);
    MemoryImage image;
    for (std::size_t n = 0; n < read.size(); ++n) {
        std::copy(read[n].block.begin(), read[n].block.end(), image.bytes().begin() + 32 * n);
    }
    EXPECT_EQ(image[kCheckByte], 0x00);
    EXPECT_EQ(image[kPassword], 'A');
    EXPECT_EQ(image[kPassword + 1], '1');
    EXPECT_EQ(image[kPassword + 2], 0xFF);
    EXPECT_EQ(image[kPassportLead], 0x00);
    EXPECT_TRUE(std::equal(session.handler.passport.begin() + 2, session.handler.passport.end(),
                           image.bytes().begin() + kName));
    EXPECT_TRUE(image.hasPassport());
    // Calibration and samples are the flash's own.
    EXPECT_TRUE(std::equal(image.bytes().begin() + 32, image.bytes().begin() + 64,
                           recorder.flash().bytes().begin() + 32));
    EXPECT_TRUE(std::equal(image.bytes().begin() + kSamples, image.bytes().begin() + 4448,
                           recorder.flash().bytes().begin() + kSamples));
}

TEST(SimulatedRecorder, TheDemonstrationRecorderKeepsItsNameThroughAConfirmedWrite) {
    // The write names the patient "Ivanov", 52 years, with the password "A1".
    for (const bool keepsOwnName : {true, false}) {
        SCOPED_TRACE(keepsOwnName ? "keeps its name" : "stores the name sent");
        SimulatedRecorder recorder(demonstrationNight());
        recorder.keepsOwnName = keepsOwnName;
        WriteSession session(recorder);
        session.run();
        EXPECT_EQ(session.handler.confirmations, 1) << "the name is not compared";

        using namespace ImageOffsets;
        const MemoryImage& flash = recorder.flash();
        EXPECT_EQ(isDemonstration(flash), keepsOwnName);
        EXPECT_EQ(flash[kName] == 'I', !keepsOwnName);
        // Everything else of the passport is the write's.
        EXPECT_EQ(flash[kAge], 52);
        EXPECT_EQ(flash[kDay], 9);
        EXPECT_EQ(flash[kDelayLow], 30);
        EXPECT_EQ(flash[kPassword], 'A');
        EXPECT_EQ(flash[kPassword + 1], '1');
    }
}

TEST(SimulatedRecorder, AWrongEchoIsNeverConfirmed) {
    SimulatedRecorder recorder(exampleNight(""));
    recorder.faults.wrongEcho = true;
    WriteSession session(recorder);
    session.run();
    EXPECT_EQ(session.handler.confirmations, 0);
    EXPECT_TRUE(session.handler.programmed);
}

TEST(SimulatedRecorder, AReadAnswersWithOneHundredFortyBlocksUnlessAFaultSaysOtherwise) {
    using Steps = std::vector<RecorderStep>;
    struct Case {
        const char* what;
        RecorderFaults faults;
        std::size_t reports;
        std::chrono::microseconds lasts;  // sum of the pauses, at least
        bool unplugs, comesBack;
    };
    auto faults = [](auto change) {
        RecorderFaults f;
        change(f);
        return f;
    };
    const Case cases[] = {
        {"complete", {}, 140, 0us, false, false},
        {"dropped block", faults([](auto& f) { f.dropBlock = 5; }), 139, 0us, false, false},
        {"duplicated block", faults([](auto& f) { f.duplicateBlock = 5; }), 141, 0us, false, false},
        {"added blocks", faults([](auto& f) { f.extraBlocks = 2; }), 142, 0us, false, false},
        {"never acknowledges", faults([](auto& f) { f.neverAcknowledge = true; }), 0, 0us, false,
         false},
        {"stall before", faults([](auto& f) { f.stallBeforeAnswer = 400ms; }), 140, 400ms, false,
         false},
        {"stall during", faults([](auto& f) {
             f.stallAfterReports = 70;
             f.stallFor = 300ms;
         }),
         140, 300ms, false, false},
        {"slower than a second", faults([](auto& f) { f.reportInterval = 8ms; }), 140, 1s, false,
         false},
        {"unplugged in the middle", faults([](auto& f) {
             f.unplugAfterReports = 50;
             f.comeBackAfter = 100ms;
         }),
         50, 100ms, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedRecorder recorder(exampleNight(""), 2900);
        recorder.faults = c.faults;
        const Steps steps = recorder.answer(std::array<std::uint8_t, 32>{0x41});
        std::size_t reports = 0;
        std::chrono::microseconds total{0};
        bool unplugs = false, comesBack = false;
        for (const RecorderStep& step : steps) {
            total += step.delay;
            reports += step.kind == RecorderStep::Report;
            unplugs = unplugs || step.kind == RecorderStep::Unplug;
            comesBack = comesBack || step.kind == RecorderStep::Replug;
        }
        EXPECT_EQ(reports, c.reports);
        EXPECT_GE(total, c.lasts);
        EXPECT_EQ(unplugs, c.unplugs);
        EXPECT_EQ(comesBack, c.comesBack);
        if (reports == 0) {
            continue;
        }
        EXPECT_EQ(steps[0].block[0], 0xFE);
        EXPECT_EQ(steps[0].block[1], 0xFE);
        EXPECT_EQ(steps[0].block[2] << 8 | steps[0].block[3], 2900);
        if (!c.unplugs && c.faults.extraBlocks == 0) {
            EXPECT_EQ(steps.back().block[1], 0xFF);
        }
    }
}

TEST(SimulatedRecorder, APasswordWithoutAPassportAndUnknownCommandsGoUnanswered) {
    SimulatedRecorder recorder(exampleNight(""));
    EXPECT_TRUE(recorder.answer(payload(test::passwordReport())).empty());
    EXPECT_TRUE(recorder.answer(std::array<std::uint8_t, 32>{0x00}).empty());
    EXPECT_TRUE(recorder.answer(std::array<std::uint8_t, 32>{0x42}).empty());
    EXPECT_EQ(recorder.flash(), exampleNight(""));
}

}  // namespace
}  // namespace npt::hid
