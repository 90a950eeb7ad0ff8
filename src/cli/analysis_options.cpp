// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/analysis_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cli/plain_text.h"

namespace npt {

namespace {

// In the order of the parameters: millimetres, minutes, minutes, millimetres.
constexpr const char* kOptions[] = {"--threshold", "--min-duration", "--merge-gap", "--full"};

// A decimal number typed with a comma or a point; nothing when the text is not a finite number.
std::optional<double> decimalOf(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Beyond this a value is far outside every range, and the range check says so.
constexpr double kFarOutside = 1e6;

// Millimetres are set to a tenth, as in the window and wherever the parameters are printed: a
// finer value would be used but printed otherwise, and one a hair below a limit would pass as
// the limit. Exact, not within a tolerance: "2,50" is a tenth, "0,99999999999" is not.
bool wholeTenths(double millimetres) {
    return std::abs(millimetres) > kFarOutside ||
           std::nearbyint(millimetres * 10) / 10 == millimetres;
}

// Durations are kept in whole seconds; the minutes typed must be one, or the rounding would
// hide what was typed (0,99999 min would become 1 min, inside the range it lies outside).
bool wholeSeconds(double minutes) {
    return std::abs(minutes) > kFarOutside || std::nearbyint(minutes * 60) / 60 == minutes;
}

int secondsOfMinutes(double minutes) {
    // Far beyond every range, so that out-of-range values are refused rather than wrapped.
    return static_cast<int>(std::clamp(std::nearbyint(minutes * 60), -1e9, 1e9));
}

}  // namespace

bool takeAnalysisOption(const std::vector<std::string>& args, std::size_t& i,
                        AnalysisParameters& parameters, std::optional<std::string>& error) {
    const std::string& arg = args[i];
    const auto note = [&error](std::string text) {
        if (!error) {
            error = std::move(text);
        }
    };
    for (std::size_t k = 0; k < std::size(kOptions); ++k) {
        const std::string name = kOptions[k];
        std::optional<std::string> value;
        if (arg == name) {
            if (i + 1 == args.size()) {
                note("после " + name + " нужно число");
                return true;
            }
            value = args[++i];
        } else if (arg.rfind(name + "=", 0) == 0) {
            value = arg.substr(name.size() + 1);
        } else {
            continue;
        }
        const auto number = decimalOf(*value);
        if (!number) {
            note(name + ": «" + plain::escaped(*value) + "» — не число");
            return true;
        }
        const bool millimetres = k == 0 || k == std::size(kOptions) - 1;
        if (millimetres && !wholeTenths(*number)) {
            note(name + ": «" + plain::escaped(*value) + "» — задаётся с точностью до 0,1 мм");
            return true;
        }
        if (!millimetres && !wholeSeconds(*number)) {
            note(name + ": «" + plain::escaped(*value) + "» — задаётся с точностью до секунды");
            return true;
        }
        switch (k) {
            case 0:
                parameters.threshold_mm = *number;
                break;
            case 1:
                parameters.min_duration_s = secondsOfMinutes(*number);
                break;
            case 2:
                parameters.merge_gap_s = secondsOfMinutes(*number);
                break;
            default:
                parameters.full_threshold_mm = *number;
                break;
        }
        return true;
    }
    return false;
}

}  // namespace npt
