// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small writer of compact JSON text, enough for the command-line tool's reports.
#include <string>
#include <string_view>

namespace npt::json {

// A JSON string literal, quotes included; control characters and non-UTF-8 bytes are escaped
// so that the output is always valid UTF-8 JSON.
std::string quoted(std::string_view text);

// The shortest decimal that reads back as the same double.
std::string number(double value);

}  // namespace npt::json
