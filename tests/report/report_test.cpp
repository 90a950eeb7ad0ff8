// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's report: one A4 page with everything a doctor files, the name withheld when it is
// hidden, written only whole. Each page is also rendered to a PNG under the build tree, to be
// looked at (pdftoppm, when poppler-utils is installed).
#include "report/report_pdf.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "analysis/analysis_text.h"
#include "app/clock.h"
#include "app/form_fixture.h"
#include "app/ttm_form.h"
#include "os/file_error.h"
#include "recorder/example_night.h"
#include "records/data_file.h"
#include "report/headless_platform.h"
#include "report/report_page.h"
#include "report_fixture.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

const std::string kNight = std::string(NPT_EXAMPLES_DIR) + "/night.txt";
const std::string kProtectedNight = std::string(NPT_EXAMPLES_DIR) + "/night-password.txt";

// The report painted on an image of the page at the given resolution.
QImage paintedPage(const NightReport& report, double pixelsPerMm) {
    QImage page(static_cast<int>(kReportPageWidthMm * pixelsPerMm),
                static_cast<int>(kReportPageHeightMm * pixelsPerMm), QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        paintNightReport(painter, pixelsPerMm, report);
    }
    return page;
}

// The report of a recording as the window (and npt) make it: loaded with the given password,
// the doctor's name typed.
NightReport reportOf(const std::string& file, const std::string& password = "",
                     const AnalysisParameters& parameters = {}) {
    ScriptedView view;
    view.passwordAnswers.push_back(password);  // typed, should the recording ask for it
    const FixedClock clock({2026, 12, 9, 8, 5, 0});
    TTMForm form(view, clock, nullptr);
    form.FormCreate();
    view.setText(Control::VName, "Сидоров С. С.");
    form.setAnalysisParameters(parameters);
    EXPECT_TRUE(form.loadRecording(file));
    return form.nightReport();
}

class ReportTest : public ::testing::Test {
  protected:
    ReportTest() { ensureApplication(); }

    // Writes the report, checks it is a whole one-page PDF, renders it for the eye and returns
    // its text as pdftotext reads it (empty without poppler-utils).
    std::string written(const fs::path& pdf, const NightReport& report) {
        writeReportPdf(pdf.string(), report);
        const auto bytes = readAll(pdf);
        EXPECT_EQ(reportDefect(bytes), std::nullopt);
        if (!have("pdftotext")) {
            return {};
        }
        const std::string info = output("pdfinfo '" + pdf.string() + "'");
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
        std::system(("pdftoppm -png -r 100 -singlefile '" + pdf.string() + "' '" +
                     pdf.string().substr(0, pdf.string().size() - 4) + "'")
                        .c_str());
        return output("pdftotext -layout '" + pdf.string() + "' -");
    }
};

TEST_F(ReportTest, OnePageWithEverythingTheDoctorFiles) {
    const fs::path dir = scratchDir("report");
    const NightReport report = reportOf(kNight);
    const std::string text = written(dir / "night.pdf", report);
    if (text.empty()) {
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
    }
    for (const std::string& expected : {
             std::string("Ночной тест пенильной тумесценции"),
             std::string("Отчёт от 09.12.26 08:05"),
             std::string("Пациент: Петров Пётр Петрович"),
             std::string("Возраст: 47"),
             std::string("Дата исследования: 08.12.26"),
             std::string("Исследование: с 22:00 до 10:00"),
             std::string("Период измерений: 10 с"),
             std::string("Врач: Сидоров С. С."),
             std::string("время ночи, чч:мм"),
             summaryLine(report.analysis),
             std::string("Эпизодов в час анализа: 0,42"),
             std::string("Длительность"),
             std::string("Качество записи: данные пригодны для анализа"),
             std::string("Параметры анализа: порог 3,0 мм"),
             std::string("Заключение врача:"),
             std::string("ригидность не измеряется"),
             std::string("остаётся за врачом."),
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    // The episode table as the window shows it: onsets, ends, increases and areas.
    for (const EpisodeRow& row : episodeRows(report.analysis)) {
        for (const std::string& cell : {row[1], row[2], row[6], row[9]}) {
            EXPECT_NE(text.find(cell), std::string::npos) << cell << "\n" << text;
        }
    }
}

// The study on the page is what was recorded: the recorder's memory holds 4320 samples, so a
// shorter period ends the recording before the morning, and such a recording is no night.
TEST_F(ReportTest, TheTitleAndTheStudyAreWhatWasRecorded) {
    const fs::path dir = scratchDir("report");
    struct Case {
        std::uint8_t period;
        const char* title;
        const char* note;  // beside the title
        const char* study;
    };
    const Case cases[] = {
        {10, "Ночной тест пенильной тумесценции", "", "Исследование: с 22:00 до 10:00"},
        {5, "Тест пенильной тумесценции", "запись короче ночи", "Исследование: с 22:00 до 04:00"},
        {1, "Тест пенильной тумесценции", "запись короче ночи", "Исследование: с 22:00 до 23:12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.period);
        MemoryImage image = exampleNight("");
        image[ImageOffsets::kPeriod] = c.period;
        const fs::path file = dir / ("period-" + std::to_string(c.period) + ".txt");
        writeAll(file, dataFileBytes(image));
        const std::string text =
            written(dir / ("period-" + std::to_string(c.period) + ".pdf"), reportOf(file.string()));
        if (text.empty()) {
            GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
        }
        EXPECT_EQ(text.find(c.title), text.find_first_not_of(" \n")) << text;  // the page's title
        EXPECT_NE(text.find(c.note), std::string::npos) << text;
        EXPECT_NE(text.find(c.study), std::string::npos) << text;
        EXPECT_EQ(text.find(c.period == 10 ? "короче ночи" : "Ночной"), std::string::npos) << text;
    }
}

TEST_F(ReportTest, ParametersThatAreNotTheDefaultsSaySo) {
    const fs::path dir = scratchDir("report");
    AnalysisParameters p;
    p.threshold_mm = 4.5;
    const std::string text = written(dir / "changed.pdf", reportOf(kNight, "", p));
    if (text.empty()) {
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed to read the page back";
    }
    // Words as pdftotext reads them, whatever the lines they were wrapped into.
    std::string words;
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            if (!words.empty() && words.back() != ' ') {
                words += ' ';
            }
        } else {
            words += c;
        }
    }
    EXPECT_NE(words.find("· параметры изменены: порог"), std::string::npos) << words;
    EXPECT_NE(words.find("Параметры анализа: порог 4,5 мм · не короче 5 мин"), std::string::npos)
        << words;
    EXPECT_NE(words.find("(изменены; по умолчанию: порог 3,0 мм)"), std::string::npos) << words;
    const std::string defaults = written(dir / "defaults.pdf", reportOf(kNight));
    EXPECT_EQ(defaults.find("изменены"), std::string::npos) << defaults;
}

TEST_F(ReportTest, AHiddenNameIsNowhereInTheFile) {
    const fs::path dir = scratchDir("report");
    const NightReport report = reportOf(kProtectedNight, "4321");
    ASSERT_TRUE(report.nameHidden);
    const std::string text = written(dir / "hidden.pdf", report);
    const auto bytes = readAll(dir / "hidden.pdf");
    const std::string raw(bytes.begin(), bytes.end());
    for (const char* part : {"Петров", "Пётр"}) {
        EXPECT_EQ(raw.find(part), std::string::npos);
        EXPECT_EQ(text.find(part), std::string::npos) << text;
    }
    if (!text.empty()) {
        // On two lines of the passport's left column.
        EXPECT_NE(text.find("Пациент: скрыто (пароль записи не"), std::string::npos) << text;
        EXPECT_NE(text.find("подтверждён)"), std::string::npos) << text;
    }
}

TEST_F(ReportTest, StillOnePageForALongNightOrAnEmptyOne) {
    const fs::path dir = scratchDir("report");
    // Seventy episodes: the table shrinks, and what does not fit is counted.
    NightReport many = reportOf(kNight);
    many.analysis.episodes.resize(70, many.analysis.episodes.front());
    const std::string text = written(dir / "many.pdf", many);
    if (!text.empty()) {
        EXPECT_NE(text.find("… и ещё "), std::string::npos) << text;
    }
    // Nothing recorded at all: the page says so and keeps its parts.
    NightReport empty;
    empty.created = "09.12.26 08:05";
    empty.analysis.quality.verdict = "датчик не записал ни одного измерения";
    const std::string emptyText = written(dir / "empty.pdf", empty);
    if (!emptyText.empty()) {
        EXPECT_NE(emptyText.find("Нет записанных измерений"), std::string::npos) << emptyText;
        EXPECT_NE(emptyText.find("Анализ невозможен: датчик не записал ни одного измерения"),
                  std::string::npos);
    }
}

// The bands of a night with a dozen episodes carry their numbers whole, two-digit ones too:
// measured here by the ink of the numbers' colour above each band of the painted page.
TEST_F(ReportTest, EveryBandOfTheChartShowsItsWholeNumber) {
    NightReport report;
    report.created = "09.12.26 08:05";
    for (int i = 0; i < 4320; ++i) {
        report.times.push_back(22.0 / 24 + i * 10.0 / 86400);
        report.diameters.push_back(26 + (i % 3) * 0.2);
    }
    constexpr int kEpisodes = 12;
    const double night = report.times.back() - report.times.front();
    for (int i = 0; i < kEpisodes; ++i) {
        const double from = report.times.front() + night * (i + 0.3) / kEpisodes;
        report.episodes.push_back({from, from + night * 0.5 / kEpisodes});
    }
    constexpr double kPixelsPerMm = 8;
    const QImage page = paintedPage(report, kPixelsPerMm);
    // The chart's time axis runs from 29 mm to 194 mm of the page, the first sample to the last.
    const auto column = [&](double days) {
        const double mm = 29 + (days - report.times.front()) / night * (194 - 29);
        return static_cast<int>(mm * kPixelsPerMm);
    };
    const auto inkOfNumber = [&](const TimeSpan& band) {
        int ink = 0;
        // The chart lies in the upper half of the page.
        for (int y = 0; y < page.height() / 2; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            for (int x = column(band.from); x <= column(band.to); ++x) {
                ink += std::abs(qRed(line[x]) - 230) + std::abs(qGreen(line[x]) - 140) +
                           std::abs(qBlue(line[x]) - 40) <
                       60;
            }
        }
        return ink;
    };
    const int one = inkOfNumber(report.episodes[0]);
    EXPECT_GT(one, 0);
    for (int i = 9; i < kEpisodes; ++i) {
        SCOPED_TRACE(i + 1);
        // "10" holds the ink of "1" and of a "0" beside it.
        EXPECT_GT(inkOfNumber(report.episodes[static_cast<std::size_t>(i)]), one * 3 / 2);
    }
    page.save(QString::fromStdString((scratchDir("report") / "numbered-bands.png").string()));
}

// The baseline is drawn in grey where the analysis gives one and nowhere else: measured by the
// neutral dark ink over the chart's halves, the first with a baseline, the second without.
TEST_F(ReportTest, TheBaselineIsDrawnWhereItIsKnown) {
    NightReport report;
    report.created = "09.12.26 08:05";
    for (int i = 0; i < 4320; ++i) {
        report.times.push_back(22.0 / 24 + i * 10.0 / 86400);
        report.diameters.push_back(i < 1000 ? 26 : 30);
        report.baseline.times.push_back(report.times.back());
        report.baseline.mm.push_back(i < 2160 ? 28.3 : std::numeric_limits<double>::quiet_NaN());
    }
    constexpr double kPixelsPerMm = 8;
    const QImage page = paintedPage(report, kPixelsPerMm);
    page.save(QString::fromStdString((scratchDir("report") / "baseline.png").string()));
    // The plot runs from 29 to 194 mm across the page, from 52 to 120 mm down it.
    const auto greyInk = [&](double fromMm, double toMm) {
        int ink = 0;
        for (int y = static_cast<int>(55 * kPixelsPerMm); y < static_cast<int>(118 * kPixelsPerMm);
             ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            for (int x = static_cast<int>(fromMm * kPixelsPerMm);
                 x < static_cast<int>(toMm * kPixelsPerMm); ++x) {
                const QRgb c = line[x];
                ink += qGray(c) < 150 && std::abs(qRed(c) - qBlue(c)) < 30;
            }
        }
        return ink;
    };
    const int with = greyInk(40, 105);
    const int without = greyInk(118, 183);
    EXPECT_GT(with, 200);
    EXPECT_EQ(without, 0);
}

// The passport's left column holds each value whole, wrapped under itself when it is longer than
// the column, and nothing of it runs into the right column: measured by the rows of the painted
// page that hold ink in the left column, and by the blank gutter between the columns.
TEST_F(ReportTest, PassportValuesWrapWithinTheirColumn) {
    static constexpr double kPixelsPerMm = 8;
    const auto inkRowsInLeftColumn = [&](const NightReport& report, const char* picture) {
        QImage page(static_cast<int>(kReportPageWidthMm * kPixelsPerMm),
                    static_cast<int>(kReportPageHeightMm * kPixelsPerMm), QImage::Format_RGB32);
        // Text in points takes as many pixels as on paper.
        page.setDotsPerMeterX(static_cast<int>(kPixelsPerMm * 1000));
        page.setDotsPerMeterY(static_cast<int>(kPixelsPerMm * 1000));
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            paintNightReport(painter, kPixelsPerMm, report);
        }
        page.save(QString::fromStdString((scratchDir("report") / picture).string()));
        const auto px = [](double mm) { return static_cast<int>(mm * kPixelsPerMm); };
        const auto inkIn = [&](int y, double fromMm, double toMm) {
            const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            for (int x = px(fromMm); x < px(toMm); ++x) {
                if (qGray(line[x]) < 128) {
                    return true;
                }
            }
            return false;
        };
        // The passport lies between 24 and 46 mm from the page's top; its left column from the
        // left margin at 18 mm to 105 mm, the gutter to the right column at 107 mm.
        int rows = 0;
        for (int y = px(24); y < px(46); ++y) {
            EXPECT_FALSE(inkIn(y, 105, 107)) << "ink in the gutter " << y / kPixelsPerMm << " mm";
            rows += inkIn(y, 18, 105);
        }
        return rows / kPixelsPerMm;
    };
    // Patient, age and doctor, a line each, also for the widest name.
    const NightReport shown = reportOf(kNight);
    const double lines = inkRowsInLeftColumn(shown, "passport-name.png");
    NightReport wide = shown;
    wide.patientName = "ШАМШУРИНА ЖАННА МИХАЙЛО";
    EXPECT_NEAR(inkRowsInLeftColumn(wide, "passport-wide-name.png"), lines, 1);
    // The note on the hidden name takes a second line.
    const NightReport hidden = reportOf(kProtectedNight, "4321");
    ASSERT_TRUE(hidden.nameHidden);
    EXPECT_GT(inkRowsInLeftColumn(hidden, "passport-hidden.png"), lines + 2);
}

#ifndef _WIN32  // a file-size limit (setrlimit) is POSIX's
TEST_F(ReportTest, AReportThatCannotBeWrittenLeavesTheEarlierFile) {
    const fs::path dir = scratchDir("report");
    const NightReport report = reportOf(kNight);
    const std::vector<std::uint8_t> earlier = {'o', 'l', 'd'};
    writeAll(dir / "night.pdf", earlier);
    try {
        const FileSizeLimit limit(16 * 1024);  // the page takes more
        writeReportPdf((dir / "night.pdf").string(), report);
        ADD_FAILURE() << "the report was written";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), (dir / "night.pdf").string());
        EXPECT_EQ(std::string(e.what()), "Не удалось сохранить отчёт «" +
                                             (dir / "night.pdf").string() + "»: " + e.reason() +
                                             ".")
            << e.what();
        EXPECT_NE(e.reason().find("размер"), std::string::npos) << e.reason();
    }
    EXPECT_EQ(readAll(dir / "night.pdf"), earlier);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.pdf"});

    // A folder in the file's place is refused like any other save.
    fs::create_directory(dir / "folder.pdf");
    EXPECT_THROW(writeReportPdf((dir / "folder.pdf").string(), report), FileError);
}
#endif

TEST(ReportDefectTest, WhatIsNotAWholeOnePagePdf) {
    const auto bytes = [](const std::string& text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    const std::string page = "%PDF-1.4\n1 0 obj << /Type /Pages >>\n2 0 obj << /Type /Page >>\n";
    EXPECT_EQ(reportDefect(bytes(page + "%%EOF\n")), std::nullopt);
    EXPECT_EQ(reportDefect(bytes(page)), "файл оборван");
    EXPECT_EQ(reportDefect(bytes(page + "%%EOF\n3 0 obj")), "файл оборван");
    EXPECT_EQ(reportDefect(bytes("")), "нет заголовка PDF");
    EXPECT_EQ(reportDefect(bytes(page + "<< /Type /Page >>\n%%EOF")), "страниц 2 вместо одной");
}

}  // namespace
}  // namespace npt
