// The simulated recorder's answers: a read, a passport write under the application's block
// counting, what it keeps for the next read, and its faults.
#include <gtest/gtest.h>

#include <deque>

#include "hid/simulated_recorder.h"
#include "recorder/example_night.h"

namespace npt::hid {
namespace {

using namespace std::chrono_literals;
using Report = std::array<std::uint8_t, 33>;

const std::array<std::uint8_t, 21> kPasswordTail = {0x41, 0x43, 0x47, 0x4A, 0x02, 0x04, 0x22,
                                                    0x24, 0x26, 0x28, 0x2A, 0x2C, 0x2E, 0x30,
                                                    0x32, 0x34, 0x3C, 0x3D, 0x3E, 0x40, 0x44};

Report passportReport() {
    Report r{};
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

// A password starting with 'A' (0x41), the read command's code, to show the tail decides.
Report passwordReport() {
    Report r{};
    r.fill(0xFF);
    r[0] = 0x00;
    r[1] = 'A';
    r[2] = '1';
    std::copy(kPasswordTail.begin(), kPasswordTail.end(), r.begin() + 12);
    return r;
}

std::span<const std::uint8_t> payload(const Report& r) {
    return std::span<const std::uint8_t>(r).subspan(1);
}

// The application's receive handler, reduced to its block counting and flags: each report is
// stored at the counter's block while the counter is below 140; markers latch flags; a latched
// programmed marker runs the confirmation test; while the acknowledgement is latched after a
// passport, every report sets the counter back to 0 and sends the password report; the closing
// block clears the acknowledgement; the counter goes up after every report.
struct ReceiveHandler {
    explicit ReceiveHandler(SimulatedRecorder& r) : recorder(r) {}
    SimulatedRecorder& recorder;
    Report passport = passportReport();
    Report password = passwordReport();
    MemoryImage image;
    int blockCounter = 0;
    bool ack = false, done = false, programmed = false;
    int passwordsSent = 0;
    int confirmations = 0;
    std::deque<RecorderStep> radio;

    void send(const Report& report) {
        for (const RecorderStep& step : recorder.answer(payload(report))) {
            radio.push_back(step);
        }
    }
    bool confirmationPasses() const {
        using namespace ImageOffsets;
        return image[kCheckByte] == 0x00 &&
               std::equal(password.begin() + 1, password.begin() + 11,
                          image.bytes().begin() + kPassword) &&
               image[kPeriod] == passport[25] && image[kDelayHigh] == passport[31] &&
               image[kDelayLow] == passport[32];
    }
    void receive(const std::array<std::uint8_t, 32>& block) {
        if (blockCounter < 140) {
            std::copy(block.begin(), block.end(), image.bytes().begin() + 32 * blockCounter);
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
    void write() {
        send(passport);
        while (!radio.empty()) {
            const RecorderStep step = radio.front();
            radio.pop_front();
            if (step.kind == RecorderStep::Report) {
                receive(step.block);
            }
        }
    }
};

TEST(SimulatedRecorder, PassportEchoLandsInBlocksTwoAndThreeAndIsConfirmedOnce) {
    SimulatedRecorder recorder(exampleNight("9999"));
    ReceiveHandler handler(recorder);
    handler.write();
    EXPECT_EQ(handler.confirmations, 1);
    EXPECT_EQ(handler.passwordsSent, 2);  // at the acknowledgement and at the closing block
    EXPECT_FALSE(handler.programmed);
    // The echo sits where the confirmation and the passport decoding read it.
    using namespace ImageOffsets;
    EXPECT_TRUE(std::equal(handler.passport.begin() + 2, handler.passport.end(),
                           handler.image.bytes().begin() + kName));

    // The recorder keeps the passport and the password for the next read.
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
    EXPECT_TRUE(std::equal(handler.passport.begin() + 2, handler.passport.end(),
                           image.bytes().begin() + kName));
    EXPECT_TRUE(image.hasPassport());
    // Calibration and samples are the flash's own.
    EXPECT_TRUE(std::equal(image.bytes().begin() + 32, image.bytes().begin() + 64,
                           recorder.flash().bytes().begin() + 32));
    EXPECT_TRUE(std::equal(image.bytes().begin() + kSamples, image.bytes().begin() + 4448,
                           recorder.flash().bytes().begin() + kSamples));
}

TEST(SimulatedRecorder, AWrongEchoIsNeverConfirmed) {
    SimulatedRecorder recorder(exampleNight(""));
    recorder.faults.wrongEcho = true;
    ReceiveHandler handler(recorder);
    handler.write();
    EXPECT_EQ(handler.confirmations, 0);
    EXPECT_TRUE(handler.programmed);
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
    EXPECT_TRUE(recorder.answer(payload(passwordReport())).empty());
    EXPECT_TRUE(recorder.answer(std::array<std::uint8_t, 32>{0x00}).empty());
    EXPECT_TRUE(recorder.answer(std::array<std::uint8_t, 32>{0x42}).empty());
    EXPECT_EQ(recorder.flash(), exampleNight(""));
}

}  // namespace
}  // namespace npt::hid
