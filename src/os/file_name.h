// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What kind of file a chosen name asks for, and the name a file of a night is offered under.
#include <string>
#include <string_view>

namespace npt {

// The extension of a file name in lower case (ASCII): from the last point after the last path
// separator, the point included; empty when there is none. ".TXT" and ".txt" ask for the same.
std::string lowerCaseExtension(const std::string& path);

// The name (without extension) offered for a night's file: the patient's surname, the initials
// of the other parts of the name and the study date, joined by "_" ("Иванов Иван Иванович" and
// "09.12.26" give "Иванов_И_И_09.12.26"; "Иванов И.И." the same). Without a name (none, or one
// withheld, which the caller then does not pass), the date alone. Characters a file name cannot
// hold on Linux or Windows (/ \ : * ? " < > |, control characters) become "_".
std::string proposedFileName(std::string_view patientName, std::string_view studyDate);

}  // namespace npt
