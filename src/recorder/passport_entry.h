// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the doctor types for a passport write, checked against what the recorder can store:
// one Windows-1251 byte per character, where 0xFF ("я") means "nothing here" in the password
// and at the name's 22nd place (the byte that tells a written passport from erased memory).
// Each check gives the Russian message that refuses the text, or nothing when it can be stored.
#include <optional>
#include <string>
#include <string_view>

namespace npt::passport_entry {

// The name as it is sent: its first 23 characters.
std::optional<std::string> nameProblem(std::string_view nameUtf8);

// The password as it is stored: its first 10 characters.
std::optional<std::string> passwordProblem(std::string_view passwordUtf8);

// The age in years as the passport carries it, or nothing when the text is not a whole number
// from 0 to 255.
std::optional<unsigned> age(std::string_view text);
inline constexpr const char* kAgeProblem =
    "Возраст пациента должен быть целым числом от 0 до 255 лет.";

}  // namespace npt::passport_entry
