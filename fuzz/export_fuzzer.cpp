// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Builds an export table from arbitrary passport texts, diameters, period and start time, and
// runs every writer of the export path over it: the CSV text, the .xlsx workbook and the CSV
// file written in a scratch folder, the JSON and plain-text writers of the npt tool. Arbitrary
// bytes also go to the workbook check, which reads whatever a disk gave back. Nothing may
// crash, every writer's output must keep its shape, and a workbook on a healthy disk must pass.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/json_writer.h"
#include "cli/plain_text.h"
#include "os/file_error.h"
#include "recorder/utf8.h"
#include "records/export_table.h"
#include "records/spreadsheet.h"
#include "records/workbook_check.h"

namespace {

// A folder of this run's own, in memory where the machine has /dev/shm; removed at exit. Kept
// alive to the very end, for the exit handler.
const std::string& scratchFolder() {
    static const std::string* folder = [] {
        auto* templ = new std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        *templ += "/npt-export-fuzz.XXXXXX";
        if (mkdtemp(templ->data()) == nullptr) {
            __builtin_trap();
        }
        std::atexit([] {
            for (const char* name : {"/night.xlsx", "/night.csv"}) {
                unlink((scratchFolder() + name).c_str());
            }
            rmdir(scratchFolder().c_str());
        });
        return templ;
    }();
    return *folder;
}

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void checkCsv(const std::string& csv, std::size_t rows) {
    std::size_t lines = 0;
    for (std::size_t at = 0; at < csv.size();) {
        const auto end = csv.find("\r\n", at);
        check(end != std::string::npos);
        const std::string_view line(csv.data() + at, end - at);
        check(line.find('\n') == std::string_view::npos &&
              line.find('\r') == std::string_view::npos);
        if (lines > 0) {
            check(std::count(line.begin(), line.end(), ',') == 2);  // number, time, diameter
        }
        ++lines;
        at = end + 2;
    }
    check(lines == rows + 1);
}

void checkJsonText(const std::string& quoted) {
    check(quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"');
    check(npt::utf8::isValid(quoted));
    for (unsigned char c : quoted) {
        check(c >= 0x20);
    }
}

void checkJsonNumber(double value) {
    const std::string text = npt::json::number(value);
    if (!std::isfinite(value)) {
        check(text == "null");
        return;
    }
    double back = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), back);
    check(result.ec == std::errc() && result.ptr == text.data() + text.size() && back == value);
}

void checkPlainText(const std::string& text) {
    const std::string shown = npt::plain::escaped(text);
    check(npt::utf8::isValid(shown));
    for (unsigned char c : shown) {
        check(c >= 0x20 && c != 0x7F);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)npt::workbookDefect(std::span(data, size), 3);

    FuzzedDataProvider input(data, size);
    const npt::ExportPassport passport{input.ConsumeRandomLengthString(48),
                                       input.ConsumeRandomLengthString(8),
                                       input.ConsumeRandomLengthString(12)};
    const auto period = input.ConsumeIntegral<std::uint8_t>();
    const int start = input.ConsumeIntegralInRange(0, 86399);
    npt::DiameterTable diameters;
    diameters.count = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    for (std::size_t i = 0; i < diameters.count; ++i) {
        diameters.entries[i] = input.ConsumeFloatingPoint<double>();
    }
    const npt::ExportTable table = npt::buildExportTable(passport, diameters, period, start);

    checkCsv(npt::csvText(table), table.rows.size());
    for (const std::string* text : {&passport.name, &passport.age, &passport.date}) {
        checkJsonText(npt::json::quoted(*text));
        checkPlainText(*text);
    }
    for (const npt::ExportRow& row : table.rows) {
        checkJsonNumber(row.diameterMm);
        check(row.timeOfDay >= 0 && row.timeOfDay < 1);
    }

    const std::string base = scratchFolder() + "/night";
    try {
        npt::writeXlsx(base + ".xlsx", table);
        npt::writeCsv(base + ".csv", table);
    } catch (const npt::FileError&) {
        __builtin_trap();  // the scratch folder has room: every table must be written
    }
    return 0;
}
