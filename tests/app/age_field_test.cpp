// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/age_field.h"

#include <gtest/gtest.h>

namespace npt {
namespace {

using age_field::filterKey;
using age_field::normalise;

TEST(AgeFieldTest, CharacterFilter) {
    struct Case {
        const char* what;
        char32_t typed;
        const char* text;  // the field before the key
        std::optional<char32_t> inserted;
    };
    const Case cases[] = {
        {"digit", U'7', "", U'7'},
        {"zero", U'0', "1", U'0'},
        {"point becomes the comma", U'.', "1", U','},
        {"comma stays", U',', "1", U','},
        {"slash becomes the comma", U'/', "", U','},
        {"б on the comma key", U'б', "1", U','},
        {"ю on the point key", U'ю', "1", U','},
        {"Б with Shift", U'Б', "1", U','},
        {"Ю with Shift", U'Ю', "1", U','},
        {"second separator refused", U',', "1,", std::nullopt},
        {"second separator by another key refused", U'.', ",5", std::nullopt},
        {"digit after the separator", U'5', "1,", U'5'},
        {"Latin letter", U'a', "", std::nullopt},
        {"other Cyrillic letter", U'ж', "", std::nullopt},
        {"Latin A with acute is not a separator", U'\u00C1', "", std::nullopt},
        {"space", U' ', "", std::nullopt},
        {"minus", U'-', "", std::nullopt},
        {"Backspace is carried out on release", U'\b', "12", std::nullopt},
        {"Enter", U'\r', "12", std::nullopt},
        {"other control character", U'\x01', "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(filterKey(c.typed, c.text), c.inserted);
    }
}

TEST(AgeFieldTest, NormalisationOnKeyRelease) {
    struct Case {
        const char* what;
        const char* text;
        std::size_t caret;  // in characters
        bool backspace;
        const char* result;
    };
    const Case cases[] = {
        {"leading zero goes", "07", 2, false, "7"},
        {"two leading zeros go", "007", 1, false, "7"},
        {"ending in 0 stays", "10", 2, false, "10"},
        {"double zero stays", "00", 2, false, "00"},
        {"single zero stays", "0", 1, false, "0"},
        {"separator first gets a 0 in front", ",", 1, false, "0,"},
        {"ending in the separator stays", "4,", 2, false, "4,"},
        {"decimal number stays", "4,5", 3, false, "4,5"},
        {"decimal with a leading zero", "04,5", 4, false, "4,5"},
        {"empty field", "", 0, false, ""},
        {"Backspace at the end removes the last character", "45", 2, true, "4"},
        {"Backspace in the middle removes the one left of the caret", "45", 1, true, "5"},
        {"Backspace at the start removes nothing", "45", 0, true, "45"},
        {"Backspace in an empty field", "", 0, true, ""},
        {"Backspace after the separator", "4,", 2, true, "4"},
        {"an arrow key normalises too", "08", 0, false, "8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto n = normalise(c.text, c.caret, c.backspace);
        EXPECT_FALSE(n.error.has_value());
        EXPECT_EQ(n.text, c.result);
        EXPECT_EQ(n.caret, std::string(c.result).size()) << "the caret goes to the end";
    }
}

TEST(AgeFieldTest, PastedTextThatIsNotANumber) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"abc", "'abc' is not a valid floating point value"},
        {"1,2,3", "'1,2,3' is not a valid floating point value"},
        {"лет 5", "'лет 5' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto n = normalise(c.text, 1, true);
        ASSERT_TRUE(n.error.has_value());
        EXPECT_EQ(*n.error, c.error);
        EXPECT_EQ(n.text, c.text) << "the text stays as it was";
    }
}

}  // namespace
}  // namespace npt
