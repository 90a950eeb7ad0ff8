// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The age field takes digits and one decimal separator. The application shows numbers as on a
// Russian system, so the separator is the comma whatever the machine's locale.
#include <cstddef>
#include <optional>
#include <string>

namespace npt::age_field {

inline constexpr char32_t kDecimalSeparator = U',';

// The character to insert for a typed one, or nothing when it is refused. ",", "." and "/"
// and the Cyrillic letters that share their keys on a Russian keyboard (б, ю, Б, Ю) become the
// separator; any other non-digit is refused, and so is a second separator.
std::optional<char32_t> filterKey(char32_t typed, const std::string& textUtf8);

struct Normalised {
    std::string text;                  // UTF-8
    std::size_t caret;                 // in characters; always the end of the text
    std::optional<std::string> error;  // a pasted text that is not a number; text unchanged
};

// After every key release: a leading separator gets a "0" in front, a number is rewritten in
// its shortest form (07 becomes 7), Backspace removes the character left of the caret, and the
// caret goes to the end.
Normalised normalise(const std::string& textUtf8, std::size_t caret, bool backspaceReleased);

}  // namespace npt::age_field
