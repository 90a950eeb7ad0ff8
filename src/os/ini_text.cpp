// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/ini_text.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "recorder/cp1251.h"
#include "recorder/utf8.h"

namespace npt {

namespace {
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        lines.push_back(text.substr(0, nl));
        if (nl == std::string_view::npos) {
            break;
        }
        text.remove_prefix(nl + 1);
    }
    return lines;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trimmed(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return trimmed(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

// The key of a "key=value" line and its value.
std::optional<std::pair<std::string_view, std::string_view>> entryOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || sectionOf(line)) {
        return std::nullopt;
    }
    return std::make_pair(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
}
}  // namespace

namespace ini {

std::string decodeText(std::string_view raw) {
    if (raw.substr(0, 3) == "\xEF\xBB\xBF") {
        raw.remove_prefix(3);
    }
    if (utf8::isValid(raw)) {
        return std::string(raw);
    }
    return cp1251::decode(std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
}

std::optional<std::string> value(std::string_view text, std::string_view section,
                                 std::string_view key) {
    bool inSection = false;
    for (std::string_view line : linesOf(text)) {
        if (const auto name = sectionOf(line)) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            if (const auto entry = entryOf(line); entry && sameName(entry->first, key)) {
                return std::string(entry->second);
            }
        }
    }
    return std::nullopt;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view newValue) {
    std::string value(newValue);
    for (char& c : value) {
        if (c == '\n' || c == '\r') {
            c = ' ';  // one line per entry
        }
    }
    const std::string entry = std::string(key) + "=" + value;
    std::string out;
    bool inSection = false;
    bool sectionSeen = false;
    bool written = false;
    for (std::string_view line : linesOf(text)) {
        if (const auto name = sectionOf(line)) {
            if (inSection && !written) {
                out += entry + "\n";
                written = true;
            }
            inSection = sameName(*name, section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection) {
            if (const auto e = entryOf(line); e && sameName(e->first, key)) {
                if (!written) {
                    out += entry + "\n";
                    written = true;
                }
                continue;
            }
        }
        out += std::string(trimmed(line)) + "\n";
    }
    if (!written) {
        if (!sectionSeen) {
            out += "[" + std::string(section) + "]\n";
        }
        out += entry + "\n";
    }
    return out;
}

}  // namespace ini

}  // namespace npt
