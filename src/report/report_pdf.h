// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night's report written as a one-page PDF, the way every file of the program is written:
// into a temporary file beside the chosen one, checked, synced and only then put in its place
// (os/atomic_file.h), so that a failure leaves an earlier file as it was. Needs a
// QGuiApplication (the fonts); the command-line tool creates one on the offscreen platform.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "analysis/night_report.h"

namespace npt {

// Writes the report at path. Throws FileError (Russian message naming path and the reason)
// when it cannot: a folder, a device or a file the user may not write in its place, a full disk,
// a file-size limit.
void writeReportPdf(const std::string& path, const NightReport& report);

// What is wrong with a finished report file, or nothing when it is a whole PDF of one page.
std::optional<std::string> reportDefect(std::span<const std::uint8_t> file);

}  // namespace npt
