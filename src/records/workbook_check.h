// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checking a finished workbook before it replaces the user's file. The spreadsheet library does
// not notice when writing its own scratch files fails; what it could not write shows only as a
// workbook cut short inside, so the finished file is read back before it is trusted.
//
// An .xlsx workbook is a zip archive of XML parts. The parts of the archive read here, all
// numbers little-endian:
//
//   local header (before each part's data)   central directory entry (one per part)
//   offset  size  field                      offset  size  field
//   0       4     0x04034B50                 0       4     0x02014B50
//   8       2     method (0 stored, 8        10      2     method
//                 deflated)                  16      4     CRC-32 of the part
//   26      2     name length n              20      4     compressed size
//   28      2     extra length e             24      4     size
//   30      n     name                       28      2     name length n
//   30+n+e        the part's data            30      2     extra length e
//                                            32      2     comment length c
//   end of central directory (last)          42      4     offset of the local header
//   0       4     0x06054B50                 46      n     name, then e + c bytes
//   10      2     number of entries
//   12      4     size of the central directory
//   16      4     offset of the central directory
//   20      2     comment length, then the comment, which ends the file
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace npt {

inline constexpr const char* kFirstSheetPart = "xl/worksheets/sheet1.xml";

// The parts of a zip archive by name, each inflated and checked against its recorded size and
// CRC-32; nothing when the archive is damaged or uses what these workbooks never do (ZIP64,
// encryption, methods other than stored and deflated, parts over 64 MiB).
std::optional<std::map<std::string, std::string>> zipParts(std::span<const std::uint8_t> file);

// What is wrong with a finished workbook, or nothing when it is whole: the archive and every
// part check out, the workbook's main parts are there, every XML part ends with its root
// element's closing tag, and sheet k + 1 is there and holds sheetRows[k] rows. The text says, in
// Russian, what was found.
std::optional<std::string> workbookDefect(std::span<const std::uint8_t> file,
                                          const std::vector<std::size_t>& sheetRows);

// The same for a workbook of one sheet, or whose first sheet alone is checked.
inline std::optional<std::string> workbookDefect(std::span<const std::uint8_t> file,
                                                 std::size_t sheetRows) {
    return workbookDefect(file, std::vector<std::size_t>{sheetRows});
}

// The part of sheet number (from 1): "xl/worksheets/sheet2.xml".
std::string sheetPart(std::size_t number);

}  // namespace npt
