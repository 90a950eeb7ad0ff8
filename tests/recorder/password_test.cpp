// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/password.h"

#include <gtest/gtest.h>

#include <vector>

#include "recorder/cp1251.h"

namespace npt {
namespace {

// An image whose password bytes hold stored (Windows-1251) followed by 0xFF.
MemoryImage imageWithPassword(const std::string& storedUtf8) {
    MemoryImage image;
    const auto bytes = cp1251::encode(storedUtf8);
    EXPECT_TRUE(bytes.has_value());
    for (std::size_t i = 0; i < ImageOffsets::kPasswordLength; ++i) {
        image[ImageOffsets::kPassword + i] = i < bytes->size() ? (*bytes)[i] : kErasedByte;
    }
    return image;
}

TEST(PasswordTest, CheckAgainstTheStoredPassword) {
    struct Case {
        const char* what;
        const char* stored;
        const char* typed;
        bool accepted;
    };
    const Case cases[] = {
        {"three characters typed exactly", "abc", "abc", true},
        {"other letter case", "abc", "aBc", false},
        {"a fourth character", "abc", "abcd", false},
        {"one character fewer", "abc", "ab", false},
        {"empty field", "abc", "", false},
        {"Cyrillic typed exactly", "Пар", "Пар", true},
        {"Cyrillic in another case", "Пар", "пар", false},
        {"ten characters typed exactly", "0123456789", "0123456789", true},
        {"ten characters, the tenth differs", "0123456789", "012345678X", false},
        {"ten characters, the first differs", "0123456789", "X123456789", false},
        {"nine of ten characters", "0123456789", "012345678", false},
        {"an eleventh character is beyond the field", "0123456789", "0123456789X", true},
        {"a character the code page lacks is not skipped", "ab", "a中b", false},
        {"a character the code page lacks never matches", "ab", "ab中", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PasswordState state;
        state.resetForCheck();
        confirmPassword(state, c.typed, imageWithPassword(c.stored));
        EXPECT_EQ(state.passwordWrong, !c.accepted);
    }
}

TEST(PasswordTest, CheckNeverClearsAnEarlierFailure) {
    PasswordState state;
    state.resetForCheck();
    state.passwordWrong = true;
    confirmPassword(state, "abc", imageWithPassword("abc"));
    EXPECT_TRUE(state.passwordWrong);
}

TEST(PasswordTest, StoreMode) {
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* what;
        const char* typed;
        Bytes buffer;  // the eleven buffer bytes afterwards
        bool storable;
    };
    const std::uint8_t F = kErasedByte;
    const Case cases[] = {
        {"empty: no password stored", "", Bytes(11, F), true},
        {"three characters, erased after them",
         "Ab1",
         {'A', 'b', '1', F, F, F, F, F, F, F, F},
         true},
        {"Cyrillic in the code page", "Ёж", {0xA8, 0xE6, F, F, F, F, F, F, F, F, F}, true},
        {"ten characters leave the pad byte",
         "0123456789",
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', F},
         true},
        {"a character the code page lacks", "a中", {'a', F, F, F, F, F, F, F, F, F, F}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PasswordState state;  // start-up: store mode, buffer erased
        const MemoryImage image = imageWithPassword("other");
        EXPECT_EQ(confirmPassword(state, c.typed, image), c.storable);
        EXPECT_EQ(Bytes(state.buffer.begin(), state.buffer.end()), c.buffer);
        EXPECT_FALSE(state.passwordWrong) << "store mode never compares";
    }
}

TEST(PasswordTest, ResetForCheck) {
    PasswordState state;
    state.buffer[0] = 'x';
    state.passwordWrong = true;
    state.nameHidden = true;
    state.resetForCheck();
    EXPECT_EQ(state.mode, PasswordMode::Check);
    EXPECT_TRUE(state.askPassword);
    EXPECT_FALSE(state.passwordWrong);
    EXPECT_FALSE(state.nameHidden);
    for (std::uint8_t b : state.buffer) {
        EXPECT_EQ(b, kErasedByte);
    }
}

}  // namespace
}  // namespace npt
