// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/edf_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "recorder/memory_image.h"

namespace npt {

namespace {

constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::int16_t kUnwrittenDigital = -1;

// A header field: the text, cut to its width or padded with spaces.
void field(std::string& header, const std::string& text, std::size_t width) {
    std::string value = text.substr(0, width);
    value.resize(width, ' ');
    header += value;
}

std::string twoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value % 100);
    return buffer;
}

// An onset or a duration as a TAL writes it: seconds, a point (whatever the C locale says), no
// exponent, to the millisecond.
std::string talNumber(double seconds) {
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
    std::string text(buffer, result.ptr);
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string tal(const EdfAnnotation& a) {
    std::string text = (a.onset_s < 0 ? "" : "+") + talNumber(a.onset_s);
    if (a.duration_s) {
        text += '\x15' + talNumber(*a.duration_s);
    }
    text += '\x14' + a.text + '\x14';
    text += '\0';
    return text;
}

}  // namespace

std::vector<std::uint8_t> edfBytes(const EdfNight& night) {
    const std::size_t records = std::max<std::size_t>(
        1, (night.samples.size() + kEdfSamplesPerRecord - 1) / kEdfSamplesPerRecord);
    if (night.periodSeconds < 1) {
        throw std::invalid_argument("Файл EDF не записан: у записи нет периода отсчётов.");
    }
    const int recordSeconds = night.periodSeconds * kEdfSamplesPerRecord;

    // Each record's annotations: the record's own time-keeping one first, then those whose
    // onset falls in it.
    std::vector<std::string> lists(records);
    for (std::size_t r = 0; r < records; ++r) {
        lists[r] = "+" + std::to_string(r * static_cast<std::size_t>(recordSeconds)) + "\x14\x14";
        lists[r] += '\0';
    }
    for (const EdfAnnotation& a : night.annotations) {
        const auto r = std::min(records - 1,
                                static_cast<std::size_t>(std::max(0.0, a.onset_s) / recordSeconds));
        lists[r] += tal(a);
    }
    std::size_t annotationBytes = 0;
    for (const std::string& list : lists) {
        annotationBytes = std::max(annotationBytes, list.size());
    }
    const std::size_t annotationSamples = (annotationBytes + 1) / 2;

    std::string header;
    field(header, "0", 8);
    field(header, night.patientCode + " M X " + night.patientName, 80);
    const std::optional<CalendarDate>& d = night.date;
    const std::string date =
        d ? twoDigits(d->day) + "-" + kMonths[(d->month + 11) % 12] + "-" + std::to_string(d->year)
          : "X";
    field(header, "Startdate " + date + " X X " + night.equipment, 80);
    field(header,
          d ? twoDigits(d->day) + "." + twoDigits(d->month) + "." + twoDigits(d->year) : "01.01.85",
          8);
    const int s = night.startSeconds;
    field(header, twoDigits(s / 3600) + "." + twoDigits(s / 60 % 60) + "." + twoDigits(s % 60), 8);
    field(header, std::to_string(256 * 3), 8);
    field(header, "EDF+C", 44);
    field(header, std::to_string(records), 8);
    field(header, std::to_string(recordSeconds), 8);
    field(header, "2", 4);
    // The two signals' fields, each field for both before the next.
    const auto both = [&header](const std::string& diameter, const std::string& annotations,
                                std::size_t width) {
        field(header, diameter, width);
        field(header, annotations, width);
    };
    both("Diameter", "EDF Annotations", 16);
    both("penile strain gauge", "", 80);
    both("mm", "", 8);
    both("9.4", "-1", 8);
    both("60.4", "1", 8);
    both("-1", "-32768", 8);
    both("254", "32767", 8);
    both("", "", 80);
    both(std::to_string(kEdfSamplesPerRecord), std::to_string(annotationSamples), 8);
    both("", "", 32);

    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(kEdfSamplesPerRecord); ++i) {
            const std::size_t at = r * kEdfSamplesPerRecord + i;
            const std::uint8_t byte = at < night.samples.size() ? night.samples[at] : kErasedByte;
            const std::int16_t digital =
                byte == kErasedByte ? kUnwrittenDigital : static_cast<std::int16_t>(byte);
            const auto word = static_cast<std::uint16_t>(digital);
            bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        std::string list = lists[r];
        list.resize(annotationSamples * 2, '\0');
        bytes.insert(bytes.end(), list.begin(), list.end());
    }
    return bytes;
}

}  // namespace npt
