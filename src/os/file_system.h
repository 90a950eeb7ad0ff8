// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few questions about names on disk that the settings and the command-line tool ask, put
// the same way on Linux and on Windows (where names are UTF-16 and folders have no write bit).
#include <optional>
#include <string>

namespace npt {

enum class PathKind { Missing, RegularFile, Directory, Other };

// What the name is now, links followed; Other also when it cannot be looked at.
PathKind pathKind(const std::string& path);

// Whether the user may create files in the folder.
bool directoryWritable(const std::string& directory);

// Creates the folder; 0, or the errno value saying why not (EEXIST when it is there).
int createDirectory(const std::string& directory);

// Whether the two names are one file (links followed); false when either is missing.
bool sameFile(const std::string& a, const std::string& b);

// The folder of the running program, "." when it cannot be told.
std::string executableDirectory();

// An environment variable's value in UTF-8, or nothing when it is unset.
std::optional<std::string> environmentVariable(const char* name);

// The folders of the user's own settings: on Linux $XDG_CONFIG_HOME or ~/.config, on Windows
// %APPDATA% (the roaming application data).
std::string userSettingsBase();

// The folder of the user's own data (the patient archive): on Linux $XDG_DATA_HOME or
// ~/.local/share, on Windows %LOCALAPPDATA% (kept on this computer, not roamed).
std::string userDataBase();

// Creates the folder and its missing parents, each open to the user alone (0700; on Windows
// the rights the user's own folders pass on); 0 when it is there, or the errno value.
int createPrivateDirectories(const std::string& directory);

// Creates an empty file open to the user alone (0600), unless it is there; 0, or the errno.
int createPrivateFile(const std::string& path);

}  // namespace npt
