// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/export_table.h"

#include <gtest/gtest.h>

#include "records/spreadsheet.h"

namespace npt {
namespace {

constexpr int k22h = 22 * 3600;

DiameterTable nightOf(std::uint16_t count) {
    DiameterTable table;
    for (std::size_t i = 0; i < count; ++i) {
        table.entries[i] = roundedToTenth(diameterOf(static_cast<std::uint8_t>(i % 255)));
    }
    table.count = count;
    return table;
}

const ExportPassport kPassport{"Иванов И.И.", "45", "09.12.26"};

TEST(ExportTableTest, HeaderRows) {
    const ExportTable t = buildExportTable(kPassport, nightOf(0), 10, k22h);
    EXPECT_EQ(t.title, "Таблица, переданная из внешней программы Велимор.");
    EXPECT_EQ(t.passportLine, "ФИО Пациента: Иванов И.И.  Возраст: 45 Дата иссл.: 09.12.26");
    EXPECT_EQ(t.headers[0], "№пп");
    EXPECT_EQ(t.headers[1], "Время");
    EXPECT_EQ(t.headers[2], "Диаметр,мм");
    EXPECT_TRUE(t.rows.empty()) << "no recording drawn yet: header rows only";

    const ExportTable hidden = buildExportTable({"", "45", "09.12.26"}, nightOf(0), 10, k22h);
    EXPECT_EQ(hidden.passportLine, "ФИО Пациента:   Возраст: 45 Дата иссл.: 09.12.26");
}

TEST(ExportTableTest, RowsOfAWholeNight) {
    const DiameterTable night = nightOf(4320);
    const ExportTable t = buildExportTable(kPassport, night, 10, k22h);
    ASSERT_EQ(t.rows.size(), 4320u);
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        ASSERT_EQ(t.rows[i].number, static_cast<int>(i));
        ASSERT_EQ(t.rows[i].diameterMm, night.entries[i]);
        ASSERT_GE(t.rows[i].timeOfDay, 0.0);
        ASSERT_LT(t.rows[i].timeOfDay, 1.0);
    }
}

TEST(ExportTableTest, SampleTimesWrapAtMidnight) {
    struct Case {
        const char* what;
        std::uint8_t period;
        int start;
        std::size_t index;
        long long seconds;  // since midnight
    };
    const Case cases[] = {
        {"first sample at the start", 10, k22h, 0, k22h},
        {"10 s from 22:00: index 719 is 23:59:50", 10, k22h, 719, 86390},
        {"10 s from 22:00: index 720 is midnight", 10, k22h, 720, 0},
        {"10 s from 22:00: last sample at 09:59:50", 10, k22h, 4319, 35990},
        {"5 s from 22:00: index 720 is the true 23:00", 5, k22h, 720, 82800},
        {"5 s from 22:00: midnight is index 1440", 5, k22h, 1440, 0},
        {"1 s from 23:59: midnight after 60 samples", 1, 86340, 60, 0},
        {"started at once at 10:00, no wrap", 10, 36000, 4319, 36000 + 43190},
        {"no period known: every sample at the start", 0, k22h, 4319, k22h},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExportTable t = buildExportTable(kPassport, nightOf(4320), c.period, c.start);
        const ExportRow& row = t.rows.at(c.index);
        EXPECT_EQ(row.seconds, c.seconds);
        EXPECT_DOUBLE_EQ(row.timeOfDay, static_cast<double>(c.seconds) / 86400);
    }
}

TEST(ExportTableTest, CsvText) {
    const ExportTable t = buildExportTable(kPassport, nightOf(3), 10, 86390);
    EXPECT_EQ(csvText(t),
              "№пп,Время,\"Диаметр,мм\"\r\n"
              "0,23:59:50,9.6\r\n"
              "1,00:00:00,9.8\r\n"
              "2,00:00:10,10\r\n");
}

}  // namespace
}  // namespace npt
