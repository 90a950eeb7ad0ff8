// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/edf_night.h"

#include <cstdio>

#include "analysis/analysis_text.h"
#include "analysis/night_recording.h"
#include "recorder/utf8.h"

namespace npt {

namespace {

// ICAO 9303 for the Russian alphabet, а to я.
constexpr const char* kLatin[] = {"a",  "b",  "v",  "g",    "d",  "e", "zh", "z", "i",  "i", "k",
                                  "l",  "m",  "n",  "o",    "p",  "r", "s",  "t", "u",  "f", "kh",
                                  "ts", "ch", "sh", "shch", "ie", "y", "",   "e", "iu", "ia"};

std::string capitalised(std::string latin) {
    if (!latin.empty()) {
        latin[0] = static_cast<char>(latin[0] - 'a' + 'A');
    }
    return latin;
}

// "+7,6 мм": a tenth with the decimal comma, as the window writes millimetres.
std::string millimetres(double mm) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", mm);
    std::string text = buffer;
    for (char& c : text) {
        if (c == '.') {
            c = ',';
        }
    }
    return text + " мм";
}

}  // namespace

std::string edfName(const std::string& utf8) {
    std::string ascii;
    const auto characters = utf8::decode(utf8);
    if (characters) {
        for (const char32_t c : *characters) {
            if (c >= U'а' && c <= U'я') {
                ascii += kLatin[c - U'а'];
            } else if (c >= U'А' && c <= U'Я') {
                ascii += capitalised(kLatin[c - U'А']);
            } else if (c == U'ё') {
                ascii += "e";
            } else if (c == U'Ё') {
                ascii += "E";
            } else if (c == U' ') {
                if (!ascii.empty() && ascii.back() != '_') {
                    ascii += '_';
                }
            } else if (c > 32 && c < 127) {
                ascii += static_cast<char>(c);
            }
        }
    }
    while (!ascii.empty() && ascii.back() == '_') {
        ascii.pop_back();
    }
    return ascii.empty() ? "X" : ascii;
}

EdfNight edfNightOf(const MemoryImage& image, const std::optional<std::string>& name,
                    const std::optional<std::string>& number, const NightAnalysis& analysis,
                    int periodSeconds, const std::string& equipment) {
    using namespace ImageOffsets;
    EdfNight night;
    night.patientName = name ? edfName(*name) : "X";
    night.patientCode = number ? edfName(*number) : "X";
    night.day = image[kDay];
    night.month = image[kMonth];
    night.year = 2000 + image[kYear];
    night.startSeconds = analysis.startSeconds;
    night.equipment = edfName(equipment);
    night.periodSeconds = periodSeconds;
    const auto samples = image.bytes().subspan(kSamples, kSampleCount);
    night.samples.assign(samples.begin(),
                         samples.begin() + static_cast<std::ptrdiff_t>(writtenLength(samples)));
    for (std::size_t i = 0; i < analysis.episodes.size(); ++i) {
        const NightEpisode& e = analysis.episodes[i];
        night.annotations.push_back(
            {static_cast<double>(e.start_s), static_cast<double>(e.duration_s),
             "Эпизод " + std::to_string(i + 1) + ", +" + millimetres(e.increase_mm)});
    }
    for (const Stretch& s : analysis.quality.stretches) {
        night.annotations.push_back({static_cast<double>(s.start_s),
                                     static_cast<double>(s.end_s - s.start_s),
                                     std::string("Не вошло в анализ: ") + faultText(s.fault)});
    }
    return night;
}

}  // namespace npt
