// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night's report written as a one-page PDF, the way every file of the program is written:
// into a temporary file beside the chosen one, checked, synced and only then put in its place
// (os/atomic_file.h), so that a failure leaves an earlier file as it was. Needs a
// QGuiApplication (the fonts); the command-line tool creates one on the offscreen platform.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "analysis/night_report.h"

class QPainter;

namespace npt {

// Writes the report at path. Throws FileError (Russian message naming path and the reason)
// when it cannot: a folder, a device or a file the user may not write in its place, a full disk,
// a file-size limit.
void writeReportPdf(const std::string& path, const NightReport& report);

// Draws a page: painter's device shows pixelsPerMm device pixels per millimetre with the page's
// top-left corner at its origin.
using PagePainter = std::function<void(QPainter& painter, double pixelsPerMm)>;

// Writes one A4 page, portrait, painted by paint, at path the same way. title goes into the
// file's properties, which file managers show: never the patient's name.
void writePagePdf(const std::string& path, const std::string& title, const PagePainter& paint);

// What is wrong with a finished report file, or nothing when it is a whole PDF of one page.
std::optional<std::string> reportDefect(std::span<const std::uint8_t> file);

}  // namespace npt
