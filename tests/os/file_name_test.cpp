// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The kind of file a name asks for, and the name a night's file is offered under.
#include "os/file_name.h"

#include <gtest/gtest.h>

namespace npt {
namespace {

TEST(FileKindTest, TheLastEndingOfTheLastPathPartDecidesInAnyCase) {
    const std::pair<const char*, FileKind> cases[] = {
        {"night.txt", FileKind::DataFile},
        {"/home/doc/NIGHT.TXT", FileKind::DataFile},
        {"night.Xlsx", FileKind::Workbook},
        {"night.csv", FileKind::Csv},
        {"отчёт.PDF", FileKind::Report},
        {"night.txt.bak", FileKind::Other},
        {"night.xls", FileKind::Other},
        {"night", FileKind::Other},
        {"/home/doc.pdf/night", FileKind::Other},  // a point in a folder's name asks for nothing
        {"", FileKind::Other},
    };
    for (const auto& [name, kind] : cases) {
        EXPECT_EQ(fileKindOf(name), kind) << name;
        if (kind != FileKind::Other) {
            EXPECT_EQ(fileKindOf(std::string("x") + std::string(fileEnding(kind))), kind);
        }
    }
}

TEST(ProposedFileNameTest, SurnameInitialsAndDateWithUnfitCharactersReplaced) {
    struct Case {
        const char* name;
        const char* date;
        const char* proposed;
    };
    const Case cases[] = {
        {"Иванов Иван Иванович", "09.12.26", "Иванов_И_И_09.12.26"},
        {"Иванов И.И.", "09.12.26", "Иванов_И_И_09.12.26"},
        {"  Иванов   И. И. ", "09.12.26", "Иванов_И_И_09.12.26"},
        {"Римская-Корсакова Анна", "01.02.27", "Римская-Корсакова_А_01.02.27"},
        {"Петров", "09.12.26", "Петров_09.12.26"},
        // No name, or one withheld: the date alone.
        {"", "09.12.26", "09.12.26"},
        // What no file name may hold, on Linux or on Windows.
        {"Иванов/Петров И:И", "09.12.26", "Иванов_Петров_И_09.12.26"},
        {"a\\b*c?d\"e<f>g|h", "09.12.26", "a_b_c_d_e_f_g_h_09.12.26"},
        {"Иванов\tИван\x01", "09.12.26", "Иванов_И_09.12.26"},
        {"..Иванов.. Иван", "09.12.26", "Иванов_И_09.12.26"},
        {"/ Иван", "09.12.26", "И_09.12.26"},
        // A date field without a date, and nothing at all.
        {"Петров", "..", "Петров"},
        {"", "", "запись"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(proposedFileName(c.name, c.date), c.proposed) << "«" << c.name << "»";
    }
}

}  // namespace
}  // namespace npt
