// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows only: the reasons, in Russian, for the error codes Windows' file functions give
// (GetLastError), and the UTF-8 ↔ UTF-16 conversions every file name passes through there.
#ifdef _WIN32
#include <string>
#include <string_view>

namespace npt {

std::string reasonForWindowsError(unsigned long error);
[[noreturn]] void throwWindowsError(const std::string& path, const std::string& prefix,
                                    unsigned long error);

// File names are kept in UTF-8; Windows takes them in UTF-16. Invalid UTF-8 is not a name
// Windows could hold: it converts to replacement characters, which no file has.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

// Whether the name is one of the device names every folder holds (NUL, CON, COM1, LPT1, …, in
// some versions with any ending): Windows itself makes it "\\.\NAME". Such a name is refused
// before it is opened: opening CON reads the console.
bool namesDevice(const std::string& path);

}  // namespace npt
#endif
