// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The export table of a whole night: 4320 samples ten seconds apart from 22:00, patient name
// hidden; every diameter 19.6 mm except 60.4 mm at midnight (sample 720).
#include "records/export_table.h"

namespace npt::test {

inline ExportTable wholeNightTable() {
    DiameterTable diameters;
    for (std::size_t i = 0; i < 4320; ++i) {
        diameters.entries[i] = i == 720 ? 60.4 : 19.6;
    }
    diameters.count = 4320;
    return buildExportTable({"", "45", "05.03.7"}, diameters, 10, 22 * 3600);
}

}  // namespace npt::test
