// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a file the user chose is actually written, and what its replacement must keep.
#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace npt {

struct SaveTarget {
    std::string path;       // the chosen name with symbolic links followed: the file itself
    std::string directory;  // the folder holding it, where the temporary file goes
    bool exists = false;
    struct stat existing {};  // mode and owner of the file being replaced, when it exists
};

// Follows the chosen name through symbolic links, as editors do: saving onto a link writes the
// file it points to and the link stays a link; a link to nothing yet creates the file it names.
// Refuses, with FileError naming chosen, a folder, a FIFO, a device, a socket and an existing
// file the user may not write.
SaveTarget findSaveTarget(const std::string& chosen, const std::string& messagePrefix);

// The name of a temporary file beside target: "." + its name + "." + suffix, the name cut
// (at a character boundary) so that the whole stays within nameMax bytes.
std::string temporaryPath(const SaveTarget& target, std::size_t nameMax, std::string_view suffix);

std::string directoryOf(const std::string& path);
std::string baseNameOf(const std::string& path);

}  // namespace npt
