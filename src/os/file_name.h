// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What kind of file a chosen name asks for, and the name a file of a night is offered under.
#include <string>
#include <string_view>

namespace npt {

// The kinds of file the application writes or reads, each known by its name's ending.
enum class FileKind {
    Other,     // any other ending, or none
    DataFile,  // ".txt": the recorder's memory
    Workbook,  // ".xlsx": the table of samples and the sheet "Анализ"
    Csv,       // ".csv": the table of samples as text
    Report,    // ".pdf": the night's one-page report
    Edf,       // ".edf": the night in EDF+, with its episodes as annotations
};

// The kind a file name asks for, by its ending after the last point of its last path part, in
// any case: "night.TXT" and "night.txt" ask for the same; "night.txt.bak" and "night" for none.
FileKind fileKindOf(std::string_view path);

// The ending a file of the kind carries, point included (".txt"); empty for Other.
std::string_view fileEnding(FileKind kind);

// The name (without extension) offered for a night's file: the patient's surname, the initials
// of the other parts of the name and the study date, joined by "_" ("Иванов Иван Иванович" and
// "09.12.26" give "Иванов_И_И_09.12.26"; "Иванов И.И." the same). Without a name (none, or one
// withheld, which the caller then does not pass), the date alone. Characters a file name cannot
// hold on Linux or Windows (/ \ : * ? " < > |, control characters) become "_".
std::string proposedFileName(std::string_view patientName, std::string_view studyDate);

}  // namespace npt
