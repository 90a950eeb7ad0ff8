// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The check a finished workbook passes before it replaces the user's file: a damaged archive
// and an archive that is sound but holds a cut-off sheet are both caught.
#include "records/workbook_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "records/spreadsheet.h"
#include "support/export_fixture.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A zip archive of the parts, stored uncompressed, with correct sizes and checksums.
std::vector<std::uint8_t> storedZip(const std::vector<std::pair<std::string, std::string>>& parts) {
    std::vector<std::uint8_t> out, directory;
    for (const auto& [name, content] : parts) {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(content.data()), content.size()));
        const auto size = static_cast<std::uint32_t>(content.size());
        const auto offset = static_cast<std::uint32_t>(out.size());
        put32(out, 0x04034B50);
        for (std::uint32_t v : {20u, 0u, 0u, 0u, 0u}) {
            put16(out, v);  // version, flags, method, time, date
        }
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<std::uint32_t>(name.size()));
        put16(out, 0);
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), content.begin(), content.end());

        put32(directory, 0x02014B50);
        for (std::uint32_t v : {20u, 20u, 0u, 0u, 0u, 0u}) {
            put16(directory, v);  // made by, needed, flags, method, time, date
        }
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, static_cast<std::uint32_t>(name.size()));
        for (std::uint32_t v : {0u, 0u, 0u, 0u}) {
            put16(directory, v);  // extra, comment, disk, internal attributes
        }
        put32(directory, 0);
        put32(directory, offset);
        directory.insert(directory.end(), name.begin(), name.end());
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(parts.size()));
    put16(out, static_cast<std::uint32_t>(parts.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

const std::string kXml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string sheetOfRows(int rows, bool closed = true) {
    std::string sheet = kXml + "<worksheet xmlns=\"x\"><sheetData>";
    for (int r = 1; r <= rows; ++r) {
        sheet += "<row r=\"" + std::to_string(r) + "\"><c><v>1</v></c></row>";
    }
    return closed ? sheet + "</sheetData></worksheet>" : sheet + "<row r=\"9\"><c><v>";
}

std::vector<std::pair<std::string, std::string>> workbookParts(const std::string& sheet) {
    return {{"[Content_Types].xml", kXml + "<Types/>"},
            {"_rels/.rels", kXml + "<Relationships></Relationships>"},
            {"xl/workbook.xml", kXml + "<workbook><sheets/></workbook>"},
            {kFirstSheetPart, sheet}};
}

TEST(WorkbookCheckTest, ExportedWorkbookIsWhole) {
    const auto dir = scratchDir("records");
    writeXlsx((dir / "night.xlsx").string(), wholeNightTable());
    const auto bytes = readAll(dir / "night.xlsx");
    EXPECT_EQ(workbookDefect(bytes, 4323), std::nullopt);
    EXPECT_EQ(workbookDefect(bytes, 4322), "на листе 4323 строк вместо 4322");
    const auto parts = zipParts(bytes);
    ASSERT_TRUE(parts);
    EXPECT_NE(parts->at(kFirstSheetPart).find("Велимор"), std::string::npos);
}

TEST(WorkbookCheckTest, DamagedArchiveIsCaught) {
    const auto dir = scratchDir("records");
    writeXlsx((dir / "night.xlsx").string(), wholeNightTable());
    const auto whole = readAll(dir / "night.xlsx");
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"last byte missing", [](auto& b) { b.pop_back(); }},
        {"cut off in the middle", [](auto& b) { b.resize(b.size() / 2); }},
        {"empty file", [](auto& b) { b.clear(); }},
        {"a byte of compressed data changed", [](auto& b) { b[b.size() / 3] ^= 0x55; }},
        {"a zero block where the disk lost data",
         [](auto& b) { std::fill(b.begin() + 4096, b.begin() + 8192, 0); }},
        {"trailing junk after the archive", [](auto& b) { b.push_back(0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = whole;
        c.damage(bytes);
        EXPECT_EQ(workbookDefect(bytes, 4323), "архив книги повреждён или оборван");
    }
}

// What the spreadsheet library leaves when a write to its scratch files fails: an archive
// that is sound in itself, around a sheet that is cut off or lacks rows.
TEST(WorkbookCheckTest, SoundArchiveWithIncompleteContentIsCaught) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> parts;
        std::optional<std::string> defect;
    };
    auto withoutWorkbook = workbookParts(sheetOfRows(3));
    withoutWorkbook.erase(withoutWorkbook.begin() + 2);
    const Case cases[] = {
        {"whole", workbookParts(sheetOfRows(3)), std::nullopt},
        {"sheet cut off", workbookParts(sheetOfRows(3, false)),
         "часть xl/worksheets/sheet1.xml оборвана"},
        {"sheet closed but short of rows", workbookParts(sheetOfRows(2)),
         "на листе 2 строк вместо 3"},
        {"workbook part missing", withoutWorkbook, "в книге нет части xl/workbook.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(workbookDefect(storedZip(c.parts), 3), c.defect);
    }
}

// A workbook with the analysis: the second sheet is checked as the first one is.
TEST(WorkbookCheckTest, SecondSheetIsCheckedToo) {
    struct Case {
        const char* what;
        std::optional<std::string> second;  // the second sheet's part, if there is one
        std::optional<std::string> defect;
    };
    const Case cases[] = {
        {"whole", sheetOfRows(30), std::nullopt},
        {"second sheet missing", std::nullopt, "в книге нет части xl/worksheets/sheet2.xml"},
        {"second sheet cut off", sheetOfRows(30, false), "часть xl/worksheets/sheet2.xml оборвана"},
        {"second sheet short of rows", sheetOfRows(29), "на листе 2: 29 строк вместо 30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto parts = workbookParts(sheetOfRows(3));
        if (c.second) {
            parts.emplace_back(sheetPart(2), *c.second);
        }
        EXPECT_EQ(workbookDefect(storedZip(parts), std::vector<std::size_t>{3, 30}), c.defect);
    }
}

}  // namespace
}  // namespace npt
