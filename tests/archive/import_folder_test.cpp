// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// A folder of recordings into the archive: every .txt under it, each night once, the rest
// refused with its reason; an import stopped after the file at hand; protected names unlocked
// by the password given, also of nights filed before without it.
#include <gtest/gtest.h>

#include "archive/import_folder.h"
#include "night_maker.h"
#include "os/utf8_path.h"
#include "support/scratch.h"

namespace npt::archive {
namespace {

using test::nightFile;
using test::NightSpec;
namespace fs = std::filesystem;

struct ImportRig {
    fs::path dir = test::scratchDir("archive");
    fs::path folder = dir / pathFromUtf8("записи");
    Archive archive = Archive::open(utf8FromPath(dir / "archive.sqlite"), Archive::Open::Create);
    ImportRig() { fs::create_directories(folder); }

    std::string put(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        // The names given with '/' are written as the system spells its paths, as a walk of the
        // folder gives them back.
        const fs::path path = folder / pathFromUtf8(name).make_preferred();
        fs::create_directories(path.parent_path());
        test::writeAll(path, bytes);
        return utf8FromPath(path);
    }
};

TEST(ImportFolderTest, EveryRecordingUnderTheFolderIsFiledOnceTheRestRefusedWithTheirReasons) {
    ImportRig rig;
    const auto ivanov = nightFile(NightSpec().named("Иванов Иван Иванович"));
    const std::string a = rig.put("a.txt", ivanov);
    const std::string shortFile = rig.put("b-short.txt", std::vector<std::uint8_t>(100, 0x30));
    const std::string c = rig.put("ночи/c.TXT", nightFile(NightSpec().named("Петров Пётр")));
    const std::string copy = rig.put("ночи/глубже/d.txt", ivanov);
    rig.put("notes.md", ivanov);                   // not a recording's name
    fs::create_directories(rig.folder / "e.txt");  // a folder, whatever its name

    const auto files = recordingsIn(utf8FromPath(rig.folder));
    ASSERT_TRUE(files);
    EXPECT_EQ(*files, (std::vector<std::string>{a, shortFile, c, copy}));

    std::vector<std::size_t> told;
    const ImportSummary summary = importRecordings(
        rig.archive, *files, std::nullopt, [&](const FiledRecording& filed, std::size_t done) {
            told.push_back(done);
            EXPECT_EQ(filed.path, (*files)[done - 1]);
            return true;
        });
    EXPECT_EQ(told, (std::vector<std::size_t>{1, 2, 3, 4}));
    EXPECT_EQ(summary.added, 2U);
    EXPECT_EQ(summary.alreadyThere, 1U);
    ASSERT_EQ(summary.refused.size(), 1U);
    EXPECT_EQ(summary.refused[0].path, shortFile);
    EXPECT_FALSE(summary.refused[0].reason.empty());
    EXPECT_FALSE(summary.stopped);
    EXPECT_FALSE(summary.failure);

    const auto nights = rig.archive.nights();
    ASSERT_EQ(nights.size(), 2U);
    EXPECT_EQ(rig.archive.patients().size(), 2U);
    // Each night under the name of the file it came from first.
    for (const auto& n : nights) {
        EXPECT_TRUE(n.sourceName == "a.txt" || n.sourceName == "c.TXT") << n.sourceName;
        EXPECT_EQ(n.source, NightSource::File);
    }
}

TEST(ImportFolderTest, AStopTakesEffectAfterTheFileAtHand) {
    ImportRig rig;
    std::vector<std::string> files;
    for (int day = 1; day <= 4; ++day) {
        files.push_back(rig.put("n" + std::to_string(day) + ".txt",
                                nightFile(NightSpec().named("Пациент").on(day))));
    }
    // Stopped when told of the second: two are in. Stopping at the last one stops nothing.
    for (const std::size_t stopAt : {std::size_t{2}, files.size()}) {
        SCOPED_TRACE(stopAt);
        const ImportSummary summary = importRecordings(
            rig.archive, files, std::nullopt,
            [&](const FiledRecording&, std::size_t done) { return done < stopAt; });
        EXPECT_EQ(summary.done(), stopAt);
        EXPECT_EQ(summary.stopped, stopAt < files.size());
        EXPECT_EQ(rig.archive.nights().size(), stopAt);
    }
}

TEST(ImportFolderTest, APasswordUnlocksProtectedNamesAlsoOfNightsFiledBeforeWithoutIt) {
    ImportRig rig;
    const std::string path =
        rig.put("p.txt", nightFile(NightSpec().named("Сидоров С. С.").protectedBy("1234")));
    const FiledRecording first = fileRecording(rig.archive, path, std::nullopt);
    EXPECT_EQ(first.outcome, FileOutcome::Added);
    EXPECT_FALSE(first.patient);

    struct Case {
        const char* password;
        bool identified;
    };
    for (const Case c : {Case{"4321", false}, Case{"1234", true}}) {
        SCOPED_TRACE(c.password);
        const FiledRecording again = fileRecording(rig.archive, path, std::string(c.password));
        EXPECT_EQ(again.outcome, FileOutcome::AlreadyThere);
        EXPECT_EQ(again.night, first.night);
        EXPECT_EQ(again.patient.has_value(), c.identified);
        EXPECT_EQ(rig.archive.night(first.night)->patientId, again.patient);
    }
}

TEST(ImportFolderTest, WhatIsNoFolderHasNoRecordings) {
    ImportRig rig;
    const std::string file = rig.put("a.txt", nightFile(NightSpec()));
    EXPECT_FALSE(recordingsIn(file));
    EXPECT_FALSE(recordingsIn(utf8FromPath(rig.dir / pathFromUtf8("нет такой"))));
    const FiledRecording missing =
        fileRecording(rig.archive, utf8FromPath(rig.dir / "missing.txt"), {});
    EXPECT_EQ(missing.outcome, FileOutcome::Refused);
    EXPECT_FALSE(missing.reason.empty());
}

}  // namespace
}  // namespace npt::archive
