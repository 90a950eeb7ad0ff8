// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's behaviour, one table run on both kinds of archive.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archive/schema.h"
#include "archive/sha256.h"
#include "archive/sqlite_connection.h"
#include "archive_backends.h"
#include "night_maker.h"
#include "support/scratch.h"

namespace npt::archive {
namespace {

using test::nightFile;
using test::NightSpec;

ReviewChange change(std::string kind, int episode, std::optional<int> start, std::optional<int> end,
                    std::string doctor) {
    ReviewChange c;
    c.kind = std::move(kind);
    c.episode = episode;
    c.startSeconds = start;
    c.endSeconds = end;
    c.doctor = std::move(doctor);
    return c;
}

class ArchiveTest : public test::BackendTest {
  protected:
    void SetUp() override {
        BackendTest::SetUp();
        if (!IsSkipped()) {
            archive_.emplace(Archive::open(location_, Archive::Open::Create));
        }
    }

    AddResult file(const NightSpec& spec, const std::optional<std::string>& password = {}) {
        return archive_->add(nightEntryOf(nightFile(spec), password), NightSource::File,
                             "night.txt", AnalysisParameters{});
    }

    Archive& archive() { return *archive_; }

    std::optional<Archive> archive_;
};

TEST_P(ArchiveTest, ANightIsFiledOnceWithItsBytesAndPassport) {
    const auto bytes = nightFile(NightSpec().on(3, 4, 26));
    const auto first = archive().add(nightEntryOf(bytes, std::nullopt), NightSource::Recorder, "",
                                     AnalysisParameters{});
    EXPECT_EQ(first.outcome, AddOutcome::Added);
    ASSERT_TRUE(first.patientId);
    // The same bytes again, from a file this time: the one night, its first source kept.
    const auto again = archive().add(nightEntryOf(bytes, std::nullopt), NightSource::File,
                                     "copy.txt", AnalysisParameters{});
    EXPECT_EQ(again.outcome, AddOutcome::AlreadyThere);
    EXPECT_EQ(again.nightId, first.nightId);

    const auto nights = archive().nights();
    ASSERT_EQ(nights.size(), 1U);
    EXPECT_EQ(nights[0].sha256, sha256Hex(bytes));
    EXPECT_EQ(nights[0].date, "03.04.26");
    EXPECT_EQ(nights[0].periodSeconds, 10);
    EXPECT_EQ(nights[0].source, NightSource::Recorder);
    EXPECT_EQ(nights[0].patientName, std::optional<std::string>("Иванов Иван Иванович"));
    EXPECT_NE(nights[0].parameters.find("\"threshold_mm\":3.0"), std::string::npos);
    EXPECT_EQ(archive().nightBytes(first.nightId), bytes);
    EXPECT_TRUE(archive().check().empty());
}

TEST_P(ArchiveTest, AHiddenNameStaysOutUntilThePasswordUnlocksIt) {
    const auto spec = NightSpec().named("Петров Пётр").protectedBy("1234");
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("9")}) {
        const auto added = file(spec, password);
        EXPECT_FALSE(added.patientId);
    }
    EXPECT_TRUE(archive().patients().empty());
    const auto unidentified = archive().unidentifiedNights();
    ASSERT_EQ(unidentified.size(), 1U);
    EXPECT_FALSE(unidentified[0].patientName);
    EXPECT_TRUE(unidentified[0].nameProtected);

    EXPECT_FALSE(archive().identify(unidentified[0].id, "4321"));
    EXPECT_TRUE(archive().patients().empty());
    const auto patient = archive().identify(unidentified[0].id, "1234");
    ASSERT_TRUE(patient);
    ASSERT_EQ(archive().patients().size(), 1U);
    EXPECT_EQ(archive().patients()[0].name, "Петров Пётр");
    EXPECT_TRUE(archive().unidentifiedNights().empty());
    EXPECT_EQ(archive().night(unidentified[0].id)->patientId, patient);
}

TEST_P(ArchiveTest, ConsecutiveNightsMakeOneStudyAndALaterOneAnother) {
    // Written in another case and spacing: still the same patient.
    file(NightSpec().on(9));
    file(NightSpec().named("иванов  иван иванович").on(10));
    file(NightSpec().on(12));
    file(NightSpec().on(28));
    const auto patients = archive().patients();
    ASSERT_EQ(patients.size(), 1U);
    EXPECT_EQ(patients[0].nights, 4);
    EXPECT_EQ(patients[0].lastDate, "28.12.26");
    const auto record = archive().patient(patients[0].id);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->studies.size(), 2U);
    ASSERT_EQ(record->studies[0].nights.size(), 3U);
    EXPECT_EQ(record->studies[0].nights[0].date, "09.12.26");
    EXPECT_EQ(record->studies[0].nights[2].date, "12.12.26");
    ASSERT_EQ(record->studies[1].nights.size(), 1U);
    EXPECT_EQ(record->studies[1].nights[0].date, "28.12.26");
}

TEST_P(ArchiveTest, PatientsAreFoundByNameNumberOrDate) {
    file(NightSpec().named("Сидоров Семён").on(1));
    file(NightSpec().named("Кузнецов Олег").on(15));
    PatientDetails details;
    details.number = "А-117";
    const Id third = archive().createPatient("Smith_50% John", details);
    struct Case {
        const char* typed;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"", {"Smith_50% John", "Кузнецов Олег", "Сидоров Семён"}},
        {"СИДОР", {"Сидоров Семён"}},  // any case, Cyrillic too
        {"олег", {"Кузнецов Олег"}},
        {"а-11", {"Smith_50% John"}},  // the clinic's number
        {"15.12", {"Кузнецов Олег"}},  // a night's date
        {"50%", {"Smith_50% John"}},   // "%" and "_" are letters, not wildcards
        {"h_5", {"Smith_50% John"}},
        {"%", {"Smith_50% John"}},
        {"Нет такого", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& p : archive().patients(c.typed)) {
            names.push_back(p.name);
        }
        EXPECT_EQ(names, c.found) << "typed: " << c.typed;
    }
    EXPECT_EQ(archive().patient(third)->patient.number, std::optional<std::string>("А-117"));
}

TEST_P(ArchiveTest, NightsMoveBetweenPatientsAndGo) {
    const auto a = file(NightSpec().named("Первый").on(1));
    const auto b = file(NightSpec().named("Второй").on(2));
    archive().moveNight(a.nightId, *b.patientId);
    const auto second = archive().patient(*b.patientId);
    ASSERT_EQ(second->studies.size(), 1U);
    EXPECT_EQ(second->studies[0].nights.size(), 2U);
    // The first patient keeps no empty study.
    EXPECT_TRUE(archive().patient(*a.patientId)->studies.empty());
    // Into a study that is not the patient's: refused, nothing changed.
    EXPECT_THROW(archive().moveNight(a.nightId, *a.patientId, second->studies[0].id), ArchiveError);
    EXPECT_EQ(archive().night(a.nightId)->patientId, b.patientId);

    archive().addReviewChange(a.nightId, change("reject", 2, {}, {}, "Врач"));
    archive().deleteNight(a.nightId);
    EXPECT_FALSE(archive().night(a.nightId));
    EXPECT_TRUE(archive().review(a.nightId).empty());
    EXPECT_EQ(archive().nights().size(), 1U);
    EXPECT_THROW(archive().deleteNight(a.nightId), ArchiveError);
    EXPECT_THROW(archive().nightBytes(a.nightId), ArchiveError);
}

TEST_P(ArchiveTest, TheReviewAndTheConclusionAreKeptWithWhoAndWhen) {
    const auto night = file(NightSpec());
    archive().addReviewChange(night.nightId, change("reject", 3, {}, {}, "Д-р А"));
    archive().addReviewChange(night.nightId, change("move", 1, 600, 1800, "Д-р Б"));
    const auto changes = archive().review(night.nightId);
    ASSERT_EQ(changes.size(), 2U);
    EXPECT_EQ(changes[0].kind, "reject");
    EXPECT_EQ(changes[0].episode, 3);
    EXPECT_EQ(changes[0].doctor, "Д-р А");
    EXPECT_EQ(changes[0].changedAt.size(), 19U);
    EXPECT_EQ(changes[1].startSeconds, 600);
    EXPECT_EQ(changes[1].endSeconds, 1800);

    const auto study = archive().patient(*night.patientId)->studies.at(0).id;
    archive().conclude(study, "Эрекции сохранены.", "Иванова А. А.");
    const auto concluded = archive().patient(*night.patientId)->studies.at(0);
    EXPECT_EQ(concluded.conclusion, std::optional<std::string>("Эрекции сохранены."));
    EXPECT_EQ(concluded.doctor, std::optional<std::string>("Иванова А. А."));
    EXPECT_THROW(archive().addReviewChange(9999, change("accept", 1, {}, {}, "")), ArchiveError);
}

TEST_P(ArchiveTest, CheckFindsANightWhoseBytesChanged) {
    const auto night = file(NightSpec());
    file(NightSpec().variantOf(1));
    auto raw = test::rawConnection(location_);
    auto bytes = archive().nightBytes(night.nightId);
    bytes[200] ^= 0x01;
    const SqlValue params[] = {Blob{bytes}, night.nightId};
    raw->query("UPDATE nights SET data = ? WHERE id = ?", params);
    const auto problems = archive().check();
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_NE(problems[0].find("ночь № " + std::to_string(night.nightId)), std::string::npos);
}

TEST_P(ArchiveTest, ANewerArchiveIsRefusedAndLeftAsItIs) {
    file(NightSpec());
    archive_.reset();
    {
        auto raw = test::rawConnection(location_);
        raw->query("UPDATE archive_meta SET value = '7' WHERE key = 'schema_version'", {});
    }
    for (const auto mode : {Archive::Open::Create, Archive::Open::Existing}) {
        try {
            Archive::open(location_, mode);
            ADD_FAILURE() << "a newer archive opened";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), ArchiveError::Kind::Newer);
            EXPECT_NE(std::string(e.what()).find("более новой версией"), std::string::npos);
        }
    }
    auto raw = test::rawConnection(location_);
    EXPECT_EQ(raw->query("SELECT COUNT(*) FROM nights", {}).at(0).at(0), SqlValue(std::int64_t{1}));
    EXPECT_EQ(
        raw->query("SELECT value FROM archive_meta WHERE key = 'schema_version'", {}).at(0).at(0),
        SqlValue(std::string("7")));
}

TEST_P(ArchiveTest, ADatabaseOfOtherTablesIsNoArchive) {
    archive_.reset();
    std::string whyNot;
    const std::string other = test::freshArchiveLocation(GetParam(), whyNot);
    {
        if (!Archive::isServerLocation(other)) {
            test::writeAll(other, {});
        }
        auto raw = Archive::isServerLocation(other)
                       ? test::rawConnection(other)
                       : openSqlite(other, SqliteOpen::Create, std::chrono::seconds(1));
        raw->execute("CREATE TABLE accounts (id INTEGER, owner TEXT)");
    }
    try {
        Archive::open(other, Archive::Open::Create);
        ADD_FAILURE() << "another program's database opened as an archive";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::NotAnArchive);
    }
    auto raw = test::rawConnection(other);
    EXPECT_TRUE(raw->query("SELECT COUNT(*) FROM accounts", {}).size() == 1U);
}

TEST_P(ArchiveTest, AnArchiveHeldByAnotherProgramIsSaidAfterTheTimeoutAndNothingIsLost) {
    if (Archive::isServerLocation(location_)) {
        GTEST_SKIP() << "a server's lock waits its own lock_timeout (10 s); the driver's tests "
                        "hold one";
    }
    file(NightSpec());
    auto holder = test::rawConnection(location_);
    holder->begin(true);  // another program in the middle of a change
    Archive waiting =
        Archive::open(location_, Archive::Open::Create, std::chrono::milliseconds(200));
    try {
        waiting.add(nightEntryOf(nightFile(NightSpec().variantOf(7)), std::nullopt),
                    NightSource::File, "", AnalysisParameters{});
        ADD_FAILURE() << "filed into an archive another program holds";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::Busy);
        EXPECT_NE(std::string(e.what()).find("занят другой программой"), std::string::npos);
    }
    holder->rollback();
    // Once let go, the night goes in, and the one before is still there.
    waiting.add(nightEntryOf(nightFile(NightSpec().variantOf(7)), std::nullopt), NightSource::File,
                "", AnalysisParameters{});
    EXPECT_EQ(archive().nights().size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveTest, ::testing::ValuesIn(test::kBackends),
                         [](const auto& info) { return std::string(info.param); });

#ifndef _WIN32
// A disk that fills up (here a file-size limit, which binds root too) fails the night being
// filed with one message; the nights filed before stay, and the archive checks clean after.
TEST(SqliteArchiveTest, AFullDiskFailsTheNightBeingFiledAndKeepsTheRest) {
    const auto location = (test::scratchDir("archive") / "archive.sqlite").string();
    Archive a = Archive::open(location, Archive::Open::Create);
    a.add(nightEntryOf(nightFile(NightSpec()), std::nullopt), NightSource::File, "",
          AnalysisParameters{});
    std::uintmax_t largest = 0;
    for (const auto* ending : {"", "-wal", "-shm"}) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(location + ending, ec);
        largest = ec ? largest : std::max(largest, size);
    }
    int filed = 1;
    std::optional<ArchiveError> failure;
    {
        test::FileSizeLimit limit(static_cast<rlim_t>(largest + 24 * 1024));
        for (int k = 1; k < 100 && !failure; ++k) {
            try {
                a.add(nightEntryOf(nightFile(NightSpec().variantOf(k)), std::nullopt),
                      NightSource::File, "", AnalysisParameters{});
                ++filed;
            } catch (const ArchiveError& e) {
                failure = e;
            }
        }
    }
    ASSERT_TRUE(failure.has_value());
    // The library does not always keep the system's reason: full, or a write that failed.
    EXPECT_NE(std::string(failure->what()).find("место"), std::string::npos) << failure->what();
    EXPECT_EQ(std::string(failure->what()).find('\n'), std::string::npos);
    Archive again = Archive::open(location, Archive::Open::Create);
    EXPECT_TRUE(again.check().empty());
    EXPECT_EQ(static_cast<int>(again.nights().size()), filed);
}
#endif

}  // namespace
}  // namespace npt::archive
