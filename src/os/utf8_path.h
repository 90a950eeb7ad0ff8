// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paths are kept as UTF-8 text throughout the program. A std::filesystem::path, a stream or a
// C library call made from a narrow string reads it in the system's code page on Windows (an
// ANSI code page, where a Cyrillic name breaks); every file the program opens, examines or
// renames by a std::filesystem::path or a stream goes through these conversions instead, which
// read and give UTF-8 on every system (the Windows API's own UTF-16 names: windows_error.h).
#include <filesystem>
#include <string>
#include <string_view>

namespace npt {

// The path that UTF-8 text names.
std::filesystem::path pathFromUtf8(std::string_view utf8);
// A path as UTF-8 text.
std::string utf8FromPath(const std::filesystem::path& path);

}  // namespace npt
