// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/age_field.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "recorder/utf8.h"

namespace npt::age_field {

namespace {
std::u32string codePointsOf(const std::string& text) {
    if (auto cps = utf8::decode(text)) {
        return *cps;
    }
    std::u32string bytes;  // not UTF-8: keep the bytes as they are, one per character
    for (unsigned char c : text) {
        bytes.push_back(c);
    }
    return bytes;
}

bool isSeparatorKey(char32_t c) {
    switch (c) {
        case U',':
        case U'.':
        case U'/':
        case U'б':
        case U'ю':
        case U'Б':
        case U'Ю':
            return true;
        default:
            return false;
    }
}

// Parses a decimal number written with the comma separator (blanks around it, a sign and an
// exponent allowed, as a user may paste them); nothing when it is not a number.
std::optional<double> parseDecimal(std::u32string text) {
    while (!text.empty() && text.front() == U' ') {
        text.erase(0, 1);
    }
    while (!text.empty() && text.back() == U' ') {
        text.pop_back();
    }
    std::string ascii;
    for (char32_t c : text) {
        if (c == kDecimalSeparator) {
            ascii += '.';
        } else if ((c >= U'0' && c <= U'9') || c == U'+' || c == U'-' || c == U'e' || c == U'E') {
            ascii += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    const char* begin = ascii.data();
    if (!ascii.empty() && ascii.front() == '+') {
        ++begin;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(begin, ascii.data() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || begin == end) {
        return std::nullopt;
    }
    return value;
}

std::u32string shortestForm(double value) {
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::u32string out;
    for (const char* p = buffer; p != result.ptr; ++p) {
        out.push_back(*p == '.' ? kDecimalSeparator : static_cast<char32_t>(*p));
    }
    return out;
}
}  // namespace

std::optional<char32_t> filterKey(char32_t typed, const std::string& textUtf8) {
    char32_t c = typed;
    if (isSeparatorKey(c)) {
        c = kDecimalSeparator;
    } else if (c < U'0' || c > U'9') {
        return std::nullopt;
    }
    if (c == kDecimalSeparator &&
        codePointsOf(textUtf8).find(kDecimalSeparator) != std::u32string::npos) {
        return std::nullopt;
    }
    return c;
}

Normalised normalise(const std::string& textUtf8, std::size_t caret, bool backspaceReleased) {
    std::u32string text = codePointsOf(textUtf8);
    Normalised result;
    if (!text.empty() && text.front() == kDecimalSeparator) {
        text.insert(text.begin(), U'0');
        caret = text.size();
    }
    const std::size_t separatorAt = text.find(kDecimalSeparator);
    const std::size_t p = separatorAt == std::u32string::npos ? 0 : separatorAt + 1;
    if (p != text.size() && text.back() != U'0') {
        const auto value = parseDecimal(text);
        if (!value) {
            // The conversion error ends the handler: the text and the caret stay as they were.
            result.error = "'" + utf8::encode(text) + "' is not a valid floating point value";
            result.text = textUtf8;
            result.caret = caret;
            return result;
        }
        if (const auto form = shortestForm(*value); form != U"0") {
            text = form;
        }
    }
    const std::size_t leftOfCaret = std::min(caret, text.size());
    if (backspaceReleased && leftOfCaret > 0) {
        text.erase(leftOfCaret - 1, 1);
    }
    result.text = utf8::encode(text);
    result.caret = text.size();
    return result;
}

}  // namespace npt::age_field
