// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's short help (F1): what the program is, its version, its keys and its licence.
#include <string>

namespace npt {

inline constexpr const char* kHelpTitle = "Справка";

std::string deskHelpText();

}  // namespace npt
