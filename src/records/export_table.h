// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table a recording is exported as: a title, the passport line, a header row and one row
// per sample with its number, time of night and diameter.
#include <cstdint>
#include <string>
#include <vector>

#include "measure/samples.h"

namespace npt {

struct ExportRow {
    int number;         // from 0
    double timeOfDay;   // fraction of a day, always in [0, 1)
    long long seconds;  // the same time in whole seconds since midnight
    double diameterMm;
};

struct ExportTable {
    std::string title;
    std::string passportLine;
    std::string headers[3];
    std::vector<ExportRow> rows;
};

struct ExportPassport {
    std::string name;  // as shown: empty while the name is hidden
    std::string age;
    std::string date;
};

inline constexpr const char* kExportTitle = "Таблица, переданная из внешней программы Велимор.";

// The time of sample i is (start + i * period) seconds, wrapped at midnight.
ExportTable buildExportTable(const ExportPassport& passport, const DiameterTable& diameters,
                             std::uint8_t periodSeconds, int startSeconds);

}  // namespace npt
