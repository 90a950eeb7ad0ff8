// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/plain_text.h"
#include "recorder/utf8.h"

namespace npt::json {

std::string quoted(std::string_view text) {
    const auto cps = utf8::decode(text);
    std::u32string codePoints;
    if (cps) {
        codePoints = *cps;
    } else {
        for (unsigned char c : text) {
            codePoints.push_back(c < 0x80 ? c : 0xFFFD);
        }
    }
    std::string out = "\"";
    for (char32_t c : codePoints) {
        if (c == U'"') {
            out += "\\\"";
        } else if (const std::string_view escape = plain::backslashEscape(c); !escape.empty()) {
            out += escape;
        } else if (plain::isControl(c)) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            utf8::append(out, c);
        }
    }
    return out + "\"";
}

std::string number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace npt::json
