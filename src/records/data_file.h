// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The data file of a recording: the recorder's memory image byte for byte, then one trailing
// byte that carries nothing (written as 0, ignored when read). No header, no checksum.
//
//   offset  length  content
//   0       4480    the memory image, 140 blocks of 32 bytes in arrival order
//   4480    1       trailing byte
//
// Bytes after the 4481st are never read. The file name ends in ".txt" by tradition although
// the content is binary.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "recorder/memory_image.h"

namespace npt {

inline constexpr std::size_t kDataFileSize = MemoryImage::kSize + 1;  // 4481

// The image held in file bytes; throws FileError (naming path) when fewer than 4481 bytes.
MemoryImage imageFromDataFile(std::span<const std::uint8_t> bytes, const std::string& path);

// Reads a data file, opened for reading only. Throws FileError for a missing, unreadable or
// short file, and for what is not a regular file (a folder, a FIFO, a device, a socket).
MemoryImage readDataFile(const std::string& path);

// The file's first 4481 bytes as they are on disk, with the same checks and errors.
std::vector<std::uint8_t> readDataFileBytes(const std::string& path);

// The 4481 bytes of a data file holding image.
std::vector<std::uint8_t> dataFileBytes(const MemoryImage& image);

// Writes the data file atomically; throws FileError and leaves any existing file as it was.
void writeDataFile(const std::string& path, const MemoryImage& image);

}  // namespace npt
