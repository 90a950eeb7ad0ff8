// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text for the tool's plain-text output, where one field must stay on its one line whatever a
// patient's name or a file name holds.
#include <string>
#include <string_view>

namespace npt::plain {

// Code points a terminal acts on instead of showing: the C0 and C1 controls, DEL, and the line
// and paragraph separators.
bool isControl(char32_t c);

// The escape that C and JSON share for a backslash, a line feed, a carriage return and a tab,
// or an empty view for any other character.
std::string_view backslashEscape(char32_t c);

// text with each backslash doubled (on Windows, where it separates a path's folders, kept as it
// is) and each control character written as an escape (\n, \r, \t, \xHH, \uHHHH); a text that
// is not UTF-8 keeps its printable ASCII and shows every other byte as \xHH.
std::string escaped(std::string_view text);

// Whether the text holds a line break or another control character, which would break the line
// it is printed on; a text that is not UTF-8 is looked at for its ASCII controls.
bool hasControlCharacter(std::string_view text);

// A name from the command line or a file, escaped and in «», so that it stays on its line.
std::string quoted(std::string_view name);

}  // namespace npt::plain
