// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The patient archive at a clinic's size: 10 000 nights (about 3 300 patients of three nights),
// made once and kept beside the benchmark. How long an import of 1 000 recordings takes, a
// keystroke of the search, a patient's study of three nights opened, and the file's size per
// night.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archived_night.h"
#include "archive/night_entry.h"
#include "archive/schema.h"
#include "cli/archive_command.h"
#include "recorder/cp1251.h"
#include "recorder/example_night.h"
#include "records/data_file.h"

namespace {

namespace fs = std::filesystem;
using npt::archive::Archive;

constexpr int kNights = 10'000;
const char* const kSurnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов",
                                 "Попов",  "Волков", "Соколов", "Лебедев",  "Морозов"};
const char* const kNames[] = {"Иван", "Пётр", "Сергей", "Олег", "Андрей", "Михаил"};

// Night k: patient k / 3 (a surname, a name and a number make the name), on three days in a
// row, each night a sample of its own.
std::vector<std::uint8_t> night(int k) {
    npt::MemoryImage image = npt::exampleNight("");
    using namespace npt::ImageOffsets;
    const int patient = k / 3;
    const std::string name = std::string(kSurnames[patient % 10]) + " " + kNames[patient / 10 % 6] +
                             " " + std::to_string(patient);
    const auto bytes = npt::cp1251::encode(name).value();
    for (std::size_t i = 0; i < kNameLength; ++i) {
        image[kName + i] = i < bytes.size() ? bytes[i] : 0;
    }
    image[kDay] = static_cast<std::uint8_t>(1 + (patient * 3 % 26) + k % 3);
    image[kMonth] = static_cast<std::uint8_t>(1 + patient % 12);
    image[kSamples + 11] = static_cast<std::uint8_t>(k & 0xFF);
    image[kSamples + 12] = static_cast<std::uint8_t>((k >> 8) & 0xFF);
    image[kSamples + 13] = static_cast<std::uint8_t>((k >> 16) & 0xFF);
    return npt::dataFileBytes(image);
}

fs::path benchFolder() {
    fs::path dir = fs::temp_directory_path() / "npt-archive-bench";
    fs::create_directories(dir);
    return dir;
}

// The archive of 10 000 nights, made on first use (a few minutes) and kept.
const fs::path& fullArchive() {
    static const fs::path path = [] {
        // Named by the archive's layout, so that a later layout is measured on its own file.
        fs::path p = benchFolder() /
                     ("archive-10000-v" + std::to_string(npt::archive::kSchemaVersion) + ".sqlite");
        if (!fs::exists(p)) {
            const fs::path making = benchFolder() / "making.sqlite";
            fs::remove(making);
            Archive a = Archive::open(making.string(), Archive::Open::Create);
            for (int k = 0; k < kNights; ++k) {
                a.add(npt::archive::nightEntryOf(night(k), std::nullopt),
                      npt::archive::NightSource::File, "night.txt", npt::AnalysisParameters{});
            }
            fs::rename(making, p);
        }
        return p;
    }();
    return path;
}

void BM_ImportThousandRecordingsIntoTheFullArchive(benchmark::State& state) {
    const fs::path folder = benchFolder() / "import";
    if (!fs::exists(folder / "999.txt")) {
        fs::create_directories(folder);
        for (int k = 0; k < 1000; ++k) {
            const auto bytes = night(kNights + k);
            std::ofstream(folder / (std::to_string(k) + ".txt"), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }
    const fs::path copy = benchFolder() / "import-target.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(fullArchive(), copy, fs::copy_options::overwrite_existing);
        std::ostringstream out;
        std::ostringstream err;
        state.ResumeTiming();
        const int status = npt::runArchiveCommand(
            {"--archive", copy.string(), "import", folder.string()}, out, err, false);
        if (status != 0) {
            state.SkipWithError(err.str().c_str());
        }
    }
}
BENCHMARK(BM_ImportThousandRecordingsIntoTheFullArchive)->Unit(benchmark::kSecond)->Iterations(1);

// The search after each keystroke of "иванов иван 12", as the window runs it: the argument is
// how many characters are typed.
void BM_SearchAsYouType(benchmark::State& state) {
    Archive a = Archive::open(fullArchive().string(), Archive::Open::Existing);
    const std::u32string typed = U"иванов иван 12";
    std::u32string prefix = typed.substr(0, static_cast<std::size_t>(state.range(0)));
    std::string text;
    for (const char32_t c : prefix) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::size_t found = 0;
    for (auto _ : state) {
        found = a.patients(text).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchAsYouType)->DenseRange(1, 14, 1)->Unit(benchmark::kMillisecond);

// A patient chosen, the study's three nights read and analysed for the study view.
void BM_OpenAStudyOfThreeNights(benchmark::State& state) {
    Archive a = Archive::open(fullArchive().string(), Archive::Open::Existing);
    const auto patients = a.patients("сидоров иван 1502");
    if (patients.empty()) {
        state.SkipWithError("no such patient");
        return;
    }
    for (auto _ : state) {
        const auto record = a.patient(patients.front().id);
        for (const auto& night : record->studies.front().nights) {
            benchmark::DoNotOptimize(npt::archive::archivedNight(a, night.id));
        }
    }
}
BENCHMARK(BM_OpenAStudyOfThreeNights)->Unit(benchmark::kMillisecond);

void BM_ArchiveSizePerNight(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(fs::file_size(fullArchive()));
    }
    state.counters["bytes_per_night"] = static_cast<double>(fs::file_size(fullArchive())) / kNights;
}
BENCHMARK(BM_ArchiveSizePerNight)->Iterations(1);

}  // namespace
