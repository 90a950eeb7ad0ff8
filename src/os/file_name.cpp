// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/file_name.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "recorder/utf8.h"

namespace npt {

namespace {
constexpr FileKind kKinds[] = {FileKind::DataFile, FileKind::Workbook, FileKind::Csv,
                               FileKind::Report, FileKind::Edf};
}  // namespace

FileKind fileKindOf(std::string_view path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return FileKind::Other;
    }
    std::string ending(path.substr(dot));
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (FileKind kind : kKinds) {
        if (ending == fileEnding(kind)) {
            return kind;
        }
    }
    return FileKind::Other;
}

std::string_view fileEnding(FileKind kind) {
    switch (kind) {
        case FileKind::DataFile:
            return ".txt";
        case FileKind::Workbook:
            return ".xlsx";
        case FileKind::Csv:
            return ".csv";
        case FileKind::Report:
            return ".pdf";
        case FileKind::Edf:
            return ".edf";
        case FileKind::Other:
            break;
    }
    return "";
}

namespace {

bool unfitForFileName(char32_t c) {
    return c < 0x20 || c == 0x7F ||
           std::u32string_view(U"/\\:*?\"<>|").find(c) != std::u32string_view::npos;
}

// The text with every character a file name cannot hold replaced by "_", without the points,
// blanks and "_" at its ends (Windows drops trailing points and blanks).
std::u32string fileNamePart(std::u32string text) {
    std::replace_if(text.begin(), text.end(), unfitForFileName, U'_');
    const auto edge = [](char32_t c) { return c == U'.' || c == U' ' || c == U'_'; };
    while (!text.empty() && edge(text.front())) {
        text.erase(text.begin());
    }
    while (!text.empty() && edge(text.back())) {
        text.pop_back();
    }
    return text;
}

std::vector<std::u32string> split(const std::u32string& text, std::u32string_view separators) {
    std::vector<std::u32string> pieces;
    std::u32string piece;
    for (char32_t c : text) {
        if (separators.find(c) != std::u32string_view::npos) {
            if (!piece.empty()) {
                pieces.push_back(piece);
            }
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) {
        pieces.push_back(piece);
    }
    return pieces;
}

}  // namespace

std::string proposedFileName(std::string_view patientName, std::string_view studyDate) {
    std::vector<std::u32string> parts;
    const std::vector<std::u32string> words =
        split(utf8::decode(patientName).value_or(U""), U" \t\r\n");
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i == 0) {
            parts.push_back(fileNamePart(words[0]));
            continue;
        }
        // "Иван", "И." and "И.И." give their initials.
        for (const std::u32string& piece : split(words[i], U".")) {
            parts.push_back(fileNamePart(piece.substr(0, 1)));
        }
    }
    const std::u32string date = fileNamePart(utf8::decode(studyDate).value_or(U""));
    if (std::any_of(date.begin(), date.end(), [](char32_t c) { return c >= U'0' && c <= U'9'; })) {
        parts.push_back(date);
    }
    std::u32string name;
    for (const std::u32string& part : parts) {
        if (!part.empty()) {
            name += (name.empty() ? U"" : U"_") + part;
        }
    }
    return name.empty() ? "запись" : utf8::encode(name);
}

}  // namespace npt
