// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night's analysis in the tool's output: the "analysis" object of the JSON document, and the
// summary, episode table and verdict of the plain-text summary.
#include <ostream>

#include "analysis/night_analysis.h"

namespace npt {

// {"parameters":{…},"episodes":[{…}],"summary":{…},"quality":{…}}, keys named as the members of
// the analysis; integers for seconds and counts, numbers for the rest; "summary" holds every
// figure of night_facts.h in its order, null where the night has none; "quality" ends with
// "recording", false when the bytes are not a recorder's memory (its verdict says why), and
// "unusable": the stretches left out that the verdict names, in time order, each
// {"start_s","end_s","reason","text"} (seconds from the first sample, faultCode, faultText).
void writeAnalysisJson(std::ostream& out, const NightAnalysis& analysis);

// The analysis for a reader: the summary line, the parameters, the verdict, the night's figures,
// the stretches left out, the episode table in aligned columns and the statement on rigidity.
// Russian, decimal commas, times of night.
void writeAnalysisText(std::ostream& out, const NightAnalysis& analysis);

}  // namespace npt
