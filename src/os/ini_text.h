// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of a profile-style settings file: "[section]" lines, each followed by "key=value"
// lines. Section and key names compare without regard to ASCII case; values are trimmed of
// blanks. Writing a value keeps every other line of the text as it was.
#include <optional>
#include <string>
#include <string_view>

namespace npt {

namespace ini {
// The file's text as UTF-8: UTF-8 as it is (a BOM dropped), anything else read as the
// Windows-1251 files older versions wrote.
std::string decodeText(std::string_view raw);
std::optional<std::string> value(std::string_view text, std::string_view section,
                                 std::string_view key);
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);
}  // namespace ini

}  // namespace npt
