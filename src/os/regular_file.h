// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a file that must be an ordinary file on disk. A FIFO, a device or a socket is refused
// before anything is read from it, so that naming one can neither block the program (a FIFO
// without a writer) nor feed it endless bytes (/dev/zero).
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace npt {

// At most maxBytes from the start of the regular file at path (symbolic links followed).
// Throws FileError, its message starting with messagePrefix, for a missing or unreadable file,
// a folder, a FIFO, a device or a socket.
std::vector<std::uint8_t> readRegularFile(
    const std::string& path, const std::string& messagePrefix,
    std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

}  // namespace npt
