// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// npt export FILE OUT.edf and npt archive export NIGHT OUT.edf, each file read back by libedf's
// own reader and checked against what npt show --json reports of the same recording: the
// header, every sample's diameter, the episodes and the stretches left out as annotations, and
// a hidden name nowhere in the bytes.
#include <edflib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>

#include "archive/archive.h"
#include "cli/npt_command.h"
#include "npt_run.h"
#include "npt_version.h"
#include "recorder/example_night.h"
#include "records/data_file.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

constexpr long long kTicks = EDFLIB_TIME_DIMENSION;  // libedf's times: 100 ns steps

// What npt show --json says of the night: the diameters and the analysis's stretches.
struct Shown {
    std::vector<double> diameters;
    std::vector<std::pair<int, int>> episodes;  // start_s, end_s
    std::vector<std::pair<int, int>> unusable;  // start_s, end_s
};

std::vector<std::pair<int, int>> stretchesIn(const std::string& json) {
    std::vector<std::pair<int, int>> found;
    const std::regex stretch(R"re("start_s":(\d+),"end_s":(\d+))re");
    for (std::sregex_iterator it(json.begin(), json.end(), stretch), end; it != end; ++it) {
        found.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    }
    return found;
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const auto start = text.find(from);
    if (start == std::string::npos) {
        return "";
    }
    return text.substr(start, text.find(to, start) - start);
}

Shown show(const std::vector<std::string>& args) {
    std::vector<std::string> command{"show"};
    command.insert(command.end(), args.begin(), args.end());
    command.emplace_back("--json");
    const NptRun r = npt(command);
    EXPECT_EQ(r.status, 0) << r.err;
    Shown shown;
    std::istringstream diameters(between(r.out, "\"diameters\":[", "]").substr(13));
    for (std::string value; std::getline(diameters, value, ',');) {
        shown.diameters.push_back(std::stod(value));
    }
    shown.episodes = stretchesIn(between(r.out, "\"episodes\":[", "\"summary\""));
    shown.unusable = stretchesIn(between(r.out, "\"unusable\":[", "]"));
    return shown;
}

std::string trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The file as libedf reads it.
struct LibEdfRead {
    edf_hdr_struct header{};
    std::vector<double> physical;
    std::vector<int> digital;
    std::vector<edf_annotation_struct> annotations;
};

std::unique_ptr<LibEdfRead> readWithLibedf(const fs::path& path) {
    auto read = std::make_unique<LibEdfRead>();
    if (edfopen_file_readonly(path.string().c_str(), &read->header, EDFLIB_READ_ALL_ANNOTATIONS) !=
        0) {
        ADD_FAILURE() << "libedf does not open " << path << ": error " << read->header.filetype;
        return nullptr;
    }
    const int handle = read->header.handle;
    const auto count = read->header.signalparam[0].smp_in_file;
    read->physical.resize(static_cast<std::size_t>(count));
    read->digital.resize(static_cast<std::size_t>(count));
    EXPECT_EQ(edfread_physical_samples(handle, 0, static_cast<int>(count), read->physical.data()),
              count);
    edfseek(handle, 0, 0, EDFSEEK_SET);
    EXPECT_EQ(edfread_digital_samples(handle, 0, static_cast<int>(count), read->digital.data()),
              count);
    for (long long i = 0; i < read->header.annotations_in_file; ++i) {
        edf_annotation_struct a{};
        EXPECT_EQ(edf_get_annotation(handle, static_cast<int>(i), &a), 0);
        read->annotations.push_back(a);
    }
    edfclose_file(handle);
    return read;
}

const edf_annotation_struct* annotationAt(const LibEdfRead& read, int start_s, int end_s,
                                          const std::string& textStart) {
    for (const auto& a : read.annotations) {
        if (a.onset == start_s * kTicks && a.duration_l == (end_s - start_s) * kTicks &&
            std::string(a.annotation).rfind(textStart, 0) == 0) {
            return &a;
        }
    }
    return nullptr;
}

struct Recording {
    const char* what;
    std::function<MemoryImage()> image;
    std::optional<std::string> password;
    std::string name;   // in the patient field; "X" when hidden
    std::string start;  // the first sample's, dd.MM.yyyy HH:mm
    int period;
};

MemoryImage withPeriod(std::uint8_t seconds) {
    MemoryImage image = exampleNight("");
    image[ImageOffsets::kPeriod] = seconds;
    return image;
}

// Erased twice: a stretch in the night and everything after 20:00 hours of it.
MemoryImage withErasedMemory() {
    MemoryImage image = exampleNight("");
    for (std::size_t i = 1000; i < 1100; ++i) {
        image[ImageOffsets::kSamples + i] = kErasedByte;
    }
    for (std::size_t i = 3000; i < ImageOffsets::kSampleCount; ++i) {
        image[ImageOffsets::kSamples + i] = kErasedByte;
    }
    return image;
}

// A passport whose date no calendar has: the date unknown, the time of day still known.
MemoryImage withImpossibleDate() {
    MemoryImage image = exampleNight("");
    image[ImageOffsets::kDay] = 30;
    image[ImageOffsets::kMonth] = 2;
    return image;
}

// Programmed at 23:48 with half an hour's delay: the first sample is the next day's.
MemoryImage startingAfterMidnight() {
    MemoryImage image = exampleNight("");
    image[ImageOffsets::kDay] = 31;
    image[ImageOffsets::kProgramTime] = 238;
    image.setWord(ImageOffsets::kDelayHigh, 30);
    return image;
}

TEST(EdfExportTest, LibedfReadsTheHeaderSamplesAndAnnotationsNptShowReports) {
    const std::string petrov = "Petrov Petr Petrovich";
    const Recording recordings[] = {
        {"the example", [] { return exampleNight(""); }, {}, petrov, "08.12.2026 22:00", 10},
        {"protected, with its password", [] { return exampleNight("1234"); }, "1234", petrov,
         "08.12.2026 22:00", 10},
        {"protected, without it",
         [] { return exampleNight("1234"); },
         {},
         "X",
         "08.12.2026 22:00",
         10},
        {"period 5 s", [] { return withPeriod(5); }, {}, petrov, "08.12.2026 22:00", 5},
        {"period 1 s", [] { return withPeriod(1); }, {}, petrov, "08.12.2026 22:00", 1},
        {"erased memory", withErasedMemory, {}, petrov, "08.12.2026 22:00", 10},
        {"a date no calendar has", withImpossibleDate, {}, petrov, "01.01.1985 22:00", 10},
        {"started after midnight", startingAfterMidnight, {}, petrov, "01.01.2027 00:18", 10},
    };
    const fs::path dir = scratchDir("cli");
    for (const Recording& r : recordings) {
        SCOPED_TRACE(r.what);
        const fs::path source = dir / (std::string(r.what) + ".txt");
        const fs::path edf = dir / (std::string(r.what) + ".edf");
        writeAll(source, dataFileBytes(r.image()));
        std::vector<std::string> passwordArgs;
        if (r.password) {
            passwordArgs = {"--password", *r.password};
        }
        std::vector<std::string> exportArgs{"export", source.string(), edf.string()};
        exportArgs.insert(exportArgs.end(), passwordArgs.begin(), passwordArgs.end());
        const NptRun exported = npt(exportArgs);
        ASSERT_EQ(exported.status, 0) << exported.err;
        std::vector<std::string> showArgs{source.string()};
        showArgs.insert(showArgs.end(), passwordArgs.begin(), passwordArgs.end());
        const Shown shown = show(showArgs);

        const auto read = readWithLibedf(edf);
        ASSERT_NE(read, nullptr);
        const edf_hdr_struct& h = read->header;
        EXPECT_EQ(h.filetype, EDFLIB_FILETYPE_EDFPLUS);
        EXPECT_EQ(h.edfsignals, 1);
        EXPECT_STREQ(h.patient_name, r.name.c_str());
        EXPECT_STREQ(h.patientcode, "");  // "X": unknown, which libedf gives as empty
        EXPECT_STREQ(h.gender, "Male");
        EXPECT_STREQ(h.equipment, (std::string("npt-desk ") + kVersion).c_str());
        char start[32];
        std::snprintf(start, sizeof start, "%02d.%02d.%04d %02d:%02d", h.startdate_day,
                      h.startdate_month, h.startdate_year, h.starttime_hour, h.starttime_minute);
        EXPECT_EQ(start, r.start);
        EXPECT_EQ(h.starttime_second, 0);
        const edf_param_struct& diameter = h.signalparam[0];
        EXPECT_EQ(trimmed(diameter.label), "Diameter");
        EXPECT_EQ(trimmed(diameter.physdimension), "mm");
        EXPECT_EQ(diameter.smp_in_datarecord * r.period * kTicks, h.datarecord_duration);

        // Every sample npt shows, to the tenth of a millimetre it reports; a position the
        // recorder never wrote at the digital minimum, as are those after the last written one
        // up to the end of the last data record.
        const MemoryImage image = r.image();
        const auto samples =
            image.bytes().subspan(ImageOffsets::kSamples, ImageOffsets::kSampleCount);
        std::size_t written = samples.size();
        while (written > 0 && samples[written - 1] == kErasedByte) {
            --written;
        }
        const std::size_t perRecord = static_cast<std::size_t>(diameter.smp_in_datarecord);
        ASSERT_EQ(read->digital.size(), (written + perRecord - 1) / perRecord * perRecord);
        ASSERT_EQ(shown.diameters.size(), samples.size());
        for (std::size_t i = 0; i < read->digital.size(); ++i) {
            if (i >= written || samples[i] == kErasedByte) {
                ASSERT_EQ(read->digital[i], diameter.dig_min) << "sample " << i;
            } else {
                ASSERT_NEAR(read->physical[i], shown.diameters[i], 1e-6) << "sample " << i;
            }
        }

        ASSERT_FALSE(shown.episodes.empty());
        for (std::size_t e = 0; e < shown.episodes.size(); ++e) {
            const auto [start, end] = shown.episodes[e];
            EXPECT_NE(annotationAt(*read, start, end, "Эпизод " + std::to_string(e + 1) + ", +"),
                      nullptr)
                << "episode " << e + 1;
        }
        for (const auto& [start, end] : shown.unusable) {
            EXPECT_NE(annotationAt(*read, start, end, "Не вошло в анализ: "), nullptr)
                << "left out " << start << ".." << end;
        }

        const auto bytes = readAll(edf);
        const std::string file(bytes.begin(), bytes.end());
        if (r.name == "X") {
            for (const char* part : {"Petrov", "Петров", "\xcf\xe5\xf2\xf0\xee\xe2"}) {
                EXPECT_EQ(file.find(part), std::string::npos) << part;
            }
        }
    }
}

TEST(EdfExportTest, AMemoryWithoutItsPassportHasNoPeriodAndIsNotExported) {
    const fs::path dir = scratchDir("cli");
    MemoryImage image = exampleNight("");
    for (std::size_t i = ImageOffsets::kPassportLead; i < ImageOffsets::kSamples; ++i) {
        image[i] = kErasedByte;
    }
    writeAll(dir / "night.txt", dataFileBytes(image));
    const NptRun r = npt({"export", (dir / "night.txt").string(), (dir / "night.edf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Файл EDF не записан: период измерений неизвестен"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir / "night.edf"));
}

TEST(EdfExportTest, TheArchiveExportsTheNightAsTheFileDoesWithTheReviewAndTheNumber) {
    const fs::path dir = scratchDir("cli");
    const std::string location = (dir / "archive.sqlite").string();
    const fs::path source = dir / "night.txt";
    writeAll(source, dataFileBytes(exampleNight("")));
    ASSERT_EQ(npt({"archive", "--archive", location, "add", source.string()}).status, 0);

    // With nothing more than the file holds, the archive's file is the file's.
    const fs::path fromFile = dir / "file.edf";
    const fs::path fromArchive = dir / "archive.edf";
    ASSERT_EQ(npt({"export", source.string(), fromFile.string()}).status, 0);
    NptRun r = npt({"archive", "--archive", location, "export", "1", fromArchive.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(fromArchive), readAll(fromFile));

    // The clinic's number and the doctor's review, which only the archive knows.
    const Shown shown = show({source.string()});
    ASSERT_GE(shown.episodes.size(), 2u);
    const auto [firstStart, firstEnd] = shown.episodes[0];
    const auto [secondStart, secondEnd] = shown.episodes[1];
    {
        auto a = archive::Archive::open(location, archive::Archive::Open::Existing);
        a.setPatientDetails(*a.night(1)->patientId, {"А-117", 1979});
        a.addReviewChange(1, {"reject", 1, firstStart, firstEnd, {}, {}, "Иванова А. А.", ""});
        a.addReviewChange(1, {"window", {}, {}, {}, 600, 30000, "Иванова А. А.", ""});
    }
    r = npt({"archive", "--archive", location, "export", "1", fromArchive.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto read = readWithLibedf(fromArchive);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->header.patientcode, "A-117");
    EXPECT_NE(annotationAt(*read, firstStart, firstEnd, "Артефакт по решению врача"), nullptr);
    EXPECT_NE(annotationAt(*read, firstStart, firstEnd, "Изменение врача: Эпизод 1"), nullptr);
    EXPECT_NE(annotationAt(*read, 600, 30000, "Окно анализа"), nullptr);
    EXPECT_NE(annotationAt(*read, 600, 30000, "Изменение врача: "), nullptr);
    EXPECT_NE(annotationAt(*read, secondStart, secondEnd, "Эпизод 1, +"), nullptr)
        << "the episodes numbered as the reviewed table numbers them";

    r = npt({"archive", "--archive", location, "export", "1", (dir / "night.xlsx").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("должно оканчиваться на .txt (запись датчика) или .edf (EDF+)"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace npt
