// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/export_table.h"

#include "measure/time_of_day.h"

namespace npt {

ExportTable buildExportTable(const ExportPassport& passport, const DiameterTable& diameters,
                             std::uint8_t periodSeconds, int startSeconds) {
    ExportTable table;
    table.title = kExportTitle;
    table.passportLine = "ФИО Пациента: " + passport.name + "  Возраст: " + passport.age +
                         " Дата иссл.: " + passport.date;
    table.headers[0] = "№пп";
    table.headers[1] = "Время";
    table.headers[2] = "Диаметр,мм";
    table.rows.reserve(diameters.count);
    for (int i = 0; i < diameters.count; ++i) {
        const long long seconds =
            (static_cast<long long>(startSeconds) + static_cast<long long>(i) * periodSeconds) %
            kSecondsPerDay;
        table.rows.push_back({i, static_cast<double>(seconds) / kSecondsPerDay, seconds,
                              diameters.entries[static_cast<std::size_t>(i)]});
    }
    return table;
}

}  // namespace npt
