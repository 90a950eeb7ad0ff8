// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a workbook back as a spreadsheet program would, through python3-openpyxl: every filled
// cell of a sheet with its value and number format. Tests skip where openpyxl is not installed.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace npt::test {

inline constexpr const char* kPython = "/usr/bin/python3";

inline bool openpyxlAvailable() {
    return std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
}

// A number as Python's repr writes it.
inline std::string repr(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    return text.find_first_of(".e") == std::string::npos ? text + ".0" : text;
}

// Prints every filled cell of the named sheet, "ref<TAB>value<TAB>number format", times as day
// fractions; first the names of the sheets.
inline constexpr const char* kReadSheet = R"(import sys, datetime, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print("sheets", *wb.sheetnames, sep="\t")
for row in wb[sys.argv[2]].iter_rows():
    for c in row:
        v = c.value
        if v is None:
            continue
        if isinstance(v, datetime.timedelta):
            v = repr(v.total_seconds() / 86400)
        elif isinstance(v, datetime.time):
            v = repr((v.hour * 3600 + v.minute * 60 + v.second) / 86400)
        elif isinstance(v, datetime.datetime):
            v = repr((v - datetime.datetime(1899, 12, 30)).total_seconds() / 86400)
        print(c.coordinate, v, c.number_format, sep="\t")
)";

// Every cell of a workbook's sheet as openpyxl reads it: "A1" -> {value, number format}; the
// key "sheets" lists the sheets' names.
inline std::map<std::string, std::vector<std::string>> sheetCells(
    const std::filesystem::path& workbook, const char* sheet) {
    const std::filesystem::path script = workbook.parent_path() / "read_sheet.py";
    {
        std::ofstream out(script);
        out << kReadSheet;
    }
    std::map<std::string, std::vector<std::string>> cells;
    const std::string command =
        std::string(kPython) + " " + script.string() + " " + workbook.string() + " " + sheet;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::istringstream fields(std::string(buffer, std::strcspn(buffer, "\n")));
        std::string key, field;
        std::getline(fields, key, '\t');
        while (std::getline(fields, field, '\t')) {
            cells[key].push_back(field);
        }
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return cells;
}

}  // namespace npt::test
