// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The study's report: a patient's nights from the archive on one A4 page, on one time axis, each
// with its figures, the best night marked beside it, the doctor's changes, the conclusion and the
// doctor. The pages are also rendered to PNGs under the build tree, to be looked at.
#include "report/study_report.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "analysis/analysis_text.h"
#include "analysis/night_facts.h"
#include "archive/night_maker.h"
#include "archive/review_text.h"
#include "records/data_file.h"
#include "report/report_page.h"
#include "report/report_pdf.h"
#include "report_fixture.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;
using archive::Archive;
using archive::Id;

const std::string kPatient = "Петров Пётр Петрович";
const std::string kDoctor = "Сидоров С. С.";
const std::string kConclusion =
    "Ночные эпизоды тумесценции сохранены, наибольшая продолжительность во вторую ночь.";

// A night of the patient on a day of December 2026: the example night, its recorder taken off
// after samples samples and started later minutes after 22:00.
struct Night {
    int day = 9;
    std::size_t samples = ImageOffsets::kSampleCount;
    int later = 0;
};

std::vector<std::uint8_t> nightBytes(const Night& n, const NightSpec& passport) {
    MemoryImage image = imageFromDataFile(nightFile(NightSpec(passport).on(n.day)), "night.txt");
    for (std::size_t i = n.samples; i < ImageOffsets::kSampleCount; ++i) {
        image[ImageOffsets::kSamples + i] = kErasedByte;
    }
    image.setWord(ImageOffsets::kDelayHigh,
                  static_cast<std::uint16_t>(image.word(ImageOffsets::kDelayHigh) + n.later));
    return dataFileBytes(image);
}

// The pixels of the page that show a colour (within a small tolerance).
bool shows(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) + std::abs(qGreen(pixel) - colour.green()) +
               std::abs(qBlue(pixel) - colour.blue()) <
           40;
}

const QColor kCurveColour(20, 60, 170);
const QColor kBestColour(30, 120, 55);

class StudyReportTest : public ::testing::Test {
  protected:
    StudyReportTest() { ensureApplication(); }

    void SetUp() override {
        dir_ = scratchDir("report");
        archive_.emplace(Archive::open((dir_ / "archive.sqlite").string(), Archive::Open::Create));
    }

    // Files the nights with the passport (the patient's name, a password); the study they make.
    Id file(const std::vector<Night>& nights,
            const NightSpec& passport = NightSpec().named(kPatient),
            const AnalysisParameters& parameters = {}) {
        std::optional<Id> patient;
        for (const Night& n : nights) {
            const auto added = archive_->add(
                archive::nightEntryOf(
                    nightBytes(n, passport),
                    passport.password.empty() ? std::nullopt : std::optional(passport.password)),
                archive::NightSource::File, "night.txt", parameters);
            patient = added.patientId;
        }
        EXPECT_TRUE(patient);
        const auto record = archive_->patient(patient.value_or(0));
        EXPECT_TRUE(record && record->studies.size() == 1);
        return record && !record->studies.empty() ? record->studies.back().id : 0;
    }

    // The three nights of the study this page is about: the second is the longest, the third
    // begins after midnight, at 00:30.
    Id threeNights() {
        return file({{8, 2200, 0}, {9, ImageOffsets::kSampleCount, 0}, {10, 3000, 150}});
    }

    // Writes the report, checks it is a whole one-page A4 PDF, renders it for the eye and returns
    // its text as pdftotext -layout reads it (empty without poppler-utils).
    std::string written(const std::string& name, const StudyReport& report) {
        const fs::path pdf = dir_ / (name + ".pdf");
        writeStudyReportPdf(pdf.string(), report);
        EXPECT_EQ(reportDefect(readAll(pdf)), std::nullopt);
        if (!have("pdftotext")) {
            return {};
        }
        const std::string info = output("pdfinfo '" + pdf.string() + "'");
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
        EXPECT_NE(info.find("Исследование ночной пенильной тумесценции"), std::string::npos)
            << info;
        EXPECT_EQ(info.find("Петров"), std::string::npos) << "the name stays out of the properties";
        std::system(("pdftoppm -png -r 60 -singlefile '" + pdf.string() + "' '" +
                     (dir_ / name).string() + "'")
                        .c_str());
        return output("pdftotext -layout '" + pdf.string() + "' -");
    }

    // The page painted on an image, pixelsPerMm to the millimetre, saved beside the PDFs.
    QImage painted(const StudyReport& report, const std::string& name) {
        QImage page(static_cast<int>(kReportPageWidthMm * kPixelsPerMm),
                    static_cast<int>(kReportPageHeightMm * kPixelsPerMm), QImage::Format_RGB32);
        // Text in points takes as many pixels as on paper.
        page.setDotsPerMeterX(static_cast<int>(kPixelsPerMm * 1000));
        page.setDotsPerMeterY(static_cast<int>(kPixelsPerMm * 1000));
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            paintStudyReport(painter, kPixelsPerMm, report);
        }
        page.save(QString::fromStdString((dir_ / (name + ".png")).string()));
        return page;
    }

    static constexpr double kPixelsPerMm = 8;
    fs::path dir_;
    std::optional<Archive> archive_;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines of the page from the line of night number (from 1) to the next night's line.
std::vector<std::string> nightSection(const std::vector<std::string>& lines, std::size_t number) {
    const auto startsNight = [](const std::string& line, std::size_t n) {
        return line.find("Ночь " + std::to_string(n) + " ·") != std::string::npos;
    };
    const auto first = std::find_if(lines.begin(), lines.end(),
                                    [&](const std::string& l) { return startsNight(l, number); });
    const auto last = std::find_if(first, lines.end(), [&](const std::string& l) {
        return startsNight(l, number + 1) || l.find("Все ночи") != std::string::npos;
    });
    return {first, last};
}

// True when a line of the section holds label and, after blanks, value.
bool figureShown(const std::vector<std::string>& section, const std::string& label,
                 const std::string& value) {
    return std::any_of(section.begin(), section.end(), [&](const std::string& line) {
        for (auto at = line.find(label); at != std::string::npos; at = line.find(label, at + 1)) {
            const std::string rest = line.substr(at + label.size());
            const auto value_at = rest.find_first_not_of(' ');
            if (value_at != std::string::npos && value_at > 0 &&
                rest.compare(value_at, value.size(), value) == 0) {
                return true;
            }
        }
        return false;
    });
}

TEST_F(StudyReportTest, OnePageWithEveryNightItsFiguresTheBestNightAndTheConclusion) {
    const Id study = threeNights();
    const auto patient = archive_->patients().front().id;
    archive_->setPatientDetails(patient, {"К-2041", std::nullopt});
    archive_->conclude(study, kConclusion, kDoctor);
    const archive::NightRow second = archive_->patient(patient)->studies.front().nights[1];
    // The doctor rejects the second night's first episode: it leaves the night's figures.
    const NightEpisode rejected = archive::archivedNight(*archive_, second.id).analysis.episodes[0];
    archive::ReviewChange reject;
    reject.kind = "reject";
    reject.episode = 1;
    reject.episodeStart = rejected.start_s;
    reject.episodeEnd = rejected.end_s;
    reject.doctor = kDoctor;
    archive_->addReviewChange(second.id, reject);

    StudyReport report = studyReportOf(*archive_, study);
    report.created = "11.12.26 09:30";
    EXPECT_EQ(report.patientName, kPatient);
    EXPECT_EQ(report.patientNumber, "К-2041");
    EXPECT_EQ(report.doctor, kDoctor);
    EXPECT_EQ(report.conclusion, kConclusion);
    ASSERT_EQ(report.nights.size(), 3U);
    // The nights in their order, the longest in episodes the best.
    const char* dates[] = {"08.12.26", "09.12.26", "10.12.26"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(report.nights[i].row.date, dates[i]);
    }
    const auto total = [&](std::size_t i) { return report.nights[i].analysis.summary.total_s; };
    ASSERT_GT(total(1), total(0));
    ASSERT_GT(total(1), total(2));
    EXPECT_EQ(report.best, 1U);
    EXPECT_EQ(report.nights[1].analysis.summary.episodes, 4);

    const std::string text = written("study", report);
    if (text.empty()) {
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
    }
    for (const std::string& expected : {
             std::string("Исследование ночной пенильной тумесценции"),
             std::string("Отчёт от 11.12.26 09:30"),
             "Пациент: " + kPatient,
             std::string("Возраст: 47"),
             std::string("Номер пациента: К-2041"),
             std::string("Даты исследования: 08.12.26 – 10.12.26"),
             std::string("Ночей: 3"),
             std::string("Параметры анализа: порог 3,0 мм"),
             std::string("Заключение врача:"),
             kConclusion,
             "Врач: " + kDoctor,
             std::string("Подпись:"),
             std::string("остаётся за врачом."),
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    const auto lines = linesOf(text);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("night " + std::to_string(i + 1));
        const archive::ArchivedNight& night = report.nights[i];
        const auto section = nightSection(lines, i + 1);
        ASSERT_FALSE(section.empty()) << text;
        // The night's line: its date and recorded time, and the mark of the best
        // night.
        EXPECT_NE(section.front().find(night.row.date + " · " + recordedSpanText(night.analysis)),
                  std::string::npos)
            << section.front();
        EXPECT_EQ(section.front().find("лучшая ночь") != std::string::npos, i == 1)
            << section.front();
        for (const NightFactKind& kind : nightFactKinds()) {
            if (const auto value = nightFact(night.analysis, kind)) {
                EXPECT_TRUE(figureShown(section, kind.label, factText(kind.unit, *value)))
                    << kind.label << " " << factText(kind.unit, *value) << "\n"
                    << text;
            }
        }
        // The doctor's change under the night it concerns.
        const std::string change = archive::reviewChangeText(archive_->review(second.id).front(),
                                                             report.nights[1].startSeconds);
        const bool listed = std::any_of(section.begin(), section.end(), [&](const auto& line) {
            return line.find(change) != std::string::npos;
        });
        EXPECT_EQ(listed, i == 1) << change << "\n" << text;
    }
    std::size_t marks = 0;
    for (auto at = text.find("лучшая ночь"); at != std::string::npos;
         at = text.find("лучшая ночь", at + 1)) {
        ++marks;
    }
    EXPECT_EQ(marks, 1U) << text;
}

// The nights lie on one time axis, from the earliest start to the latest end, so that a later
// start or an earlier end shows where it is; the best night is framed, the others are not.
// Measured on the painted page by the curve's ink of each chart and by the frame's green.
TEST_F(StudyReportTest, TheNightsShareOneTimeAxisAndTheBestIsFramed) {
    const StudyReport report = studyReportOf(*archive_, threeNights());
    const QImage page = painted(report, "study-axis");
    // The curve's ink, row by row: the charts are the runs of rows that hold it.
    struct Run {
        int top = 0;
        int bottom = 0;
        int left = std::numeric_limits<int>::max();
        int right = 0;
    };
    std::vector<Run> charts;
    for (int y = 0; y < page.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        int left = -1;
        int right = -1;
        for (int x = 0; x < page.width(); ++x) {
            if (shows(line[x], kCurveColour)) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
        if (left < 0) {
            continue;
        }
        if (charts.empty() || y > charts.back().bottom + 3 * kPixelsPerMm) {
            charts.push_back({y, y});
        }
        Run& run = charts.back();
        run.bottom = y;
        run.left = std::min(run.left, left);
        run.right = std::max(run.right, right);
    }
    ASSERT_EQ(charts.size(), 3U);
    // The second night runs over the whole axis, from 22:00 to 10:00: twelve hours.
    const double hour = (charts[1].right - charts[1].left) / 12.0;
    const double tolerance = hour / 6;
    EXPECT_NEAR(charts[0].left, charts[1].left, tolerance);
    EXPECT_NEAR(charts[0].right - charts[0].left, hour * 2200 * 10 / 3600, tolerance);
    EXPECT_NEAR(charts[2].left - charts[1].left, 2.5 * hour, tolerance);
    EXPECT_NEAR(charts[2].right - charts[2].left, hour * 3000 * 10 / 3600, tolerance);
    // Three charts of the same height, one under another, the page's upper two thirds.
    EXPECT_LT(charts.back().bottom, page.height() * 3 / 4);

    // The frame's green surrounds the second chart alone.
    const auto greenRows = [&](int from, int to) {
        int rows = 0;
        for (int y = std::max(0, from); y < std::min(page.height(), to); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            rows += std::any_of(line, line + page.width(),
                                [](QRgb p) { return shows(p, kBestColour); });
        }
        return rows;
    };
    const int gap = static_cast<int>(2 * kPixelsPerMm);
    EXPECT_GT(greenRows(charts[1].top, charts[1].bottom), charts[1].bottom - charts[1].top - 2)
        << "the frame's sides run along the best chart";
    EXPECT_EQ(greenRows(charts[0].top, charts[0].bottom - gap), 0);
    EXPECT_EQ(greenRows(charts[2].top + gap, charts[2].bottom), 0);
}

// However many nights a study holds (a night within a week of the last continues it), and
// however many changes the doctor made, the page stays one: the charts shrink, the changes are
// counted, the conclusion and the statement keep their place.
TEST_F(StudyReportTest, StillOnePageForAStudyOfManyNights) {
    std::vector<Night> nights;
    for (int day = 1; day <= 8; ++day) {
        nights.push_back({day, ImageOffsets::kSampleCount, 0});
    }
    const Id study = file(nights);
    const auto first = archive_->patient(archive_->patients().front().id)->studies[0].nights[0];
    for (int k = 0; k < 6; ++k) {
        archive::ReviewChange change;
        change.kind = "add";
        change.startSeconds = 3600 * k;
        change.endSeconds = 3600 * k + 600;
        change.doctor = kDoctor;
        archive_->addReviewChange(first.id, change);
    }
    const StudyReport report = studyReportOf(*archive_, study);
    ASSERT_EQ(report.nights.size(), 8U);
    const std::string text = written("study-many", report);
    const QImage page = painted(report, "study-many");
    // Every chart's ink above the room for the conclusion.
    int lowest = 0;
    for (int y = 0; y < page.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        if (std::any_of(line, line + page.width(), [](QRgb p) { return shows(p, kCurveColour); })) {
            lowest = y;
        }
    }
    EXPECT_LT(lowest / kPixelsPerMm, 225) << "mm from the page's top";
    if (text.empty()) {
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
    }
    for (int n = 1; n <= 8; ++n) {
        EXPECT_NE(text.find("Ночь " + std::to_string(n) + " · 0" + std::to_string(n) + ".12.26"),
                  std::string::npos)
            << n << "\n"
            << text;
    }
    EXPECT_NE(text.find("… и ещё"), std::string::npos) << text;
    EXPECT_NE(text.find("Заключение врача:"), std::string::npos) << text;
    EXPECT_NE(text.find("остаётся за врачом."), std::string::npos) << text;
}

TEST_F(StudyReportTest, WithoutEpisodesNoNightIsTheBestAndTheConclusionIsLeftToWrite) {
    // A threshold above every rise of the example night.
    AnalysisParameters high;
    high.threshold_mm = AnalysisLimits::kThresholdMaxMm;
    high.full_threshold_mm = AnalysisLimits::kThresholdMaxMm;
    const StudyReport report =
        studyReportOf(*archive_, file({{8}, {9}}, NightSpec().named(kPatient), high));
    ASSERT_EQ(report.nights.size(), 2U);
    for (const auto& n : report.nights) {
        ASSERT_EQ(n.analysis.summary.episodes, 0);
    }
    EXPECT_EQ(report.best, std::nullopt);
    const std::string text = written("study-no-episodes", report);
    if (text.empty()) {
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
    }
    EXPECT_EQ(text.find("лучшая"), std::string::npos) << text;
    EXPECT_EQ(text.find("рамкой"), std::string::npos) << text;
    EXPECT_NE(text.find("Наибольший прирост"), std::string::npos) << text;
    EXPECT_NE(text.find("(изменены; по умолчанию: порог 3,0 мм"), std::string::npos) << text;
    EXPECT_NE(text.find("Врач: ______"), std::string::npos) << text;
}

// A protected night's name is hidden from its passport without the password; the study is the
// patient's, whose name the archive holds.
TEST_F(StudyReportTest, TheNameIsThePatientsWhereTheNightsHideIt) {
    const Id study = file({{8}, {9}}, NightSpec().named(kPatient).protectedBy("4321"));
    EXPECT_EQ(studyReportOf(*archive_, study).patientName, kPatient);
}

TEST_F(StudyReportTest, AStudyThatIsNotThereIsRefused) {
    const Id study = threeNights();
    try {
        studyReportOf(*archive_, study + 1);
        ADD_FAILURE() << "a report of no study";
    } catch (const archive::ArchiveError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "В архиве нет исследования № " + std::to_string(study + 1) + ".");
    }
}

}  // namespace
}  // namespace npt
