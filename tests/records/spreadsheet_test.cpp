#include "records/spreadsheet.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>

#include "records/file_error.h"
#include "support/export_fixture.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

constexpr const char* kPython = "/usr/bin/python3";

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

bool openpyxlAvailable() {
    return std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
}

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

}  // namespace
}  // namespace npt
