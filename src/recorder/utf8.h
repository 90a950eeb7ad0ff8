// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Minimal UTF-8 helpers for the application's own text handling.
#include <optional>
#include <string>
#include <string_view>

namespace npt::utf8 {

void append(std::string& out, char32_t codePoint);

// Code points of a UTF-8 text, or nothing when it is not valid UTF-8 (overlong forms,
// surrogates and truncated sequences are invalid).
std::optional<std::u32string> decode(std::string_view text);

bool isValid(std::string_view text);

std::string encode(std::u32string_view codePoints);

}  // namespace npt::utf8
