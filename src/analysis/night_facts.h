// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The figures of the night's summary, decided once: which of them a night has and in what
// order they are read. The plain text, the window's dialog, the report, the analysis sheet and
// the JSON document all walk this one table, so that none shows a figure another leaves out.
#include <optional>
#include <span>
#include <string>

#include "analysis/night_analysis.h"

namespace npt {

// How a figure is measured, and so how each output writes it.
enum class FactUnit {
    Duration,           // seconds: "2 ч 18 мин"; a time cell in the sheet
    Count,              // a whole number
    Millimetres,        // "12,4 мм"
    MillimetreMinutes,  // "31,0 мм·мин"
    PerHour,            // two decimals
};

// Which nights have a figure: every recording its recorded time; a night that could be analysed
// the figures of its analysis; a night with episodes the figures of its episodes (the longest,
// the mean, the largest increase, the area), as one without has the largest rise it reached.
enum class FactScope { Recording, Analysed, WithEpisodes, WithoutEpisodes };

struct NightFactKind {
    const char* label;  // as the text, the dialog, the report and the sheet name it
    const char* key;    // as the JSON document names it
    FactUnit unit;
    FactScope scope;
    double (*value)(const NightSummary&);
};

// Every figure a summary can hold, in reading order.
std::span<const NightFactKind> nightFactKinds();

// The figure of this night, or nothing when its scope leaves the night out; bytes that are no
// recording have no figure at all.
std::optional<double> nightFact(const NightAnalysis& analysis, const NightFactKind& kind);

// The figure as the text writes it: "2 ч 18 мин", "5", "12,4 мм", "31,0 мм·мин", "0,42".
std::string factText(FactUnit unit, double value);

// The label with the unit the sheet's number cell does not show: "Макс. прирост, мм".
std::string sheetLabel(const NightFactKind& kind);

}  // namespace npt
