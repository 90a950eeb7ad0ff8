// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/samples.h"

#include <gtest/gtest.h>

#include <cmath>

namespace npt {
namespace {

using ImageOffsets::kSampleCount;
using ImageOffsets::kSamples;

constexpr double kStart22h = 79200.0 / 86400.0;

TEST(SamplesTest, DiameterOfAByte) {
    struct Case {
        std::uint8_t byte;
        double mm;
    };
    const Case cases[] = {
        {0, 9.6},     // smallest byte
        {2, 10.0},    // the rule's zero point: 10 mm
        {50, 19.6},   // the level unwritten samples are shown at
        {254, 60.4},  // largest byte the recorder writes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.byte});
        EXPECT_DOUBLE_EQ(diameterOf(c.byte), c.mm);
    }
    // Every diameter is a whole number of tenths once rounded for the table.
    for (int b = 0; b < 256; ++b) {
        const double tenths = roundedToTenth(diameterOf(static_cast<std::uint8_t>(b))) * 10;
        EXPECT_NEAR(tenths, 96 + 2 * b, 1e-9) << b;
    }
}

TEST(SamplesTest, PointsFollowOffsetOrder) {
    MemoryImage image;
    image[kSamples] = 2;                       // oldest sample
    image[kSamples + kSampleCount - 1] = 254;  // newest, at offset 4447
    image[kSamples + kSampleCount] = 0xFF;     // closing block, not a sample
    const auto points = decodeSamples(image, 0.5, 10);
    ASSERT_EQ(points.size(), kSampleCount);
    EXPECT_DOUBLE_EQ(points.front().diameter, 10.0);
    EXPECT_DOUBLE_EQ(points.back().diameter, 60.4);
    EXPECT_DOUBLE_EQ(points[1].diameter, 9.6);
}

TEST(SamplesTest, TimesSpanThePeriodTimesTheSampleCount) {
    struct Case {
        const char* what;
        std::uint8_t period;
        double lastSeconds;  // time of the last sample after the first
    };
    const Case cases[] = {
        {"10 s: 4320 periods are exactly 12 h", 10, 43200.0 - 10},
        {"1 s: 4320 periods are 72 min", 1, 72 * 60.0 - 1},
        {"no passport decoded yet: every sample at the start", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto points = decodeSamples(MemoryImage{}, 0.25, c.period);
        ASSERT_EQ(points.size(), kSampleCount);
        EXPECT_DOUBLE_EQ(points.front().time, 0.25);
        EXPECT_DOUBLE_EQ(points.back().time, 0.25 + c.lastSeconds / 86400.0);
        EXPECT_DOUBLE_EQ(points[kSampleCount / 2].time,
                         0.25 + (kSampleCount / 2) * c.period / 86400.0);
    }
}

TEST(SamplesTest, TimesGoOnPastMidnight) {
    const auto points = decodeSamples(MemoryImage{}, kStart22h, 10);
    EXPECT_DOUBLE_EQ(points[719].time, 1.0 - 10 / 86400.0);
    EXPECT_DOUBLE_EQ(points[720].time, 1.0);  // 24:00
    EXPECT_GT(points[721].time, 1.0);         // not wrapped to the next morning's 0
    for (std::size_t i = 1; i < points.size(); ++i) {
        ASSERT_LT(points[i - 1].time, points[i].time) << i;
    }
    EXPECT_NEAR(points.back().time, kStart22h + 0.5 - 10 / 86400.0, 1e-12);
}

TEST(SamplesTest, UnwrittenSamplesShowAt19_6WithoutChangingTheImage) {
    MemoryImage image;
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        image[kSamples + i] = kErasedByte;
    }
    const MemoryImage before = image;
    const auto first = decodeSamples(image, kStart22h, 10);
    ASSERT_EQ(first.size(), kSampleCount);
    for (const SamplePoint& p : first) {
        ASSERT_DOUBLE_EQ(p.diameter, 19.6);
    }
    EXPECT_EQ(image, before);

    // A second decoding of the same image gives the same points.
    const auto second = decodeSamples(image, kStart22h, 10);
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        ASSERT_EQ(first[i].time, second[i].time);
        ASSERT_EQ(first[i].diameter, second[i].diameter);
    }
}

}  // namespace
}  // namespace npt
