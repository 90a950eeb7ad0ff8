// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How long the doctor waits for a table: a whole night's workbook written, synced and checked
// before it replaces the file, and the check on its own.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "records/export_table.h"
#include "records/spreadsheet.h"
#include "records/workbook_check.h"

namespace {

npt::ExportTable wholeNight() {
    npt::DiameterTable diameters;
    diameters.count = 4320;
    for (std::size_t i = 0; i < diameters.count; ++i) {
        diameters.entries[i] = 19.6 + static_cast<double>(i % 200) / 5;
    }
    return npt::buildExportTable({"Петров Пётр Петрович", "47", "08.12.26"}, diameters, 10,
                                 22 * 3600);
}

// A folder of the benchmark's own in the system's temporary folder, removed afterwards.
struct Scratch {
    std::string dir;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/npt-bench.XXXXXX";
        if (mkdtemp(dir.data()) == nullptr) {
            std::abort();
        }
    }
    ~Scratch() {
        unlink((dir + "/night.xlsx").c_str());
        rmdir(dir.c_str());
    }
};

void BM_ExportWorkbook(benchmark::State& state) {
    const npt::ExportTable table = wholeNight();
    const Scratch scratch;
    for (auto _ : state) {
        npt::writeXlsx(scratch.dir + "/night.xlsx", table);
    }
}
BENCHMARK(BM_ExportWorkbook)->Unit(benchmark::kMillisecond);

void BM_WorkbookCheck(benchmark::State& state) {
    const Scratch scratch;
    const std::string path = scratch.dir + "/night.xlsx";
    npt::writeXlsx(path, wholeNight());
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(npt::workbookDefect(bytes, 4323));
    }
}
BENCHMARK(BM_WorkbookCheck)->Unit(benchmark::kMillisecond);

}  // namespace
