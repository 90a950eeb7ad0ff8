// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The doctor's review changes as the reports and the windows list them, one line each, e.g.
// "Эпизод 3 (23:10–23:40) отклонён как артефакт — Иванова А. А., 11.12.26 09:12".
#include <string>
#include <vector>

#include "archive/archive.h"

namespace npt::archive {

// startSeconds: the time of day of the night's first sample, so that the stretches read as
// times of the night. The change's UTC time is shown as it is stored, date first.
std::string reviewChangeText(const ReviewChange& change, int startSeconds);

std::vector<std::string> reviewTexts(const std::vector<ReviewChange>& changes, int startSeconds);

}  // namespace npt::archive
