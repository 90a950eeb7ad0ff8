// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's analysis in the window's behaviour: after a load, with the name withheld, when the
// doctor changes a parameter, the report, and the parameters kept in the settings file.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/analysis_text.h"
#include "app/settings_file.h"
#include "form_fixture.h"
#include "recorder/example_night.h"

namespace npt {
namespace {

using namespace npt::test;

const std::string kNight = std::string(NPT_EXAMPLES_DIR) + "/night.txt";
const std::string kProtectedNight = std::string(NPT_EXAMPLES_DIR) + "/night-password.txt";

TEST(AnalysisFlowTest, NothingToShowUntilARecordingIsDrawn) {
    FormRig rig;
    const AnalysisDisplay& shown = rig.view.analysisShown();
    EXPECT_FALSE(shown.recording);
    EXPECT_EQ(shown.summaryLine, "");
    EXPECT_TRUE(shown.episodes.empty());
    EXPECT_EQ(shown.parameters, AnalysisParameters());

    // The dialog opens all the same (it says there is nothing to analyse); a report is refused.
    rig.form.ShowAnalysisClick();
    EXPECT_EQ(rig.view.analysisDialogs(), 1);
    rig.form.SaveReportClick();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Information);
    EXPECT_TRUE(rig.view.reportsWritten.empty());
}

TEST(AnalysisFlowTest, ALoadShowsTheNightsEpisodesOnTheChartsTimeAxis) {
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    const AnalysisDisplay& shown = rig.view.analysisShown();
    ASSERT_TRUE(shown.recording);
    EXPECT_EQ(shown.summaryLine.rfind("Эпизодов: 5 · всего ", 0), 0u) << shown.summaryLine;
    ASSERT_EQ(shown.episodes.size(), 5u);
    ASSERT_EQ(shown.analysis.episodes.size(), 5u);
    // The bands lie where the curve is: the chart's x of a sample is its time in days, not
    // wrapped at midnight (the night starts at 22:00, 0,9167 days).
    const LineSeries& raw = rig.form.chart().series1();
    for (std::size_t i = 0; i < 5; ++i) {
        const NightEpisode& e = shown.analysis.episodes[i];
        const std::size_t first = static_cast<std::size_t>(e.start_s / 10);
        EXPECT_DOUBLE_EQ(shown.episodes[i].from, raw.xs()[first]);
        EXPECT_NEAR(shown.episodes[i].to - shown.episodes[i].from, e.duration_s / 86400.0, 1e-12);
    }
    EXPECT_GT(shown.episodes[4].from, 1.0) << "the last episode is after midnight";
}

TEST(AnalysisFlowTest, EachLoadAnalysesAnewAndAFailedOneLeavesNothingBehind) {
    const fs::path dir = scratchDir("app");
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    ASSERT_EQ(rig.view.analysisShown().analysis.episodes.size(), 5u);

    // A sensor that never moved: nothing to analyse, and no band of the night before stays.
    const fs::path flat = writeImage(dir / "flat.txt", makeImage());
    ASSERT_TRUE(rig.form.loadRecording(flat.string()));
    EXPECT_TRUE(rig.view.analysisShown().recording);
    EXPECT_EQ(rig.view.analysisShown().summaryLine, "Анализ невозможен: данные непригодны");
    EXPECT_TRUE(rig.view.analysisShown().episodes.empty());

    // Graph building stops at a start time it cannot read: the chart is empty, and so is the
    // analysis.
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    rig.view.setText(Control::TimeStart, "xx:yy");
    const fs::path noPassport =
        writeImage(dir / "nopass.txt", makeImage(ImageOptions().withoutPassport()));
    EXPECT_FALSE(rig.form.loadRecording(noPassport.string()));
    EXPECT_FALSE(rig.view.analysisShown().recording);
    EXPECT_EQ(rig.view.analysisShown().summaryLine, "");
    EXPECT_FALSE(rig.form.state().nightAnalysis.has_value());
}

TEST(AnalysisFlowTest, BytesThatAreNoRecordingLoadAsBeforeButAreNotAnalysedNorReported) {
    const fs::path dir = scratchDir("app");
    MemoryImage month13 = exampleNight("");
    month13[ImageOffsets::kMonth] = 13;
    struct Case {
        const char* what;
        std::string file;
        const char* reason;
        const char* date;  // as the load flow decodes it, unchanged
        bool password;     // its bytes at 68-77 are not erased: the load asks for a password
    };
    const Case cases[] = {
        {"a text file", std::string(NPT_EXAMPLES_DIR) + "/../README.md",
         "в начале нет блока подтверждения датчика", nullptr, true},
        {"a passport month of 13", writeImage(dir / "month13.txt", month13).string(),
         "в паспорте месяц исследования 13 (бывает от 1 до 12)", "08.13.26", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormRig rig;
        rig.view.setText(Control::VName, "Сидоров С. С.");
        if (c.password) {
            rig.view.passwordAnswers.push_back("");
        }
        ASSERT_TRUE(rig.form.loadRecording(c.file));
        // The load flow as ever: no box of its own, the bytes decoded into the fields.
        EXPECT_EQ(rig.view.messages().size(), c.password ? 1u : 0u);
        if (c.password && !rig.view.messages().empty()) {
            EXPECT_EQ(rig.view.messages()[0].title, kWrongPasswordTitle);
        }
        rig.view.clearMessages();
        if (c.date != nullptr) {
            EXPECT_EQ(rig.view.text(Control::Date), c.date);
        }
        EXPECT_EQ(rig.form.chart().series1().count(), 4320u);

        const AnalysisDisplay& shown = rig.view.analysisShown();
        EXPECT_TRUE(shown.recording);
        EXPECT_EQ(
            shown.summaryLine,
            std::string("Анализ невозможен: данные не похожи на запись датчика: ") + c.reason);
        EXPECT_FALSE(shown.analysis.quality.recording());
        EXPECT_TRUE(shown.analysis.episodes.empty());
        EXPECT_TRUE(shown.episodes.empty());
        EXPECT_TRUE(shown.unusable.empty());
        EXPECT_TRUE(shown.baseline.empty());
        EXPECT_TRUE(summaryFacts(shown.analysis).empty());

        // No report: refused with the reason before a file is asked for (no answer is queued).
        const std::string refusal =
            std::string("Отчёт не составлен: данные не похожи на запись датчика (") + c.reason +
            ").";
        rig.form.SaveReportClick();
        ASSERT_EQ(rig.view.messages().size(), 1u);
        EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(rig.view.messages()[0].text, refusal);
        rig.view.clearMessages();
        EXPECT_FALSE(rig.form.saveReport((dir / "report.pdf").string()));
        ASSERT_EQ(rig.view.messages().size(), 1u);
        EXPECT_EQ(rig.view.messages()[0].text, refusal);
        EXPECT_TRUE(rig.view.reportsWritten.empty());

        // The next recording is analysed and reported as ever.
        ASSERT_TRUE(rig.form.loadRecording(kNight));
        EXPECT_TRUE(rig.view.analysisShown().analysis.quality.recording());
        EXPECT_EQ(rig.view.analysisShown().analysis.episodes.size(), 5u);
        EXPECT_TRUE(rig.form.saveReport((dir / "report.pdf").string()));
    }
}

TEST(AnalysisFlowTest, ARecordingSavedAndLoadedAgainIsStillOne) {
    const fs::path saved = scratchDir("app") / "again.txt";
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    ASSERT_TRUE(rig.form.saveDataFile(saved.string()));
    ASSERT_TRUE(rig.form.loadRecording(saved.string()));
    EXPECT_TRUE(rig.view.analysisShown().analysis.quality.recording());
    EXPECT_EQ(rig.view.analysisShown().analysis.episodes.size(), 5u);
}

TEST(AnalysisFlowTest, AWrongPasswordWithholdsTheNameFromTheReportButNotTheAnalysis) {
    struct Case {
        const char* what;
        std::optional<std::string> answer;
        bool hidden;
    };
    const Case cases[] = {
        {"right password", "1234", false},
        {"wrong password", "4321", true},
        {"dialog closed", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormRig rig;
        rig.view.passwordAnswers.push_back(c.answer);
        ASSERT_TRUE(rig.form.loadRecording(kProtectedNight));
        EXPECT_EQ(rig.view.analysisShown().analysis.episodes.size(), 5u);
        const NightReport report = rig.form.nightReport();
        EXPECT_EQ(report.nameHidden, c.hidden);
        EXPECT_EQ(report.patientName, c.hidden ? "" : "Петров Пётр Петрович");
        EXPECT_EQ(report.analysis.episodes.size(), 5u);
    }
}

TEST(AnalysisFlowTest, ChangedParametersAnalyseAgainAtOnce) {
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    const auto before = rig.view.analysisShown().analysis;
    ASSERT_EQ(before.episodes.size(), 5u);

    // The smallest episode of the example rises 6,2 mm; a threshold of 7 mm leaves four.
    AnalysisParameters p;
    p.threshold_mm = 7.0;
    p.full_threshold_mm = 9.0;
    EXPECT_EQ(rig.form.setAnalysisParameters(p), std::nullopt);
    const AnalysisDisplay& shown = rig.view.analysisShown();
    EXPECT_EQ(shown.parameters, p);
    EXPECT_EQ(shown.analysis.parameters, p);
    EXPECT_EQ(shown.analysis.episodes.size(), 4u);
    EXPECT_EQ(shown.episodes.size(), 4u);
    EXPECT_EQ(shown.summaryLine.rfind("Эпизодов: 4", 0), 0u) << shown.summaryLine;

    // Parameters that cannot be used change nothing, and say why.
    AnalysisParameters wrong = p;
    wrong.full_threshold_mm = 5.0;  // below the threshold
    const auto error = rig.form.setAnalysisParameters(wrong);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("не ниже порога эпизода"), std::string::npos) << *error;
    EXPECT_EQ(rig.form.state().analysisParameters, p);
    EXPECT_EQ(rig.view.analysisShown().analysis.episodes.size(), 4u);

    // The next recording is analysed with the parameters as set.
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    EXPECT_EQ(rig.view.analysisShown().analysis.parameters, p);
}

// The baseline reaches the chart and the report on the curve's own time axis, as the analysis
// gives it, and follows a changed parameter.
TEST(AnalysisFlowTest, TheBaselineIsTheAnalysisOnTheChartsAxisOnScreenAndOnPaper) {
    const auto sameLine = [](const std::vector<double>& a, const std::vector<double>& b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::isnan(a[i]) != std::isnan(b[i]) || (!std::isnan(a[i]) && a[i] != b[i])) {
                return false;
            }
        }
        return true;
    };
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    const ChartLine before = rig.view.analysisShown().baseline;
    const std::vector<double>& xs = rig.form.chart().series1().xs();
    ASSERT_EQ(before.times.size(), xs.size());
    for (std::size_t i = 0; i < xs.size(); i += 97) {
        ASSERT_NEAR(before.times[i], xs[i], 1e-12) << i;
    }
    EXPECT_TRUE(sameLine(before.mm, rig.view.analysisShown().analysis.baseline));
    // Known under every sample of a clean night: flaccid, near 26-27 mm.
    for (double mm : before.mm) {
        ASSERT_FALSE(std::isnan(mm));
        ASSERT_GT(mm, 24);
        ASSERT_LT(mm, 29);
    }
    EXPECT_EQ(rig.form.nightReport().baseline.times, before.times);
    EXPECT_TRUE(sameLine(rig.form.nightReport().baseline.mm, before.mm));

    // Without the smallest episode its rise no longer has a line of its own under it.
    AnalysisParameters p;
    p.threshold_mm = 7.0;
    p.full_threshold_mm = 7.0;
    ASSERT_EQ(rig.form.setAnalysisParameters(p), std::nullopt);
    const AnalysisDisplay& shown = rig.view.analysisShown();
    EXPECT_TRUE(sameLine(shown.baseline.mm, shown.analysis.baseline));
    EXPECT_FALSE(sameLine(shown.baseline.mm, before.mm));
    EXPECT_TRUE(sameLine(rig.form.nightReport().baseline.mm, shown.baseline.mm));
}

TEST(AnalysisFlowTest, ReportOfTheNightShown) {
    const fs::path dir = scratchDir("app");
    FormRig rig;
    rig.view.setText(Control::VName, "Сидоров С. С.");
    ASSERT_TRUE(rig.form.loadRecording(kNight));

    // Only a .pdf: a report never replaces a recording or a workbook by a slip of the hand.
    rig.view.reportAnswers.push_back((dir / "night.txt").string());
    rig.form.SaveReportClick();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(rig.view.reportsWritten.empty());
    rig.view.clearMessages();

    rig.view.reportAnswers.push_back(std::nullopt);  // cancelled
    rig.form.SaveReportClick();
    EXPECT_TRUE(rig.view.reportsWritten.empty());

    const std::string pdf = (dir / "Отчёт.PDF").string();
    rig.view.reportAnswers.push_back(pdf);
    rig.form.SaveReportClick();
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.view.beeps(), 1);
    ASSERT_EQ(rig.view.reportsWritten.size(), 1u);
    const auto& [path, report] = rig.view.reportsWritten[0];
    EXPECT_EQ(path, pdf);
    EXPECT_EQ(report.patientName, "Петров Пётр Петрович");
    EXPECT_EQ(report.age, "47");
    EXPECT_EQ(report.studyDate, "08.12.26");
    EXPECT_EQ(report.studyStart, "22:00");
    EXPECT_EQ(report.studyEnd, "10:00");
    EXPECT_EQ(report.period, "10");
    EXPECT_EQ(report.programmed, "21:30");
    EXPECT_EQ(report.doctor, "Сидоров С. С.");
    EXPECT_EQ(report.created, "09.12.26 08:05");
    EXPECT_EQ(report.times.size(), 4320u);
    EXPECT_EQ(report.episodes, rig.view.analysisShown().episodes);

    // A report that cannot be written is reported, with its reason.
    rig.view.reportFailure = FileError(
        pdf, "нет места на диске", "Не удалось сохранить отчёт «" + pdf + "»: нет места на диске.");
    rig.view.reportAnswers.push_back(pdf);
    rig.form.SaveReportClick();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Error);
    EXPECT_NE(rig.view.messages()[0].text.find("нет места на диске"), std::string::npos);
}

TEST(AnalysisFlowTest, ReportOfARecordingWithoutPassportClaimsNoProgrammingTime) {
    const fs::path file =
        writeImage(scratchDir("app") / "nopass.txt", makeImage(ImageOptions().withoutPassport()));
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_EQ(rig.view.text(Control::TimeNow), "08:05");  // the clock, as at start-up
    EXPECT_EQ(rig.form.nightReport().programmed, "");
    EXPECT_EQ(rig.form.nightReport().patientName, "");
}

TEST(AnalysisFlowTest, ReportLeavesOutWhatTheRecorderNeverWrote) {
    // The recorder wrote the first 100 samples and skipped the tenth.
    MemoryImage image = makeImage();
    for (std::size_t i = 100; i < ImageOffsets::kSampleCount; ++i) {
        image[ImageOffsets::kSamples + i] = kErasedByte;
    }
    image[ImageOffsets::kSamples + 9] = kErasedByte;
    const fs::path file = writeImage(scratchDir("app") / "short.txt", image);
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    const NightReport report = rig.form.nightReport();
    ASSERT_EQ(report.diameters.size(), 100u);
    EXPECT_TRUE(std::isnan(report.diameters[9]));
    EXPECT_DOUBLE_EQ(report.diameters[0], 29.6);
    EXPECT_NEAR(report.times[1] - report.times[0], 10.0 / 86400, 1e-12);
}

TEST(AnalysisFlowTest, StretchesLeftOutAreShownWhereTheCurveIsOnScreenAndOnPaper) {
    // The example night with five minutes the recorder skipped and 25 minutes of a sensor that
    // lay still; a lone skipped sample costs nothing and is not shaded.
    MemoryImage image = exampleNight("");
    const auto sample = [&](std::size_t i) -> std::uint8_t& {
        return image[ImageOffsets::kSamples + i];
    };
    for (std::size_t i = 1000; i < 1030; ++i) {
        sample(i) = kErasedByte;
    }
    for (std::size_t i = 2000; i < 2150; ++i) {
        sample(i) = 90;
    }
    sample(3000) = kErasedByte;
    const fs::path file = writeImage(scratchDir("app") / "faults.txt", image);

    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(kNight));
    EXPECT_TRUE(rig.view.analysisShown().unusable.empty());
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    const AnalysisDisplay& shown = rig.view.analysisShown();
    const std::vector<double>& xs = rig.form.chart().series1().xs();
    ASSERT_EQ(shown.unusable.size(), 2u);
    EXPECT_DOUBLE_EQ(shown.unusable[0].from, xs[1000]);
    EXPECT_NEAR(shown.unusable[0].to - shown.unusable[0].from, 300.0 / 86400, 1e-12);
    EXPECT_DOUBLE_EQ(shown.unusable[1].from, xs[2000]);
    EXPECT_NEAR(shown.unusable[1].to - shown.unusable[1].from, 1500.0 / 86400, 1e-12);
    EXPECT_EQ(rig.form.nightReport().unusable, shown.unusable);
    // No baseline is drawn over what was left out, and it goes on after it.
    for (std::size_t i : {1000, 1029, 2000, 2149}) {
        EXPECT_TRUE(std::isnan(shown.baseline.mm[i])) << i;
    }
    for (std::size_t i : {999, 1030, 1999, 2150}) {
        EXPECT_FALSE(std::isnan(shown.baseline.mm[i])) << i;
    }

    // A night with nothing usable is grey from end to end, with no baseline.
    ASSERT_TRUE(
        rig.form.loadRecording(writeImage(scratchDir("app") / "flat.txt", makeImage()).string()));
    ASSERT_EQ(rig.view.analysisShown().unusable.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.view.analysisShown().unusable[0].from, rig.form.chart().series1().xs()[0]);
    EXPECT_TRUE(rig.view.analysisShown().baseline.empty());
    EXPECT_TRUE(rig.form.nightReport().baseline.empty());
}

// ---- The parameters in the settings file ---------------------------------------------------

std::string readText(const fs::path& path) {
    const auto bytes = readAll(path);
    return {bytes.begin(), bytes.end()};
}

TEST(AnalysisSettingsTest, ParametersSurviveRestartsBesideTheDoctorsName) {
    const fs::path dir = scratchDir("app");
    const fs::path file = dir / "rdp.ini";
    writeAll(file, std::vector<std::uint8_t>{});
    {
        const std::string text = "[tools]\nedit1=Орлова Е. Г.\n[print]\ncopies=2\n";
        writeAll(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    IniSettingsFile settings({file.string(), ""});
    AnalysisParameters p;
    p.threshold_mm = 2.5;
    p.min_duration_s = 90;
    p.merge_gap_s = 0;
    p.full_threshold_mm = 6.5;
    {
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        EXPECT_EQ(view.analysisShown().parameters, AnalysisParameters());
        ASSERT_EQ(form.setAnalysisParameters(p), std::nullopt);
        form.FormDestroy();
        EXPECT_TRUE(view.messages().empty());
    }
    const std::string text = readText(file);
    for (const char* kept :
         {"[tools]", "edit1=Орлова Е. Г.", "[print]", "copies=2", "[analysis]", "threshold_mm=2.5",
          "min_duration_s=90", "merge_gap_s=0", "full_threshold_mm=6.5"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " missing:\n" << text;
    }
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    EXPECT_EQ(form.state().analysisParameters, p);
    EXPECT_EQ(view.analysisShown().parameters, p);
}

TEST(AnalysisSettingsTest, ParametersLeftInTheSettingsAreSaidInTheLine) {
    // A threshold changed in an earlier session: the line under the chart says the parameters
    // are not the defaults, so that it is not taken for what npt (defaults) gives.
    const fs::path file = scratchDir("app") / "rdp.ini";
    const std::string text = "[analysis]\nthreshold_mm=4,5\n";
    writeAll(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    IniSettingsFile settings({file.string(), ""});
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    ASSERT_TRUE(form.loadRecording(kNight));
    const std::string line = view.analysisShown().summaryLine;
    EXPECT_EQ(line.substr(line.rfind(" · ")), " · параметры изменены: порог") << line;
}

// Each value is used when it can be; one that cannot gives way to its default, and a full
// threshold below the episode threshold is raised to it; every such value is named.
TEST(AnalysisSettingsTest, WhatTheFileHolds) {
    const auto with = [](double threshold, int minDuration, int mergeGap, double full) {
        return AnalysisParameters{threshold, minDuration, mergeGap, full};
    };
    const AnalysisParameters d;
    struct Case {
        const char* what;
        const char* text;
        std::optional<AnalysisParameters> read;
        std::vector<std::string> unusable;
    };
    const Case cases[] = {
        {"no section", "[tools]\nedit1=x\n", std::nullopt, {}},
        {"a decimal comma typed by hand",
         "[analysis]\nthreshold_mm=3,5\n",
         with(3.5, d.min_duration_s, d.merge_gap_s, d.full_threshold_mm),
         {}},
        {"keys missing keep their defaults",
         "[Analysis]\nMERGE_GAP_S = 300\n",
         with(d.threshold_mm, d.min_duration_s, 300, d.full_threshold_mm),
         {}},
        {"trailing zeros are a tenth and whole seconds",
         "[analysis]\nthreshold_mm=2.50\nmin_duration_s=90.0\n",
         with(2.5, 90, d.merge_gap_s, d.full_threshold_mm),
         {}},
        {"out of range: its default, the others kept",
         "[analysis]\nthreshold_mm=40\nmerge_gap_s=300\n",
         with(d.threshold_mm, d.min_duration_s, 300, d.full_threshold_mm),
         {"порог эпизода (threshold_mm=40) — вне пределов от 1,0 до 15,0 мм; принято значение "
          "по умолчанию 3,0 мм"}},
        {"not a number, finer than a tenth, not whole seconds",
         "[analysis]\nmin_duration_s=пять\nthreshold_mm=0.99999999999\nmerge_gap_s=90.5\n",
         d,
         {"порог эпизода (threshold_mm=0.99999999999) — точнее 0,1 мм; принято значение по "
          "умолчанию 3,0 мм",
          "минимальная длительность эпизода (min_duration_s=пять) — не число; принято значение "
          "по умолчанию 300 с",
          "промежуток объединения эпизодов (merge_gap_s=90.5) — не целое число секунд; принято "
          "значение по умолчанию 120 с"}},
        {"a threshold above the default full threshold: the full one is raised to it",
         "[analysis]\nthreshold_mm=8\n",
         with(8, d.min_duration_s, d.merge_gap_s, 8),
         {"прирост для учёта времени по умолчанию, 5,0 мм, ниже порога эпизода (threshold_mm=8); "
          "принято значение, равное порогу эпизода: 8,0 мм"}},
        {"both stored, full below the threshold",
         "[analysis]\nthreshold_mm=6\nfull_threshold_mm=5\n",
         with(6, d.min_duration_s, d.merge_gap_s, 6),
         {"прирост для учёта времени (full_threshold_mm=5) ниже порога эпизода (threshold_mm=6); "
          "принято значение, равное порогу эпизода: 6,0 мм"}},
        {"full below the default threshold",
         "[analysis]\nfull_threshold_mm=2\n",
         with(3, d.min_duration_s, d.merge_gap_s, 3),
         {"прирост для учёта времени (full_threshold_mm=2) ниже порога эпизода по умолчанию, "
          "3,0 мм; принято значение, равное порогу эпизода: 3,0 мм"}},
        {"full beyond its range",
         "[analysis]\nfull_threshold_mm=20.5\n",
         d,
         {"прирост для учёта времени (full_threshold_mm=20.5) — вне пределов от порога эпизода "
          "до 20,0 мм; принято значение по умолчанию 5,0 мм"}},
    };
    const fs::path dir = scratchDir("app");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = c.text;
        writeAll(dir / "rdp.ini", std::vector<std::uint8_t>(text.begin(), text.end()));
        const IniSettingsFile settings({(dir / "rdp.ini").string(), ""});
        EXPECT_EQ(settings.analysisParameters(), c.read);
        const SettingsProblems problems = settings.readingProblems();
        EXPECT_EQ(problems.file, (dir / "rdp.ini").string());
        EXPECT_EQ(problems.unreadable, std::nullopt);
        EXPECT_EQ(problems.unusableValues, c.unusable);
    }
}

// What could not be used is said once, when the window is on screen, and the file is mended at
// close: the next start says nothing.
TEST(AnalysisSettingsTest, UnusableValuesAreSaidOnceAndMendedAtClose) {
    const fs::path dir = scratchDir("app");
    const fs::path file = dir / "rdp.ini";
    const std::string text = "[analysis]\nthreshold_mm=8\nmin_duration_s=пять\n";
    writeAll(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    IniSettingsFile settings({file.string(), ""});
    {
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        EXPECT_TRUE(view.messages().empty()) << "said once the window is shown, not before";
        EXPECT_EQ(form.state().analysisParameters.threshold_mm, 8.0);
        EXPECT_EQ(form.state().analysisParameters.full_threshold_mm, 8.0);
        form.FormShow();
        form.FormShow();
        ASSERT_EQ(view.messages().size(), 1u);
        EXPECT_EQ(view.messages()[0].title, "Файл настроек");
        EXPECT_EQ(view.messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(view.messages()[0].text,
                  "Не все параметры анализа из файла настроек «" + file.string() +
                      "» можно использовать:\n"
                      "• минимальная длительность эпизода (min_duration_s=пять) — не число; "
                      "принято значение по умолчанию 300 с;\n"
                      "• прирост для учёта времени по умолчанию, 5,0 мм, ниже порога эпизода "
                      "(threshold_mm=8); принято значение, равное порогу эпизода: 8,0 мм.\n"
                      "При закрытии программы принятые значения будут записаны в файл.");
        form.FormDestroy();
        EXPECT_EQ(view.messages().size(), 1u);
    }
    EXPECT_NE(readText(file).find("full_threshold_mm=8\n"), std::string::npos) << readText(file);
    EXPECT_NE(readText(file).find("min_duration_s=300\n"), std::string::npos) << readText(file);
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.FormShow();
    EXPECT_TRUE(view.messages().empty());
    EXPECT_EQ(form.state().analysisParameters.full_threshold_mm, 8.0);
}

TEST(AnalysisSettingsTest, UnchangedParametersAreNotWritten) {
    const fs::path dir = scratchDir("app");
    const fs::path file = dir / "rdp.ini";
    IniSettingsFile settings({file.string(), ""});
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.FormDestroy();
    // The name is written as always; the parameters, never changed, are not.
    EXPECT_EQ(readText(file).find("[analysis]"), std::string::npos) << readText(file);
}

}  // namespace
}  // namespace npt
