// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The patients window's behaviour without its widgets: a night opened from the archive into the
// main window (its password step, and the patient it identifies), the lists the window shows,
// and the changes the doctor makes there.
#include <gtest/gtest.h>

#include "app/archive_browser.h"
#include "archive/archived_night.h"
#include "archive/night_maker.h"
#include "form_fixture.h"

namespace npt {
namespace {

using namespace npt::test;

constexpr const char* kIvanov = "Иванов Иван Иванович";
constexpr const char* kPetrov = "Петров Пётр Петрович";

// An archive in a scratch folder, filed with nights of NightSpec.
struct ArchiveRig {
    std::string location = (scratchDir("app") / "archive.sqlite").string();
    NightFiling filing{location};
    ArchiveBrowser browser{filing};

    archive::Archive& archive() { return *filing.archive(); }
    archive::Id add(const NightSpec& spec) {
        return archive()
            .add(archive::nightEntryOf(nightFile(spec), std::nullopt), archive::NightSource::File,
                 "n.txt", AnalysisParameters{})
            .nightId;
    }
    std::vector<std::string> namesFound(const std::string& text) {
        std::vector<std::string> names;
        const auto found = browser.patients(text);
        for (const auto& p : found.value()) {
            names.push_back(p.name);
        }
        return names;
    }
    PatientLine line(const std::string& name) {
        const auto found = browser.patients("");
        for (const auto& p : found.value()) {
            if (p.name == name) {
                return p;
            }
        }
        ADD_FAILURE() << "no patient " << name;
        return {};
    }
};

TEST(ArchiveWindowFlowTest, AProtectedNightOpensWithItsPasswordStepAndIsIdentifiedByIt) {
    struct Case {
        const char* what;
        std::optional<std::string> typed;
        bool identified;
    };
    const Case cases[] = {
        {"the right password", "1234", true},
        {"a wrong one", "4321", false},
        {"the dialog closed", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveRig a;
        const archive::Id night = a.add(NightSpec().named("Сидоров С. С.").protectedBy("1234"));
        FormRig rig;
        rig.form.setNightFiling(&a.filing);
        rig.view.passwordAnswers.push_back(c.typed);
        // No question whether to file it: the view fails the test on any.
        ASSERT_TRUE(rig.form.openArchivedNight(night));
        EXPECT_EQ(rig.view.passwordPrompts(), 1);
        EXPECT_EQ(rig.form.filedNight(), night);
        EXPECT_EQ(rig.view.text(Control::Name), c.identified ? "Сидоров С. С." : "");
        EXPECT_EQ(rig.view.text(Control::Date), "09.12.26");
        ASSERT_TRUE(rig.form.state().nightAnalysis);
        EXPECT_FALSE(rig.form.state().nightAnalysis->result.episodes.empty());

        const auto row = a.archive().night(night);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->patientId.has_value(), c.identified);
        EXPECT_EQ(a.archive().nights().size(), 1U);
        EXPECT_EQ(a.namesFound("сидоров").size(), c.identified ? 1U : 0U);
    }
}

TEST(ArchiveWindowFlowTest, ANightThatCannotBeOpenedIsSaidAndChangesNothing) {
    ArchiveRig a;
    const archive::Id shown = a.add(NightSpec().named(kIvanov));
    // Beside the open archive: scratchDir would empty the test's folder, archive and all.
    const fs::path folder = fs::path(a.location).parent_path() / "not-an-archive";
    fs::create_directories(folder);
    NightFiling unreachable(folder.string());
    struct Case {
        const char* what;
        NightFiling* filing;
        archive::Id night;
        const char* said;
    };
    const Case cases[] = {
        {"no such night", &a.filing, shown + 100, "нет ночи"},
        {"the archive unreachable", &unreachable, shown, "not-an-archive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FormRig rig;
        rig.form.setNightFiling(&a.filing);
        ASSERT_TRUE(rig.form.openArchivedNight(shown));
        const auto before = rig.view.fieldTexts();
        const auto samples = rig.form.state().nightAnalysis->samples;
        rig.form.setNightFiling(c.filing);
        EXPECT_FALSE(rig.form.openArchivedNight(c.night));
        ASSERT_EQ(rig.view.messages().size(), 1U);
        EXPECT_EQ(rig.view.messages()[0].title, kErrorTitle);
        EXPECT_NE(rig.view.messages()[0].text.find(c.said), std::string::npos)
            << rig.view.messages()[0].text;
        EXPECT_EQ(rig.view.fieldTexts(), before);
        EXPECT_EQ(rig.form.filedNight(), shown);
        EXPECT_EQ(rig.form.state().nightAnalysis->samples, samples);
    }
}

TEST(ArchiveWindowFlowTest, TheSearchFindsByNameNumberAndDateWithTheUnidentifiedFirst) {
    ArchiveRig a;
    a.add(NightSpec().named(kIvanov).on(9));
    a.add(NightSpec().named(kPetrov).on(15, 11));
    a.add(NightSpec().named("Сидоров С. С.").protectedBy("1234").on(20, 10));
    ASSERT_FALSE(a.browser.setPatientDetails(*a.line(kPetrov).patient, "К-17", "1961"));
    const std::string unidentified = kUnidentifiedEntry;
    struct Case {
        const char* text;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"", {unidentified, kIvanov, kPetrov}},
        {"  ИВАНОВ ", {kIvanov}},
        {"к-17", {kPetrov}},
        {"15.11", {kPetrov}},
        {"20.10", {unidentified}},
        {"опознан", {unidentified}},
        {"сидоров", {}},  // a name under a password is not searched
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(a.namesFound(c.text), c.found);
    }
    const PatientLine petrov = a.line(kPetrov);
    EXPECT_EQ(petrov.number, "К-17");
    EXPECT_EQ(petrov.birthYear, "1961");
    EXPECT_EQ(petrov.nights, "1");
    EXPECT_EQ(petrov.lastDate, "15.11.26");
    EXPECT_FALSE(petrov.age.empty());
}

TEST(ArchiveWindowFlowTest, APatientsStudiesListTheirNightsWithTheirAnalyses) {
    ArchiveRig a;
    const archive::Id october = a.add(NightSpec().named(kIvanov).on(1, 10));
    a.add(NightSpec().named(kIvanov).on(9));
    a.add(NightSpec().named(kIvanov).on(11));
    a.add(NightSpec().named("Сидоров С. С.").protectedBy("1234").on(20, 10));

    const auto studies = a.browser.studies(a.line(kIvanov)).value();
    ASSERT_EQ(studies.size(), 2U);
    EXPECT_EQ(studies[0].title, "Исследование 01.10.26, ночей: 1");
    EXPECT_EQ(studies[1].title, "Исследование 09.12.26 – 11.12.26, ночей: 2");
    ASSERT_EQ(studies[1].nights.size(), 2U);
    const NightLine& first = studies[0].nights.at(0);
    EXPECT_EQ(first.night, october);
    EXPECT_EQ(first.date, "01.10.26");
    EXPECT_EQ(first.period, "10 с");
    EXPECT_EQ(first.source, "файл n.txt");
    EXPECT_EQ(first.episodes, "5");  // the example night's
    EXPECT_NE(first.tumescence.find("мин"), std::string::npos) << first.tumescence;

    // The unidentified nights: one group without a study, as the search found them.
    const auto none = a.browser.studies(a.line(kUnidentifiedEntry)).value();
    ASSERT_EQ(none.size(), 1U);
    EXPECT_FALSE(none[0].study);
    ASSERT_EQ(none[0].nights.size(), 1U);
    EXPECT_EQ(none[0].nights[0].date, "20.10.26");
    PatientLine byDate = a.browser.patients("09.12").value().at(0);
    EXPECT_EQ(byDate.name, kIvanov);
}

TEST(ArchiveWindowFlowTest, ANightMovesToAPatientByNameOrToAnotherStudyOfItsOwn) {
    ArchiveRig a;
    const archive::Id october = a.add(NightSpec().named(kIvanov).on(1, 10));
    const archive::Id december = a.add(NightSpec().named(kIvanov).on(9));
    a.add(NightSpec().named(kPetrov).on(15, 11));
    const archive::Id ivanov = *a.line(kIvanov).patient;
    const archive::Id petrov = *a.line(kPetrov).patient;

    // Nothing chosen: refused, and nothing moved.
    EXPECT_TRUE(a.browser.moveNight(october, {std::nullopt, "   ", std::nullopt}));
    EXPECT_EQ(a.archive().night(october)->patientId, ivanov);

    // Into the other study of the same patient: one study left.
    const auto studies = a.browser.studyChoices(ivanov).value();
    ASSERT_EQ(studies.size(), 2U);
    EXPECT_FALSE(a.browser.moveNight(october, {ivanov, "", studies[1].study}));
    EXPECT_EQ(a.archive().night(october)->studyId, a.archive().night(december)->studyId);
    EXPECT_EQ(a.browser.studyChoices(ivanov).value().size(), 1U);

    // A "new" patient typed as an archive patient's name is that patient, not a second one.
    EXPECT_FALSE(a.browser.moveNight(october, {std::nullopt, "  петров   пётр петрович", {}}));
    EXPECT_EQ(a.archive().night(october)->patientId, petrov);
    EXPECT_EQ(a.archive().patients().size(), 2U);
    // A name not there makes the patient.
    EXPECT_FALSE(a.browser.moveNight(october, {std::nullopt, "Новиков Н. Н.", {}}));
    EXPECT_EQ(a.namesFound("новиков"), std::vector<std::string>{"Новиков Н. Н."});
    EXPECT_EQ(a.line("Новиков Н. Н.").nights, "1");
}

TEST(ArchiveWindowFlowTest, ADeletedNightIsGoneAndDeletingItAgainSaysSo) {
    ArchiveRig a;
    const archive::Id night = a.add(NightSpec().named(kIvanov).on(9));
    const PatientLine ivanov = a.line(kIvanov);
    const auto studies = a.browser.studies(ivanov).value();
    EXPECT_EQ(ArchiveBrowser::deleteQuestion(studies.at(0).nights.at(0), ivanov),
              "Удалить ночь 09.12.26 пациента Иванов Иван Иванович из архива? Это нельзя "
              "отменить.");
    EXPECT_FALSE(a.browser.deleteNight(night));
    EXPECT_TRUE(a.archive().nights().empty());
    EXPECT_TRUE(a.browser.studies(ivanov).value().empty());
    const auto again = a.browser.deleteNight(night);
    ASSERT_TRUE(again);
    EXPECT_NE(again->find("нет ночи"), std::string::npos) << *again;
}

TEST(ArchiveWindowFlowTest, APatientsNumberAndYearOfBirthAreTakenOnlyWhenUsable) {
    ArchiveRig a;
    a.add(NightSpec().named(kIvanov));
    const archive::Id ivanov = *a.line(kIvanov).patient;
    struct Case {
        const char* number;
        const char* year;
        bool taken;
        const char* numberAfter;
        const char* yearAfter;
    };
    const Case cases[] = {
        {" К-17 ", "1961", true, "К-17", "1961"}, {"К-18", "61", false, "К-17", "1961"},
        {"К-18", "19б1", false, "К-17", "1961"},  {"К-18", "1850", false, "К-17", "1961"},
        {"К-18", "3000", false, "К-17", "1961"},  {"", "  ", true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.number) + "/" + c.year);
        const auto refused = a.browser.setPatientDetails(ivanov, c.number, c.year);
        EXPECT_EQ(!refused, c.taken) << refused.value_or("");
        const PatientLine after = a.line(kIvanov);
        EXPECT_EQ(after.number, c.numberAfter);
        EXPECT_EQ(after.birthYear, c.yearAfter);
    }
}

TEST(ArchiveWindowFlowTest, TheImportsBoxListsRefusalsInsideTheFolderAndTheRestInItsDetails) {
    archive::ImportSummary summary;
    summary.added = 3;
    summary.alreadyThere = 1;
    for (int i = 1; i <= 12; ++i) {
        archive::FiledRecording r;
        r.path = "/data/ночи/sub/f" + std::to_string(i) + ".txt";
        r.reason = "причина " + std::to_string(i);
        summary.refused.push_back(r);
    }
    const ImportReport report = ArchiveBrowser::importReport("/data/ночи", summary, 16);
    EXPECT_NE(report.text.find("Добавлено ночей: 3, уже были в архиве: 1, не добавлено: 12."),
              std::string::npos)
        << report.text;
    // Each file as the system writes a path inside the folder (sub\f1.txt on Windows).
    const std::string sub = std::string("sub") + static_cast<char>(fs::path::preferred_separator);
    EXPECT_NE(report.text.find("\n" + sub + "f1.txt — причина 1"), std::string::npos);
    EXPECT_NE(report.text.find("\n" + sub + "f10.txt — причина 10"), std::string::npos);
    EXPECT_EQ(report.text.find(sub + "f11.txt"), std::string::npos);
    EXPECT_NE(report.text.find("… и ещё 2"), std::string::npos);
    EXPECT_NE(report.details.find(sub + "f12.txt — причина 12\n"), std::string::npos);

    // A short list has no details; a stop and a failure say how far the import went.
    summary.refused.resize(1);
    summary.stopped = true;
    const ImportReport stopped = ArchiveBrowser::importReport("/data/ночи", summary, 16);
    EXPECT_TRUE(stopped.details.empty());
    EXPECT_NE(stopped.text.find("остановлен после 5 из 16"), std::string::npos) << stopped.text;
    summary.failure = "Диск заполнен.";
    const ImportReport failed = ArchiveBrowser::importReport("/data/ночи", summary, 16);
    EXPECT_NE(failed.text.find("прервался после 5 из 16 файлов: Диск заполнен."), std::string::npos)
        << failed.text;
}

TEST(ArchiveWindowFlowTest, TheWindowsEdfOfAnArchivedNightIsThePatientsWindowsOne) {
    ArchiveRig a;
    const archive::Id night = a.add(NightSpec().named(kIvanov));
    a.archive().setPatientDetails(*a.archive().night(night)->patientId, {"К-17", 1961});
    const auto found = archive::archivedNight(a.archive(), night).analysis.episodes.at(0);
    a.archive().addReviewChange(
        night, {"reject", 1, found.found_start_s, found.found_end_s, {}, {}, "Иванова А. А.", ""});

    FormRig rig;
    rig.form.setNightFiling(&a.filing);
    ASSERT_TRUE(rig.form.openArchivedNight(night));
    // The archive's own scratch folder: making it afresh would remove the archive open in it.
    const fs::path dir = fs::path(a.location).parent_path();
    ASSERT_TRUE(rig.form.exportEdf((dir / "window.edf").string()));
    ASSERT_EQ(a.browser.exportNightEdf(night, (dir / "archive.edf").string()), std::nullopt);
    const auto bytes = readAll(dir / "window.edf");
    EXPECT_EQ(bytes, readAll(dir / "archive.edf"));
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_EQ(file.substr(8, 33), "K-17 M X Ivanov_Ivan_Ivanovich   ");
    EXPECT_NE(file.find("Изменение врача: Эпизод 1"), std::string::npos);

    // A folder that cannot be written is said, and the archive is not blamed for it.
    const auto failed = a.browser.exportNightEdf(night, (dir / "no" / "such" / "n.edf").string());
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->find("Не удалось сохранить файл EDF"), std::string::npos) << *failed;
    EXPECT_FALSE(a.browser.failure());
}

}  // namespace
}  // namespace npt
