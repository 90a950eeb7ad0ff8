// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text exchanged with the recorder (patient name, password) is one byte per character in the
// Cyrillic single-byte code page Windows-1251. The application itself works in UTF-8.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace npt::cp1251 {

// The Unicode code point of one code-page byte. Every byte has one; 0x98, unassigned in the
// code page, maps to U+0098 so that any byte survives a round trip.
char32_t toUnicode(std::uint8_t byte);

// The code-page byte of a code point, or nothing when the code page cannot hold it.
std::optional<std::uint8_t> fromUnicode(char32_t codePoint);

// Decodes code-page bytes to UTF-8.
std::string decode(std::span<const std::uint8_t> bytes);

// Encodes UTF-8 text to code-page bytes; nothing when a character cannot be stored (or the
// text is not valid UTF-8), rather than storing a substitute.
std::optional<std::vector<std::uint8_t>> encode(std::string_view utf8);

}  // namespace npt::cp1251
