// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/edf_night.h"

#include <algorithm>

#include "analysis/analysis_text.h"
#include "analysis/night_recording.h"
#include "measure/time_of_day.h"
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

// "7,6 мм", as the window writes millimetres.
std::string millimetres(double mm) {
    return decimalText(mm, 1) + " мм";
}

constexpr unsigned kMinutesPerDay = 24 * 60;

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int month, int year) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

CalendarDate nextDay(CalendarDate date) {
    if (++date.day > daysInMonth(date.month, date.year)) {
        date.day = 1;
        if (++date.month > 12) {
            date.month = 1;
            ++date.year;
        }
    }
    return date;
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

std::optional<CalendarDate> firstSampleDate(const MemoryImage& image) {
    using namespace ImageOffsets;
    if (!image.hasPassport() || image[kYear] == kErasedByte) {
        return std::nullopt;
    }
    CalendarDate date{image[kDay], image[kMonth], 2000 + image[kYear]};
    if (date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > daysInMonth(date.month, date.year)) {
        return std::nullopt;
    }
    // The recorder starts its first period at the programming time plus the delay; past
    // midnight that is the next day.
    const unsigned program = image[kProgramTime];
    const unsigned delay = image.word(kDelayHigh);
    if (program != kErasedByte && delay != kMissingWord && program * 6 + delay >= kMinutesPerDay) {
        date = nextDay(date);
    }
    return date;
}

EdfNight edfNightOf(const EdfNightSource& source, const NightAnalysis& analysis) {
    EdfNight night;
    night.patientName = source.name ? edfName(*source.name) : "X";
    night.patientCode = source.number ? edfName(*source.number) : "X";
    night.date = source.date;
    night.startSeconds = ((source.startSeconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    night.equipment = edfName(source.equipment);
    night.periodSeconds = source.periodSeconds;
    night.samples.assign(
        source.samples.begin(),
        source.samples.begin() + static_cast<std::ptrdiff_t>(writtenLength(source.samples)));

    std::vector<EdfAnnotation>& notes = night.annotations;
    for (std::size_t i = 0; i < analysis.episodes.size(); ++i) {
        const NightEpisode& e = analysis.episodes[i];
        std::string text = "Эпизод " + std::to_string(i + 1) + ", +" + millimetres(e.increase_mm);
        if (e.origin == EpisodeOrigin::Moved) {
            text += " (границы изменены врачом)";
        } else if (e.origin == EpisodeOrigin::Added) {
            text += " (добавлен врачом)";
        }
        notes.push_back({static_cast<double>(e.start_s), static_cast<double>(e.duration_s), text});
    }
    for (const NightEpisode& e : analysis.rejected) {
        notes.push_back({static_cast<double>(e.start_s), static_cast<double>(e.duration_s),
                         "Артефакт по решению врача, +" + millimetres(e.increase_mm)});
    }
    for (const Stretch& s : analysis.quality.stretches) {
        notes.push_back({static_cast<double>(s.start_s), static_cast<double>(s.end_s - s.start_s),
                         std::string("Не вошло в анализ: ") + faultText(s.fault)});
    }
    if (source.window) {
        notes.push_back({static_cast<double>(source.window->start_s),
                         static_cast<double>(source.window->end_s - source.window->start_s),
                         "Окно анализа"});
    }
    notes.insert(notes.end(), source.review.begin(), source.review.end());
    std::stable_sort(
        notes.begin(), notes.end(),
        [](const EdfAnnotation& a, const EdfAnnotation& b) { return a.onset_s < b.onset_s; });
    return night;
}

}  // namespace npt
