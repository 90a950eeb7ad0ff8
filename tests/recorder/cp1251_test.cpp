// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/cp1251.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace npt {
namespace {

TEST(Cp1251Test, EveryByteSurvivesARoundTrip) {
    std::vector<std::uint8_t> all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
        const auto back = cp1251::fromUnicode(cp1251::toUnicode(static_cast<std::uint8_t>(b)));
        ASSERT_TRUE(back.has_value()) << b;
        EXPECT_EQ(*back, b);
    }
    // The same through the UTF-8 text the application works with.
    const auto encoded = cp1251::encode(cp1251::decode(all));
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(*encoded, all);
}

TEST(Cp1251Test, KnownCharacters) {
    struct Case {
        const char* utf8;
        std::uint8_t byte;
    };
    const Case cases[] = {
        {"A", 0x41},     // ASCII unchanged
        {"\x7F", 0x7F},  // last ASCII code
        {"А", 0xC0},     // first capital Cyrillic letter
        {"Я", 0xDF},     // last capital
        {"а", 0xE0},     // first small
        {"я", 0xFF},     // last small: the same byte as erased flash
        {"Ё", 0xA8},     // outside the А..я run
        {"ё", 0xB8},      {"№", 0xB9}, {"€", 0x88}, {"\u00A0", 0xA0},  // no-break space
        {"\u0098", 0x98},  // the one unassigned byte keeps its own value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        const auto bytes = cp1251::encode(c.utf8);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, std::vector<std::uint8_t>{c.byte});
        EXPECT_EQ(cp1251::decode(*bytes), c.utf8);
    }
}

TEST(Cp1251Test, PatientNameEncodesOneBytePerCharacter) {
    const auto bytes = cp1251::encode("Ёлкин Пётр");
    ASSERT_TRUE(bytes.has_value());
    const std::vector<std::uint8_t> expected = {0xA8, 0xEB, 0xEA, 0xE8, 0xED,
                                                0x20, 0xCF, 0xB8, 0xF2, 0xF0};
    EXPECT_EQ(*bytes, expected);
    EXPECT_EQ(cp1251::encode("")->size(), 0u);
}

TEST(Cp1251Test, RefusesWhatCannotBeStored) {
    const char* const refused[] = {
        "Иван 中",               // CJK character
        "ÿ",                     // U+00FF: its byte 0xFF means "я" in this code page
        "Ā",                     // Latin Extended-A
        "\xF0\x9F\x98\x80",      // emoji outside the BMP
        "\xC0\xAF",              // overlong "/"
        "\xE0\x80\xAF",          // overlong three-byte "/"
        "\xED\xA0\x80",          // UTF-16 surrogate
        "\xD0",                  // truncated two-byte sequence at the end
        "\xD0\x41",              // lead byte followed by ASCII
        "\x80",                  // lone continuation byte
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "\xF8\x88\x80\x80\x80",  // five-byte form
        "\xFF",                  // never valid in UTF-8
    };
    for (const char* text : refused) {
        SCOPED_TRACE(::testing::PrintToString(std::string(text)));
        EXPECT_FALSE(cp1251::encode(text).has_value());
    }
    EXPECT_FALSE(cp1251::fromUnicode(U'\u4E2D').has_value());
}

}  // namespace
}  // namespace npt
