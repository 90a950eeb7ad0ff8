// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options that set the four parameters of the night's analysis on the command line:
//   --threshold MM       rise above the baseline that makes an episode
//   --min-duration MIN   shortest episode, in minutes
//   --merge-gap MIN      longest dip that does not split an episode, in minutes
//   --full MM            rise from which an episode's time at that rise is counted
// each also as --option=VALUE; a value takes a decimal comma or point ("2,5" or "2.5").
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/parameters.h"

namespace npt {

// When args[i] is one of these options, takes it and its value into parameters, moves i onto the
// last argument used and returns true. A missing value or one that is no number is noted in
// error (Russian), unless an error is noted already.
bool takeAnalysisOption(const std::vector<std::string>& args, std::size_t& i,
                        AnalysisParameters& parameters, std::optional<std::string>& error);

// The lines of the tool's help that describe the options.
inline constexpr const char* kAnalysisOptionsHelp =
    "  --threshold ММ     порог эпизода: подъём диаметра над исходным, мм (3,0)\n"
    "  --min-duration МИН самый короткий эпизод, минут (5)\n"
    "  --merge-gap МИН    провал короче этого не делит эпизод, минут (2; 0 — не объединять)\n"
    "  --full ММ          учитывать время с приростом от ММ, мм (5,0)\n"
    "                     (дробная часть — через запятую или точку; мм — с точностью\n"
    "                     до 0,1, минуты — до секунды)\n";

}  // namespace npt
