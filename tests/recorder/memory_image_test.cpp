// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/memory_image.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace npt {
namespace {

TEST(MemoryImageTest, WordsAreBigEndian) {
    struct Case {
        std::uint8_t high, low;
        std::uint16_t word;
    };
    const Case cases[] = {
        {0x12, 0x34, 0x1234},        // the byte at the lower offset is the high byte
        {0x00, 0xFF, 0x00FF},        // low byte alone
        {0xFF, 0x00, 0xFF00},        // high byte alone
        {0xFF, 0xFF, kMissingWord},  // erased flash reads as the missing value 65535
        {0x0C, 0xE4, 3300},          // a battery value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        MemoryImage image;
        image[100] = c.high;
        image[101] = c.low;
        EXPECT_EQ(image.word(100), c.word);

        MemoryImage written;
        written.setWord(100, c.word);
        EXPECT_EQ(written[100], c.high);
        EXPECT_EQ(written[101], c.low);
        EXPECT_EQ(written[99], 0);
        EXPECT_EQ(written[102], 0);
    }
}

TEST(MemoryImageTest, AccessOutsideTheImageThrows) {
    MemoryImage image;
    EXPECT_THROW((void)image.word(MemoryImage::kSize - 1), std::out_of_range);
    EXPECT_THROW(image.setWord(MemoryImage::kSize - 1, 1), std::out_of_range);
    EXPECT_NO_THROW((void)image.word(MemoryImage::kSize - 2));
}

TEST(MemoryImageTest, PassportPresenceProbesOffsets78And100) {
    struct Case {
        const char* what;
        std::size_t erasedOffset;  // the one byte set to 0xFF, 0 for none
        bool present;
    };
    const Case cases[] = {
        {"all zero: a passport (hidden-name save)", 0, true},
        {"lead byte erased", 78, false},
        {"last-but-one name byte erased", 100, false},
        {"first name byte erased: not probed", 79, true},
        {"last name byte erased: not probed", 101, true},
        {"period byte erased: not probed", 102, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryImage image;
        if (c.erasedOffset != 0) {
            image[c.erasedOffset] = kErasedByte;
        }
        EXPECT_EQ(image.hasPassport(), c.present);
    }

    MemoryImage erased;
    for (auto& b : erased.bytes()) {
        b = kErasedByte;
    }
    EXPECT_FALSE(erased.hasPassport());
}

TEST(MemoryImageTest, PasswordAbsentOnlyWhenAllTenBytesAreErased) {
    struct Case {
        const char* what;
        std::size_t keptOffset;  // the one byte of 67..78 left at 0, the rest 0xFF; 0 for none
        bool absent;
    };
    const Case cases[] = {
        {"ten erased bytes", 0, true},
        {"first password byte written", 68, false},
        {"last password byte written", 77, false},
        {"byte before the password is not part of it", 67, true},
        {"byte after the password is not part of it", 78, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryImage image;
        for (std::size_t i = 67; i <= 78; ++i) {
            image[i] = i == c.keptOffset ? 0 : kErasedByte;
        }
        EXPECT_EQ(image.passwordAbsent(), c.absent);
    }
    EXPECT_FALSE(MemoryImage{}.passwordAbsent());  // a reset image: zeros are a password
}

TEST(MemoryImageTest, FromBytesTakesTheFirst4480Bytes) {
    std::vector<std::uint8_t> source(MemoryImage::kSize + 1);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    const MemoryImage image = MemoryImage::fromBytes(source);
    EXPECT_TRUE(std::equal(image.bytes().begin(), image.bytes().end(), source.begin()));

    source.resize(MemoryImage::kSize - 1);
    EXPECT_THROW(MemoryImage::fromBytes(source), std::invalid_argument);
}

}  // namespace
}  // namespace npt
