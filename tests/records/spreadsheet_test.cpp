// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/spreadsheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "analysis/analysis_text.h"
#include "os/file_error.h"
#include "records/workbook_check.h"
#include "support/export_fixture.h"
#include "support/scratch.h"
#include "support/sheet_cells.h"

namespace npt {
namespace {

using namespace npt::test;

// Prints the cells the export fills, one "key<TAB>value..." line each; times as day fractions.
constexpr const char* kReadBack = R"(import sys, datetime, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
def days(v):
    if isinstance(v, datetime.timedelta):
        return v.total_seconds() / 86400
    if isinstance(v, datetime.time):
        return (v.hour * 3600 + v.minute * 60 + v.second + v.microsecond / 1e6) / 86400
    if isinstance(v, datetime.datetime):
        return (v - datetime.datetime(1899, 12, 30)).total_seconds() / 86400
    return float(v)
for ref in ("A1", "A2", "A3", "B3", "C3"):
    print(ref, ws[ref].value, sep="\t")
print("rows", ws.max_row, sep="\t")
for r in sys.argv[2:]:
    r = int(r)
    b = ws.cell(r, 2)
    print(r, repr(float(ws.cell(r, 1).value)), repr(days(b.value)), b.number_format,
          repr(float(ws.cell(r, 3).value)), sep="\t")
)";

std::map<std::string, std::vector<std::string>> readBack(const fs::path& workbook,
                                                         const std::string& rows) {
    const fs::path script = workbook.parent_path() / "read_back.py";
    {
        std::ofstream out(script);
        out << kReadBack;
    }
    const std::string command =
        std::string(kPython) + " " + script.string() + " " + workbook.string() + " " + rows;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        text += buffer;
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string key, field;
        std::getline(fields, key, '\t');
        while (std::getline(fields, field, '\t')) {
            lines[key].push_back(field);
        }
    }
    return lines;
}

double number(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TEST(SpreadsheetTest, WorkbookCellsAndTimeFormat) {
    if (!openpyxlAvailable()) {
        GTEST_SKIP() << "python3-openpyxl is not installed";
    }
    const auto dir = scratchDir("records");
    const auto path = dir / "night.xlsx";
    writeXlsx(path.string(), wholeNightTable());
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.xlsx"});

    auto cells = readBack(path, "4 723 724 4323");
    ASSERT_FALSE(cells.empty()) << "the workbook could not be read back";
    using V = std::vector<std::string>;
    EXPECT_EQ(cells["A1"], V{"Таблица, переданная из внешней программы Велимор."});
    EXPECT_EQ(cells["A2"], V{"ФИО Пациента:   Возраст: 45 Дата иссл.: 05.03.7"});
    EXPECT_EQ(cells["A3"], V{"№пп"});
    EXPECT_EQ(cells["B3"], V{"Время"});
    EXPECT_EQ(cells["C3"], V{"Диаметр,мм"});
    EXPECT_EQ(cells["rows"], V{"4323"}) << "4320 samples fill rows 4 to 4323";

    struct Row {
        const char* key;
        double number, days, mm;
    };
    const Row rows[] = {
        {"4", 0, 22.0 / 24, 19.6},              // first sample at the start time
        {"723", 719, 86390.0 / 86400, 19.6},    // 23:59:50
        {"724", 720, 0, 60.4},                  // midnight
        {"4323", 4319, 35990.0 / 86400, 19.6},  // 09:59:50
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.key);
        const V& c = cells[r.key];
        ASSERT_EQ(c.size(), 4u);
        EXPECT_EQ(number(c[0]), r.number);
        EXPECT_NEAR(number(c[1]), r.days, 1e-9);
        EXPECT_EQ(c[2], "[h]:mm:ss;@");
        EXPECT_EQ(number(c[3]), r.mm);
    }
}

// A night of two episodes, the second after midnight, with every figure set, and the sensor off
// from 02:00 to 04:05 (a skipped sample at 22:10 is only counted).
WorkbookAnalysis twoEpisodes() {
    WorkbookAnalysis w;
    w.startSeconds = 22 * 3600;
    NightAnalysis& a = w.analysis;
    a.parameters.threshold_mm = 3.5;
    a.episodes = {{3600, 5400, "23:00:00", "23:30:00", 1800, 26.2, 34.2, 8.0, 30.5, 1500, 220.4},
                  {9000, 12600, "00:30:00", "01:30:00", 3600, 26.0, 37.0, 11.0, 42.3, 3300, 540.0}};
    a.summary = {.valid_s = 43200,
                 .analysed_s = 43200 - 7500 - 10,
                 .episodes = 2,
                 .total_s = 5400,
                 .longest_s = 3600,
                 .mean_s = 2700,
                 .max_increase_mm = 11.0,
                 .area_mm_min = 760.4,
                 .per_hour = 0.18,
                 .largest_rise_mm = 11.0};
    a.quality.verdict = "данные пригодны для анализа, кроме участков: 02:00–04:05 — датчик снят";
    a.quality.erased = 1;
    a.quality.stretches = {{Fault::Erased, 600, 610}, {Fault::Off, 14400, 21900}};
    a.quality.usability = Usability::PartlyUsable;
    return w;
}

// A doctor's folder and file names: the spreadsheet library opens the file by its narrow name
// (UTF-8 through the program's code page on Windows), the table is written by the file layer.
TEST(SpreadsheetTest, CyrillicFolderAndFileNames) {
    const auto dir = scratchDir("records") / u8"Пациенты";
    fs::create_directories(dir);
    const auto utf8 = [](const fs::path& p) {
        const std::u8string text = p.u8string();
        return std::string(text.begin(), text.end());
    };
    const fs::path workbook = dir / u8"Иванов И.И. 10.12.26.xlsx";
    const fs::path table = dir / u8"Иванов И.И. 10.12.26.csv";
    for (int round = 0; round < 2; ++round) {  // written, then replaced
        writeXlsx(utf8(workbook), wholeNightTable());
        writeCsv(utf8(table), wholeNightTable());
    }
    const auto bytes = readAll(workbook);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "PK");
    EXPECT_FALSE(workbookDefect(bytes, wholeNightTable().rows.size() + 3));
    const std::string csv = csvText(wholeNightTable());
    EXPECT_EQ(readAll(table), std::vector<std::uint8_t>(csv.begin(), csv.end()));
    EXPECT_EQ(entriesOf(dir),
              (std::set<std::string>{"Иванов И.И. 10.12.26.csv", "Иванов И.И. 10.12.26.xlsx"}));
}

TEST(SpreadsheetTest, AnalysisSheetBesideAnUnchangedFirstSheet) {
    const auto dir = scratchDir("records");
    const WorkbookAnalysis night = twoEpisodes();
    writeXlsx((dir / "table.xlsx").string(), wholeNightTable());
    writeXlsx((dir / "analysed.xlsx").string(), wholeNightTable(), &night);
    const auto plain = zipParts(readAll(dir / "table.xlsx"));
    const auto analysed = zipParts(readAll(dir / "analysed.xlsx"));
    ASSERT_TRUE(plain && analysed);
    EXPECT_EQ(analysed->at(sheetPart(1)), plain->at(sheetPart(1))) << "the first sheet changed";
    EXPECT_EQ(analysed->count(sheetPart(2)), 1u);

    if (!openpyxlAvailable()) {
        GTEST_SKIP() << "python3-openpyxl is not installed";
    }
    auto cells = sheetCells(dir / "analysed.xlsx", kAnalysisSheetName);
    using V = std::vector<std::string>;
    EXPECT_EQ(cells["sheets"], (V{"Sheet1", "Анализ"}));
    // Label in A, value in B; times as fractions of a day in the first sheet's format.
    const std::map<std::string, std::pair<std::string, V>> expected = {
        {"A1", {"Анализ ночи", {}}},
        {"A2", {"ФИО Пациента:   Возраст: 45 Дата иссл.: 05.03.7", {}}},
        {"A5", {"Порог эпизода, мм", {"3.5", "General"}}},
        {"A6", {"Минимальная длительность", {repr(300.0 / 86400), "[h]:mm:ss;@"}}},
        {"A8", {"Время с приростом от, мм", {"5", "General"}}},
        {"A11", {"Записано", {repr(43200.0 / 86400), "[h]:mm:ss;@"}}},
        {"A12", {"Проанализировано", {repr(35690.0 / 86400), "[h]:mm:ss;@"}}},
        {"A13", {"Эпизодов", {"2", "General"}}},
        {"A14", {"Всего в эпизодах", {repr(5400.0 / 86400), "[h]:mm:ss;@"}}},
        {"A16", {"Средний эпизод", {repr(2700.0 / 86400), "[h]:mm:ss;@"}}},
        {"A19", {"Эпизодов в час анализа", {"0.18", "General"}}},
        {"A20", {"Качество записи", {night.analysis.quality.verdict, "General"}}},
        {"A21", {"Пропущенных отсчётов", {"1", "General"}}},
    };
    for (const auto& [ref, want] : expected) {
        SCOPED_TRACE(ref);
        ASSERT_FALSE(cells[ref].empty());
        EXPECT_EQ(cells[ref][0], want.first);
        if (!want.second.empty()) {
            const std::string value = "B" + ref.substr(1);
            EXPECT_EQ(cells[value], want.second) << value;
        }
    }
    EXPECT_EQ(cells.count("A24"), 0u) << "a gap after the quality";
    // The stretches left out: the one the verdict names, not the skipped sample; its times of
    // night, duration and minutes from the start.
    const auto row = [&](int number, std::size_t columns) {
        V values;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::string ref =
                std::string(1, static_cast<char>('A' + c)) + std::to_string(number);
            values.push_back(cells.contains(ref) ? cells[ref][0] : "");
        }
        return values;
    };
    EXPECT_EQ(cells["A25"][0], "Исключено из анализа");
    EXPECT_EQ(row(26, 5),
              (V{"Причина", "Начало", "Конец", "Длительность", "От начала записи, мин"}));
    EXPECT_EQ(row(27, 5), (V{faultText(Fault::Off), repr(7200.0 / 86400), repr(14700.0 / 86400),
                             repr(7500.0 / 86400), "240"}));
    EXPECT_EQ(cells["B27"][1], "[h]:mm:ss;@");
    EXPECT_EQ(cells.count("A28"), 0u) << "the skipped sample is not listed";
    // The episode table: a header row, then one row per episode, and the minutes from the start
    // of the recording, which sort where times of night wrap at midnight.
    EXPECT_EQ(cells["A29"][0], "Эпизоды");
    EXPECT_EQ(cells["A30"][0], "№");
    EXPECT_EQ(cells["J30"][0], "Площадь, мм·мин");
    EXPECT_EQ(cells["K30"][0], "Начало, мин от начала записи");
    const V first = {"1",
                     repr(23.0 / 24),
                     repr(23.5 / 24),
                     repr(1800.0 / 86400),
                     "26.2",
                     "34.2",
                     "8",
                     "30.5",
                     repr(1500.0 / 86400),
                     "220.4",
                     "60"};
    EXPECT_EQ(row(31, first.size()), first);
    // Times of night after midnight; minutes from the start go on.
    EXPECT_EQ(row(32, 3), (V{"2", repr(0.5 / 24), repr(1.5 / 24)}));
    EXPECT_EQ(cells["K32"][0], "150");
    EXPECT_EQ(cells["B31"][1], "[h]:mm:ss;@");
    EXPECT_EQ(cells["A34"][0], kRigidityStatement);
}

TEST(SpreadsheetTest, TheNightsFiguresAreThoseItHas) {
    // A sensor that never moved: "Эпизодов: 0" under "Анализ невозможен" would read as a finding.
    // Bytes that are no recording at all have not even a recorded time or counts of faults. A
    // night analysed without episodes gives the largest rise it reached, and no figures of
    // episodes it does not have.
    if (!openpyxlAvailable()) {
        GTEST_SKIP() << "python3-openpyxl is not installed";
    }
    struct Case {
        const char* what;
        Usability usability;
        std::vector<std::string> rows;  // column A from row 11 to the episode table's heading
        bool leftOut;                   // the section of stretches left out is there
    };
    const Case cases[] = {
        {"a night without episodes",
         Usability::Usable,
         {"Записано", "Проанализировано", "Эпизодов", "Всего в эпизодах", "Наибольший прирост, мм",
          "Эпизодов в час анализа", "Качество записи", "Пропущенных отсчётов",
          "Отсчётов на краях диапазона", "Ровные участки"},
         true},
        {"a sensor that never moved",
         Usability::Unusable,
         {"Записано", "Качество записи", "Пропущенных отсчётов", "Отсчётов на краях диапазона",
          "Ровные участки"},
         true},
        {"no sample period: no sample was assessed",
         Usability::NoPeriod,
         {"Записано", "Качество записи", "Пропущенных отсчётов", "Отсчётов на краях диапазона",
          "Ровные участки"},
         false},
        {"no recording", Usability::NotRecording, {"Качество записи"}, false},
    };
    const auto dir = scratchDir("records");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkbookAnalysis night;
        night.startSeconds = 22 * 3600;
        night.analysis.summary.valid_s = 43200;
        night.analysis.summary.largest_rise_mm = 2.4;
        night.analysis.quality.usability = c.usability;
        night.analysis.quality.verdict = "Анализ невозможен";
        writeXlsx((dir / "night.xlsx").string(), wholeNightTable(), &night);
        auto cells = sheetCells(dir / "night.xlsx", kAnalysisSheetName);
        std::vector<std::string> rows;
        for (int row = 11; cells.contains("A" + std::to_string(row)); ++row) {
            rows.push_back(cells.at("A" + std::to_string(row)).front());
        }
        EXPECT_EQ(rows, c.rows);
        const bool leftOut = std::any_of(cells.begin(), cells.end(), [](const auto& cell) {
            return cell.second.front() == "Исключено из анализа";
        });
        EXPECT_EQ(leftOut, c.leftOut);
        if (analysable(c.usability)) {
            EXPECT_EQ(cells["B15"], (std::vector<std::string>{"2.4", "General"}));
            continue;
        }
        for (const auto& [ref, value] : cells) {
            EXPECT_NE(value.front(), "Эпизодов") << ref;
        }
    }
}

#ifndef _WIN32
// Linux only: a file-size limit (rlimit) makes the export fail.
TEST(SpreadsheetTest, FailedExportNamesTheChosenFileAndKeepsTheEarlierOne) {
    const auto dir = scratchDir("records");
    const auto path = dir / "night.xlsx";
    const std::vector<std::uint8_t> earlier = {'o', 'l', 'd'};
    writeAll(path, earlier);
    try {
        const FileSizeLimit limit(4096);  // the workbook of a whole night is larger
        writeXlsx(path.string(), wholeNightTable());
        ADD_FAILURE() << "export did not fail";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), path.string());
        EXPECT_NE(std::string(e.what()).find("«" + path.string() + "»"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(readAll(path), earlier);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.xlsx"});
}
#endif

}  // namespace
}  // namespace npt
