// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a recorder's memory from other bytes of the same length: every kind of real recording
// passes, and what is not one is named by the first thing that gives it away.
#include "recorder/recording_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder.h"

namespace npt {
namespace {

using namespace ImageOffsets;

MemoryImage fileImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    EXPECT_GE(bytes.size(), MemoryImage::kSize) << path;
    bytes.resize(std::max(bytes.size(), MemoryImage::kSize));
    return MemoryImage::fromBytes(bytes);
}

// The image a read of the simulated recorder leaves: its 140 answer blocks one after another.
MemoryImage simulatedRead(const MemoryImage& flash) {
    hid::SimulatedRecorder recorder(flash);
    const auto steps = recorder.answer(std::array<std::uint8_t, 32>{0x41});
    EXPECT_EQ(steps.size(), MemoryImage::kBlockCount);
    MemoryImage image;
    for (std::size_t n = 0; n < steps.size() && n < MemoryImage::kBlockCount; ++n) {
        std::copy(steps[n].block.begin(), steps[n].block.end(),
                  image.bytes().begin() + MemoryImage::kBlockSize * n);
    }
    return image;
}

// The image stored one block late, as after a stale report ahead of the acknowledgement: the
// first block is that report, the closing block falls off the end.
MemoryImage shiftedByABlock(const MemoryImage& image, std::uint8_t staleFirstByte) {
    MemoryImage shifted;
    std::copy_n(image.bytes().begin(), MemoryImage::kSize - MemoryImage::kBlockSize,
                shifted.bytes().begin() + MemoryImage::kBlockSize);
    shifted[0] = staleFirstByte;
    return shifted;
}

MemoryImage with(MemoryImage image, const std::function<void(MemoryImage&)>& change) {
    change(image);
    return image;
}

void fill(MemoryImage& image, std::size_t from, std::size_t to, std::uint8_t byte) {
    std::fill(image.bytes().begin() + from, image.bytes().begin() + to, byte);
}

TEST(RecordingCheckTest, RealRecordingsPassAndOtherBytesAreNamed) {
    const MemoryImage night = exampleNight("");
    const MemoryImage unprogrammed = with(night, [](MemoryImage& i) { fill(i, 64, 128, 0xFF); });
    std::mt19937 random(4481);
    MemoryImage noise;
    std::generate(noise.bytes().begin(), noise.bytes().end(), [&] { return random() & 0xFF; });

    constexpr const char* kNoAck = "в начале нет блока подтверждения датчика";
    constexpr const char* kNoDone = "в конце нет завершающего блока чтения";
    struct Case {
        const char* what;
        MemoryImage image;
        const char* reason;  // nullptr: a recording
    };
    const Case cases[] = {
        // Real recordings.
        {"the example night", fileImage(NPT_EXAMPLES_DIR "/night.txt"), nullptr},
        {"the example night with a password", fileImage(NPT_EXAMPLES_DIR "/night-password.txt"),
         nullptr},
        {"a read of the demonstration recorder", simulatedRead(demonstrationNight()), nullptr},
        {"a recorder never programmed: its passport block erased", simulatedRead(unprogrammed),
         nullptr},
        {"a name whose 22nd letter is \"я\" (0xFF at 100)",
         with(night, [](MemoryImage& i) { i[kNameLastByte] = 0xFF; }), nullptr},
        {"saved after a wrong password: zeros at 78-101",
         with(night, [](MemoryImage& i) { fill(i, kPassportLead, kName + kNameLength, 0); }),
         nullptr},
        {"saved and loaded again: 50 where the recorder wrote nothing",
         with(night, [](MemoryImage& i) { fill(i, kSamples + 3000, kSamples + kSampleCount, 50); }),
         nullptr},
        {"programmed at 23:58 for a start at once: 240 tenths, no delay",
         with(night,
              [](MemoryImage& i) {
                  i[kProgramTime] = 240;
                  i.setWord(kDelayHigh, 0);
              }),
         nullptr},
        {"programmed at exactly 22:00 for the next night: a delay of 1440 minutes",
         with(night,
              [](MemoryImage& i) {
                  i[kProgramTime] = 220;
                  i.setWord(kDelayHigh, 1440);
              }),
         nullptr},
        {"a period of 0 and an age of 255, as a write after an odd load sends them",
         with(night,
              [](MemoryImage& i) {
                  i[kPeriod] = 0;
                  i[kAge] = 255;
              }),
         nullptr},
        {"date and times erased behind a passport's lead byte",
         with(night, [](MemoryImage& i) { fill(i, kDay, kDelayLow + 1, 0xFF); }), nullptr},
        {"calibration, factory bytes and battery erased",
         with(night,
              [](MemoryImage& i) {
                  fill(i, 2, 4, 0xFF);
                  fill(i, 32, 64, 0xFF);
              }),
         nullptr},

        // Not recordings.
        {"the first 4481 bytes of a text file", fileImage(NPT_EXAMPLES_DIR "/../README.md"),
         kNoAck},
        {"zeros", MemoryImage(), kNoAck},
        {"random bytes", noise, kNoAck},
        {"a read stored one block late", shiftedByABlock(night, 0x00), kNoAck},
        {"a read whose closing block came first", shiftedByABlock(night, 0xFE), kNoAck},
        {"a read that lost a block: the closing block one too early",
         with(night,
              [](MemoryImage& i) {
                  fill(i, 4448, 4480, 0);
                  i[4416] = 0xFE;
                  i[4417] = 0xFF;
              }),
         kNoDone},
        {"the acknowledge block at the end too",
         with(night, [](MemoryImage& i) { i[4449] = 0xFE; }), kNoDone},
        {"study day 0", with(night, [](MemoryImage& i) { i[kDay] = 0; }),
         "в паспорте день исследования 0 (бывает от 1 до 31)"},
        {"study day 32", with(night, [](MemoryImage& i) { i[kDay] = 32; }),
         "в паспорте день исследования 32 (бывает от 1 до 31)"},
        {"study month 13", with(night, [](MemoryImage& i) { i[kMonth] = 13; }),
         "в паспорте месяц исследования 13 (бывает от 1 до 12)"},
        {"programmed at 24:06", with(night, [](MemoryImage& i) { i[kProgramTime] = 241; }),
         "в паспорте время программирования 24:06 (бывает не позже 24:00)"},
        {"a start delay of a day and a minute",
         with(night, [](MemoryImage& i) { i.setWord(kDelayHigh, 1441); }),
         "в паспорте задержка запуска 1441 мин (бывает от 0 до 1440 мин)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reason = whyNotARecording(c.image);
        if (c.reason == nullptr) {
            EXPECT_EQ(reason, std::nullopt) << *reason;
        } else {
            EXPECT_EQ(reason, std::optional<std::string>(c.reason));
        }
    }
}

}  // namespace
}  // namespace npt
