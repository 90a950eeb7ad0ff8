// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's EDF+ file read back by a small reader written from the format's description,
// apart from the writer: the header's fields, every sample's physical value, the annotations.
#include "records/edf_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/night_recording.h"
#include "measure/samples.h"
#include "recorder/example_night.h"
#include "records/edf_night.h"

namespace npt {
namespace {

struct ReadBack {
    std::string version, patient, recording, date, time, reserved;
    int headerBytes = 0, records = 0, signals = 0;
    double recordSeconds = 0;
    std::vector<std::string> labels;
    std::vector<double> physMin, physMax;
    std::vector<int> digMin, digMax, perRecord;
    std::vector<std::vector<int>> digital;    // per signal
    std::vector<std::string> annotationText;  // per record, the annotation signal's bytes
};

std::string text(const std::vector<std::uint8_t>& b, std::size_t& at, std::size_t width) {
    std::string s(b.begin() + static_cast<std::ptrdiff_t>(at),
                  b.begin() + static_cast<std::ptrdiff_t>(at + width));
    at += width;
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

ReadBack read(const std::vector<std::uint8_t>& b) {
    ReadBack r;
    std::size_t at = 0;
    r.version = text(b, at, 8);
    r.patient = text(b, at, 80);
    r.recording = text(b, at, 80);
    r.date = text(b, at, 8);
    r.time = text(b, at, 8);
    r.headerBytes = std::stoi(text(b, at, 8));
    r.reserved = text(b, at, 44);
    r.records = std::stoi(text(b, at, 8));
    r.recordSeconds = std::stod(text(b, at, 8));
    r.signals = std::stoi(text(b, at, 4));
    const auto each = [&](std::size_t width) {
        std::vector<std::string> values(static_cast<std::size_t>(r.signals));
        for (std::string& value : values) {
            value = text(b, at, width);
        }
        return values;
    };
    r.labels = each(16);
    each(80);
    each(8);
    for (const auto& v : each(8))
        r.physMin.push_back(std::stod(v));
    for (const auto& v : each(8))
        r.physMax.push_back(std::stod(v));
    for (const auto& v : each(8))
        r.digMin.push_back(std::stoi(v));
    for (const auto& v : each(8))
        r.digMax.push_back(std::stoi(v));
    each(80);
    for (const auto& v : each(8))
        r.perRecord.push_back(std::stoi(v));
    each(32);
    r.digital.resize(static_cast<std::size_t>(r.signals));
    for (int rec = 0; rec < r.records; ++rec) {
        for (int s = 0; s < r.signals; ++s) {
            std::string bytes;
            for (int i = 0; i < r.perRecord[static_cast<std::size_t>(s)]; ++i) {
                const auto word = static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
                bytes += static_cast<char>(b[at]);
                bytes += static_cast<char>(b[at + 1]);
                r.digital[static_cast<std::size_t>(s)].push_back(static_cast<std::int16_t>(word));
                at += 2;
            }
            if (r.labels[static_cast<std::size_t>(s)] == "EDF Annotations") {
                r.annotationText.push_back(bytes);
            }
        }
    }
    EXPECT_EQ(at, b.size()) << "bytes after the last record";
    return r;
}

TEST(EdfFileTest, EverySampleMapsExactlyAndTheAnnotationsAreTimeStamped) {
    EdfNight night;
    night.patientCode = "A-117";
    night.patientName = "Petrov_Petr";
    night.date = CalendarDate{8, 12, 2026};
    night.startSeconds = 22 * 3600;
    night.equipment = "npt-desk_0.1.0";
    night.periodSeconds = 10;
    for (int i = 0; i < 130; ++i) {
        night.samples.push_back(static_cast<std::uint8_t>(i == 5 ? 0xFF : (i * 7) % 255));
    }
    night.annotations = {{600, 300, "Эпизод 1, +7,6 мм"}, {1000, std::nullopt, "окно анализа"}};
    const ReadBack r = read(edfBytes(night));
    EXPECT_EQ(r.version, "0");
    EXPECT_EQ(r.patient, "A-117 M X Petrov_Petr");
    EXPECT_EQ(r.recording, "Startdate 08-DEC-2026 X X npt-desk_0.1.0");
    EXPECT_EQ(r.date, "08.12.26");
    EXPECT_EQ(r.time, "22.00.00");
    EXPECT_EQ(r.reserved, "EDF+C");
    EXPECT_EQ(r.headerBytes, 768);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.recordSeconds, 600);
    ASSERT_EQ(r.labels, (std::vector<std::string>{"Diameter", "EDF Annotations"}));
    const double gain = (r.physMax[0] - r.physMin[0]) / (r.digMax[0] - r.digMin[0]);
    for (std::size_t i = 0; i < night.samples.size(); ++i) {
        const int d = r.digital[0][i];
        const double mm = r.physMin[0] + (d - r.digMin[0]) * gain;
        if (night.samples[i] == 0xFF) {
            EXPECT_EQ(d, r.digMin[0]) << i;
        } else {
            EXPECT_NEAR(mm, diameterOf(night.samples[i]), 1e-9) << i;
        }
    }
    // The rest of the last record: the digital minimum.
    EXPECT_EQ(r.digital[0].back(), r.digMin[0]);
    ASSERT_EQ(r.annotationText.size(), 3U);
    EXPECT_EQ(r.annotationText[0].substr(0, 4), std::string("+0\x14\x14", 4));
    EXPECT_EQ(r.annotationText[1].substr(0, 6), std::string("+600\x14\x14", 6));
    EXPECT_NE(r.annotationText[1].find(std::string("+600\x15") + "300\x14Эпизод 1, +7,6 мм\x14"),
              std::string::npos);
    EXPECT_NE(r.annotationText[1].find("+1000\x14окно анализа\x14"), std::string::npos);
}

TEST(EdfNightTest, TheNameInTheHeadersAsciiAndTheNightsAnnotations) {
    const std::pair<const char*, const char*> names[] = {
        {"Петров Пётр Петрович", "Petrov_Petr_Petrovich"},
        {"Щукин  Юрий", "Shchukin_Iurii"},
        {"Жанна Ъ-Ь", "Zhanna_Ie-"},
        {"  ", "X"},
        {"Smith O'Neil", "Smith_O'Neil"},
    };
    for (const auto& [name, ascii] : names) {
        EXPECT_EQ(edfName(name), ascii) << name;
    }
    const MemoryImage image = exampleNight("");
    const auto samples = image.bytes().subspan(ImageOffsets::kSamples, ImageOffsets::kSampleCount);
    const NightAnalysis analysis = analyseNight({samples, 10, 22 * 3600}, AnalysisParameters{});
    EdfNightSource source;
    source.samples = samples;
    source.startSeconds = 22 * 3600;
    source.date = firstSampleDate(image);
    source.equipment = "npt-desk 0.1.0";
    const EdfNight hidden = edfNightOf(source, analysis);
    EXPECT_EQ(hidden.patientName, "X");
    EXPECT_EQ(hidden.equipment, "npt-desk_0.1.0");
    EXPECT_EQ(hidden.samples.size(), writtenLength(samples));
    ASSERT_EQ(hidden.annotations.size(),
              analysis.episodes.size() + analysis.quality.stretches.size());
    EXPECT_EQ(hidden.annotations[0].onset_s, analysis.episodes[0].start_s);
    EXPECT_EQ(hidden.annotations[0].text.rfind("Эпизод 1, +", 0), 0U);
    // A hidden name never reaches the file's bytes.
    const auto bytes = edfBytes(hidden);
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_EQ(file.find("Petrov"), std::string::npos);
    source.name = "Петров Пётр";
    source.number = "А-117";
    const EdfNight shown = edfNightOf(source, analysis);
    EXPECT_EQ(shown.patientName, "Petrov_Petr");
    EXPECT_EQ(shown.patientCode, "A-117");
}

TEST(EdfNightTest, TheFirstSamplesDateFromThePassport) {
    struct Case {
        int day, month, year, programTenths, delayMinutes;
        std::optional<CalendarDate> first;
    };
    const Case cases[] = {
        {8, 12, 26, 215, 30, CalendarDate{8, 12, 2026}},
        {8, 12, 26, 235, 30, CalendarDate{9, 12, 2026}},  // past midnight: the next day
        {31, 12, 26, 239, 6, CalendarDate{1, 1, 2027}},
        {28, 2, 28, 239, 60, CalendarDate{29, 2, 2028}},  // a leap year
        {28, 2, 27, 239, 60, CalendarDate{1, 3, 2027}},
        {8, 12, 26, 0, 0, CalendarDate{8, 12, 2026}},
        {31, 2, 26, 215, 30, std::nullopt},  // no such day
        {0, 12, 26, 215, 30, std::nullopt},
        {8, 13, 26, 215, 30, std::nullopt},
        {0xFF, 0xFF, 0xFF, 215, 30, std::nullopt},  // erased
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + "." + std::to_string(c.month) + "." +
                     std::to_string(c.year) + " " + std::to_string(c.programTenths));
        MemoryImage image = exampleNight("");
        image[ImageOffsets::kDay] = static_cast<std::uint8_t>(c.day);
        image[ImageOffsets::kMonth] = static_cast<std::uint8_t>(c.month);
        image[ImageOffsets::kYear] = static_cast<std::uint8_t>(c.year);
        image[ImageOffsets::kProgramTime] = static_cast<std::uint8_t>(c.programTenths);
        image.setWord(ImageOffsets::kDelayHigh, static_cast<std::uint16_t>(c.delayMinutes));
        EXPECT_EQ(firstSampleDate(image), c.first);
    }
    EXPECT_EQ(firstSampleDate(MemoryImage{}), std::nullopt);  // no passport at all

    // An unknown date, as the format writes it.
    EdfNight night;
    night.date.reset();
    night.samples = {10, 20};
    const ReadBack r = read(edfBytes(night));
    EXPECT_EQ(r.recording.rfind("Startdate X ", 0), 0U) << r.recording;
    EXPECT_EQ(r.date, "01.01.85");
}

}  // namespace
}  // namespace npt
