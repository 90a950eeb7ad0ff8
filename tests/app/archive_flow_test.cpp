// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the patient archive: a whole read is filed before anything is asked, a
// protected one unidentified until its password is given, a loaded file when the doctor wants.
#include <gtest/gtest.h>

#include "analysis/analysis_text.h"
#include "app/night_filing.h"
#include "link_fixture.h"
#include "recorder/example_night.h"

namespace npt {
namespace {

using namespace npt::test;

// The settings the load question's answer goes into.
class ArchiveSettings : public SettingsStore {
  public:
    std::optional<bool> fileLoads;
    std::optional<std::string> doctorName() const override { return std::nullopt; }
    void saveDoctorName(const std::string&) override {}
    std::optional<AnalysisParameters> analysisParameters() const override { return std::nullopt; }
    void saveAnalysisParameters(const AnalysisParameters&) override {}
    std::optional<bool> fileLoadedNights() const override { return fileLoads; }
    void saveFileLoadedNights(bool file) override { fileLoads = file; }
};

std::string archivePath() {
    return (scratchDir("app") / "archive.sqlite").string();
}

std::vector<archive::NightRow> nightsIn(const std::string& location) {
    return archive::Archive::open(location, archive::Archive::Open::Existing).nights();
}

TEST(ArchiveFlowTest, AReadIsFiledBeforeThePasswordIsAskedAndIdentifiedByIt) {
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
        const std::string location = archivePath();
        NightFiling filing(location);
        LinkRig rig;
        rig.recorder = hid::SimulatedRecorder(
            makeImage(ImageOptions().withPassword("1234").withName("Сидоров С. С.")));
        rig.start();
        rig.form->setNightFiling(&filing);
        rig.view.passwordAnswers.push_back(c.typed);
        rig.read();
        // While the password dialog is open the night is in already, and no name with it.
        std::vector<archive::NightRow> whileAsked;
        rig.view.whileBoxOpen = [&] { whileAsked = nightsIn(location); };
        rig.fire(TimerId::Timer2);
        ASSERT_EQ(whileAsked.size(), 1U);
        EXPECT_FALSE(whileAsked[0].patientId);
        EXPECT_EQ(whileAsked[0].source, archive::NightSource::Recorder);

        const auto after = nightsIn(location);
        ASSERT_EQ(after.size(), 1U);
        EXPECT_EQ(after[0].id, rig.form->filedNight());
        EXPECT_EQ(after[0].patientName.has_value(), c.identified);
        const auto patients =
            archive::Archive::open(location, archive::Archive::Open::Existing).patients();
        EXPECT_EQ(patients.size(), c.identified ? 1U : 0U);
        if (c.identified) {
            EXPECT_EQ(patients[0].name, "Сидоров С. С.");
        }
        // The bytes filed are the image as read, name and password included.
        auto a = archive::Archive::open(location, archive::Archive::Open::Existing);
        EXPECT_EQ(a.nightBytes(after[0].id), dataFileBytes(rig.state().memoryImage));
    }
}

TEST(ArchiveFlowTest, AnArchiveThatCannotBeOpenedIsSaidAndTheNightStillShown) {
    const fs::path dir = scratchDir("app");
    NightFiling filing(dir.string());  // a folder, not an archive file
    LinkRig rig;
    rig.start();
    rig.form->setNightFiling(&filing);
    rig.read();
    rig.fire(TimerId::Timer2);
    ASSERT_FALSE(rig.view.messages().empty());
    EXPECT_EQ(rig.view.messages()[0].title, "Архив пациентов");
    EXPECT_NE(rig.view.messages()[0].text.find("Ночь не сохранена в архиве"), std::string::npos);
    EXPECT_NE(rig.view.messages()[0].text.find("«В файл»"), std::string::npos);
    EXPECT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");
    EXPECT_EQ(rig.view.colour(Control::OpenIndicator), colours::kGreen);
    EXPECT_FALSE(rig.form->filedNight());
}

TEST(ArchiveFlowTest, ALoadAsksOnceWhetherFilesAreFiled) {
    const std::string location = archivePath();
    const fs::path dir = fs::path(location).parent_path();
    writeAll(dir / "one.txt", dataFileBytes(makeImage(ImageOptions().withName("Первый П."))));
    writeAll(dir / "two.txt", dataFileBytes(makeImage(ImageOptions().withName("Второй В."))));
    ArchiveSettings settings;
    NightFiling filing(location);
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.setNightFiling(&filing);

    view.questionAnswers = {MessageAnswer::Yes};
    ASSERT_TRUE(form.loadRecording((dir / "one.txt").string()));
    EXPECT_EQ(settings.fileLoads, std::optional<bool>(true));
    ASSERT_TRUE(form.loadRecording((dir / "two.txt").string()));  // not asked again
    ASSERT_TRUE(form.loadRecording((dir / "one.txt").string()));  // the same night: one
    const auto nights = nightsIn(location);
    ASSERT_EQ(nights.size(), 2U);
    EXPECT_EQ(nights[0].sourceName, "one.txt");
    EXPECT_EQ(nights[0].source, archive::NightSource::File);

    // "No" is remembered as well, and nothing more is filed.
    settings.fileLoads.reset();
    writeAll(dir / "three.txt", dataFileBytes(makeImage(ImageOptions().withName("Третий Т."))));
    view.questionAnswers = {MessageAnswer::No};
    ASSERT_TRUE(form.loadRecording((dir / "three.txt").string()));
    EXPECT_EQ(settings.fileLoads, std::optional<bool>(false));
    EXPECT_EQ(nightsIn(location).size(), 2U);
    EXPECT_TRUE(view.questionAnswers.empty());
}

TEST(ArchiveFlowTest, TheReviewChangesTheFiguresAndComesBackWithTheNight) {
    const std::string location = archivePath();
    const fs::path file = fs::path(location).parent_path() / "night.txt";
    writeAll(file, dataFileBytes(exampleNight("")));
    ArchiveSettings settings;
    settings.fileLoads = true;
    NightFiling filing(location);
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.setNightFiling(&filing);
    view.setText(Control::VName, "Иванова А. А.");
    ASSERT_TRUE(form.loadRecording(file.string()));
    const NightAnalysis before = view.analysisShown().analysis;
    ASSERT_GE(before.episodes.size(), 2U);
    const NightEpisode second = before.episodes[1];

    // Rejected as an artefact: out of the table, the summary and the line under the chart.
    EXPECT_EQ(form.ReviewEpisode({ReviewKind::Reject, second.found_start_s, second.found_end_s}),
              std::nullopt);
    const AnalysisDisplay& shown = view.analysisShown();
    EXPECT_EQ(shown.analysis.episodes.size(), before.episodes.size() - 1);
    EXPECT_EQ(shown.analysis.summary.total_s, before.summary.total_s - second.duration_s);
    EXPECT_EQ(shown.episodes.size(), before.episodes.size() - 1);
    EXPECT_NE(shown.summaryLine, summaryLine(before));
    // A step that finds nothing is refused and changes nothing.
    EXPECT_TRUE(form.ReviewEpisode({ReviewKind::Reject, 1, 2}).has_value());
    ASSERT_EQ(form.reviewLines().size(), 1U);
    EXPECT_NE(form.reviewLines()[0].find("отклонён как артефакт — Иванова А. А."),
              std::string::npos);
    EXPECT_EQ(form.nightReport().reviewChanges, form.reviewLines());

    // Kept in the archive with the night: opened again, the night comes with its review.
    auto a = archive::Archive::open(location, archive::Archive::Open::Existing);
    ASSERT_EQ(a.review(*form.filedNight()).size(), 1U);
    EXPECT_EQ(a.review(*form.filedNight())[0].doctor, "Иванова А. А.");
    const archive::Id filed = *form.filedNight();
    ASSERT_TRUE(form.loadRecording(file.string()));
    EXPECT_EQ(view.analysisShown().analysis.episodes.size(), before.episodes.size() - 1);
    EXPECT_EQ(view.analysisShown().analysis.rejected.size(), 1U);
    // Opened from the archive, likewise.
    ASSERT_TRUE(form.loadRecordingBytes(dataFileBytes(exampleNight("")), "other"));
    EXPECT_TRUE(view.analysisShown().analysis.rejected.empty());
    ASSERT_TRUE(form.openArchivedNight(filed));
    EXPECT_EQ(view.analysisShown().analysis.rejected.size(), 1U);
}

}  // namespace
}  // namespace npt
