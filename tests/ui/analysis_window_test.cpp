// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's analysis in the real window: the line under the chart, the shaded episodes, the
// dialog "Анализ ночи" with its parameters and table, the report saved from it, and printing.
#include <algorithm>

#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QScreen>
#include <QTableWidget>

#include "analysis/analysis_text.h"
#include "recorder/example_night.h"
#include "records/data_file.h"
#include "report/report_pdf.h"
#include "support/scratch.h"
#include "ui/analysis_dialog.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

const QString kNight = QStringLiteral(NPT_EXAMPLES_DIR "/night.txt");

QString labelText(QDialog* dialog, const char* name) {
    auto* label = dialog->findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QString();
}

class AnalysisWindowTest : public WindowTest {
  protected:
    AnalysisDialog& dialog() { return *view_->analysisDialog(); }
    std::size_t bands() { return view_->chart()->episodeBands().size(); }
    // The plot area, inside the axes, in the window's coordinates.
    QRect plotInWindow() {
        DiameterChart* chart = view_->chart();
        return chart->plotArea().toAlignedRect().translated(
            chart->mapTo(view_->window(), QPoint(0, 0)));
    }
};

TEST_F(AnalysisWindowTest, NothingToAnalyseBeforeARecording) {
    view_->window()->show();
    EXPECT_EQ(view_->text(Control::LabelAnalysis), "");
    EXPECT_EQ(bands(), 0u);
    button(Control::ShowAnalysis)->click();
    ASSERT_TRUE(dialog().isVisible());
    EXPECT_FALSE(dialog().isModal());
    EXPECT_TRUE(labelText(&dialog(), "Summary").startsWith("Нет записи для анализа"));
    EXPECT_EQ(dialog().table()->rowCount(), 0);
    EXPECT_FALSE(dialog().saveButton()->isEnabled());
    dialog().close();
}

TEST_F(AnalysisWindowTest, ALoadShadesTheEpisodesAndTheDialogListsThem) {
    view_->window()->show();
    loadThroughDialog(kNight);
    QApplication::processEvents();
    const std::string line = view_->text(Control::LabelAnalysis);
    EXPECT_EQ(line.rfind("Эпизодов: 5 · всего ", 0), 0u) << line;
    EXPECT_EQ(bands(), 5u);

    // The bands are drawn behind the curve: the plot is amber under an episode's middle, away
    // from the curve and the grid, and not where there is none.
    const QImage picture = view_->chart()->grab().toImage();
    const auto& first = view_->chart()->episodeBands()[0];
    const QPointF inside = view_->chart()->mapToPosition((first.from + first.to) / 2, 31);
    const QPointF outside = view_->chart()->mapToPosition(first.from - 0.01, 31);
    const QColor band = picture.pixelColor(inside.toPoint());
    EXPECT_GT(band.red(), band.blue() + 40) << band.name().toStdString();
    const QColor plain = picture.pixelColor(outside.toPoint());
    EXPECT_LT(std::abs(plain.red() - plain.blue()), 20) << plain.name().toStdString();

    // The baseline under the episode is drawn dark and grey across the amber, dashed: some of
    // the pixels along it are.
    const ChartLine& baseline = view_->chart()->baseline();
    ASSERT_EQ(baseline.times.size(), 4320u);
    const std::size_t middle = static_cast<std::size_t>((first.from + first.to) / 2 * 86400 / 10 -
                                                        baseline.times[0] * 86400 / 10);
    const QPointF under =
        view_->chart()->mapToPosition(baseline.times[middle], baseline.mm[middle]);
    int dark = 0;
    for (int dx = -12; dx <= 12; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c = picture.pixelColor(under.toPoint() + QPoint(dx, dy));
            dark += c.lightness() < 150 && std::abs(c.red() - c.blue()) < 40;
        }
    }
    EXPECT_GT(dark, 8);

    button(Control::ShowAnalysis)->click();
    ASSERT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialog().windowTitle(), "Анализ ночи");
    EXPECT_EQ(labelText(&dialog(), "Summary").toStdString(), line);
    EXPECT_EQ(labelText(&dialog(), "Verdict"), "Качество записи: данные пригодны для анализа");
    EXPECT_EQ(labelText(&dialog(), "Span"), "Исследование: с 22:00 до 10:00");
    EXPECT_TRUE(dialog().leftOutBox()->isHidden());
    ASSERT_EQ(dialog().table()->rowCount(), 5);
    const auto rows = episodeRows(form_->state().nightAnalysis->result);
    for (int c = 0; c < dialog().table()->columnCount(); ++c) {
        EXPECT_EQ(dialog().table()->item(0, c)->text().toStdString(), rows[0][c]) << c;
    }
    EXPECT_DOUBLE_EQ(dialog().thresholdField()->value(), 3.0);
    EXPECT_TRUE(dialog().saveButton()->isEnabled());

    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    QApplication::processEvents();
    EXPECT_TRUE(dialog().grab().save(NPT_TEST_OUTPUT_DIR "/analysis-dialog.png"));
    EXPECT_TRUE(view_->window()->grab().save(NPT_TEST_OUTPUT_DIR "/npt-desk-analysis.png"));
    dialog().close();
}

TEST_F(AnalysisWindowTest, WhatTheAnalysisLeftOutIsGreyBehindTheCurve) {
    // Half an hour of a sensor that lay still, between the second and third episodes.
    MemoryImage image = exampleNight("");
    for (std::size_t i = 1850; i < 2030; ++i) {
        image[ImageOffsets::kSamples + i] = 90;
    }
    const auto file = test::scratchDir("ui") / "still.txt";
    test::writeAll(file, dataFileBytes(image));
    view_->window()->show();
    loadThroughDialog(QString::fromStdString(file.string()));
    QApplication::processEvents();
    ASSERT_EQ(view_->chart()->unusableBands().size(), 1u);
    EXPECT_EQ(view_->chart()->episodeBands().size(), 5u);

    // The window as the doctor sees it: the chart alone is transparent where nothing is drawn.
    const QImage picture = view_->window()->grab().toImage();
    picture.save(NPT_TEST_OUTPUT_DIR "/npt-desk-unusable.png");
    const auto& still = view_->chart()->unusableBands()[0];
    const auto at = [&](double day) {
        const QPointF point = view_->chart()->mapToPosition(day, 33);
        return picture.pixelColor(view_->chart()->mapTo(view_->window(), point.toPoint()));
    };
    const QColor grey = at((still.from + still.to) / 2);
    const QColor plain = at(still.to + 0.005);
    EXPECT_LT(std::abs(grey.red() - grey.blue()), 20) << grey.name().toStdString();
    EXPECT_LT(grey.lightness(), plain.lightness() - 20)
        << grey.name().toStdString() << " " << plain.name().toStdString();

    // The dialog lists it with its reason, under the episodes.
    button(Control::ShowAnalysis)->click();
    ASSERT_FALSE(dialog().leftOutBox()->isHidden());
    const auto rows = leftOutRows(form_->state().nightAnalysis->result);
    ASSERT_EQ(rows.size(), 1u);
    QTableWidget* leftOut = dialog().leftOutTable();
    ASSERT_EQ(leftOut->rowCount(), 1);
    const std::string cells[] = {rows[0].from, rows[0].to, rows[0].duration, rows[0].reason};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(leftOut->item(0, c)->text().toStdString(), cells[c]) << c;
    }
    QApplication::processEvents();
    dialog().grab().save(NPT_TEST_OUTPUT_DIR "/analysis-dialog-left-out.png");

    // The next recording without such a stretch leaves no grey behind, nor a list.
    loadThroughDialog(kNight);
    EXPECT_TRUE(view_->chart()->unusableBands().empty());
    EXPECT_TRUE(dialog().leftOutBox()->isHidden());
    EXPECT_EQ(dialog().leftOutTable()->rowCount(), 0);
    dialog().close();
}

TEST_F(AnalysisWindowTest, AShortRecordingIsNoNightAndSaysWhatWasRecorded) {
    // Every second: the recorder's memory holds 72 minutes.
    MemoryImage image = exampleNight("");
    image[ImageOffsets::kPeriod] = 1;
    const auto file = test::scratchDir("ui") / "one-second.txt";
    test::writeAll(file, dataFileBytes(image));
    view_->window()->show();
    loadThroughDialog(QString::fromStdString(file.string()));
    button(Control::ShowAnalysis)->click();
    EXPECT_EQ(dialog().windowTitle(), "Анализ записи");
    EXPECT_EQ(labelText(&dialog(), "Span"), "Исследование: с 22:00 до 23:12");
    EXPECT_FALSE(view_->chart()->baseline().empty());
    QApplication::processEvents();
    view_->window()->grab().save(NPT_TEST_OUTPUT_DIR "/npt-desk-one-second.png");
    dialog().grab().save(NPT_TEST_OUTPUT_DIR "/analysis-dialog-one-second.png");

    loadThroughDialog(kNight);
    EXPECT_EQ(dialog().windowTitle(), "Анализ ночи");
    dialog().close();
}

TEST_F(AnalysisWindowTest, AChangedParameterRedrawsTableLineAndBandsAtOnce) {
    view_->window()->show();
    loadThroughDialog(kNight);
    button(Control::ShowAnalysis)->click();

    // The smallest episode of the example rises 6,2 mm: a threshold of 7 mm leaves four, and
    // full tumescence, which may not lie below the threshold, follows it up.
    dialog().thresholdField()->setValue(7.0);
    EXPECT_EQ(form_->state().analysisParameters.threshold_mm, 7.0);
    EXPECT_EQ(form_->state().analysisParameters.full_threshold_mm, 7.0);
    EXPECT_DOUBLE_EQ(dialog().fullThresholdField()->value(), 7.0);
    EXPECT_EQ(dialog().table()->rowCount(), 4);
    EXPECT_EQ(view_->text(Control::LabelAnalysis).rfind("Эпизодов: 4", 0), 0u);
    EXPECT_EQ(bands(), 4u);
    // Not the defaults, and said so under the chart and beside the parameters.
    const std::string line = view_->text(Control::LabelAnalysis);
    EXPECT_EQ(line.substr(line.find(" · параметры")), " · параметры изменены: порог и ещё 1")
        << line;
    auto* changed = dialog().findChild<QLabel*>("Changed");
    ASSERT_NE(changed, nullptr);
    EXPECT_FALSE(changed->isHidden());
    EXPECT_EQ(changed->text().toStdString(),
              "Изменены; по умолчанию: порог 3,0 мм, время с приростом от 5,0 мм");

    // Minutes in the dialog, seconds in the analysis.
    dialog().minDurationField()->setValue(30);
    EXPECT_EQ(form_->state().analysisParameters.min_duration_s, 1800);
    dialog().mergeGapField()->setValue(0.5);
    EXPECT_EQ(form_->state().analysisParameters.merge_gap_s, 30);

    QApplication::processEvents();
    view_->window()->grab().save(NPT_TEST_OUTPUT_DIR "/npt-desk-parameters-changed.png");
    dialog().grab().save(NPT_TEST_OUTPUT_DIR "/analysis-dialog-parameters-changed.png");

    dialog().findChild<QPushButton*>("Defaults")->click();
    EXPECT_EQ(form_->state().analysisParameters, AnalysisParameters());
    EXPECT_TRUE(changed->isHidden());
    EXPECT_EQ(view_->text(Control::LabelAnalysis).find("параметры"), std::string::npos);
    EXPECT_EQ(dialog().table()->rowCount(), 5);
    EXPECT_DOUBLE_EQ(dialog().minDurationField()->value(), 5.0);
    EXPECT_EQ(bands(), 5u);
    dialog().close();
}

// What the screen shows after each zoom button is what a whole repaint of the window draws: no
// band or episode number of the range shown before stays behind where the night has none now.
TEST_F(AnalysisWindowTest, AfterEveryZoomButtonThePlotOnScreenIsTheWholeNightRedrawn) {
    QWidget* window = view_->window();
    window->show();
    loadThroughDialog(kNight);
    ASSERT_EQ(bands(), 5u);
    const auto settle = [] {
        for (int round = 0; round < 5; ++round) {
            QApplication::processEvents();
        }
    };
    settle();
    struct Step {
        Control button;
        const char* name;
    };
    const Step steps[] = {{Control::Hplus, "H+"},        {Control::Hminus, "H-"},
                          {Control::Hminus, "H- again"}, {Control::ZoomPlus, "+"},
                          {Control::ZoomMinus, "-"},     {Control::ZoomReset, "0"}};
    for (const Step& step : steps) {
        button(step.button)->click();
        settle();
        // The offscreen screen shows the window's backing store, painted only where the
        // window asked for it; the window's grab paints everything anew.
        const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
        const QImage whole = window->grab().toImage();
        const QRect plot = plotInWindow().adjusted(2, 2, -2, -2);
        int stale = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            for (int x = plot.left(); x <= plot.right(); ++x) {
                const QColor a = shown.pixelColor(x, y);
                const QColor b = whole.pixelColor(x, y);
                stale += std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                   std::abs(a.blue() - b.blue())}) > 40;
            }
        }
        EXPECT_EQ(stale, 0) << "after " << step.name;
        if (stale != 0) {
            shown.save(QString(NPT_TEST_OUTPUT_DIR "/stale-after-%1.png").arg(step.name));
        }
    }
}

TEST_F(AnalysisWindowTest, TheLongestLinesFitUnderTheChart) {
    // A long night, partly unusable, analysed with every parameter changed; and bytes that are
    // no recording, with the longest reason.
    NightAnalysis night;
    night.quality.usability = Usability::PartlyUsable;
    night.summary = {.valid_s = 43200,
                     .episodes = 12,
                     .total_s = 10 * 3600 + 55 * 60,
                     .longest_s = 3600,
                     .mean_s = 3275,
                     .max_increase_mm = 14.6,
                     .area_mm_min = 9999.9,
                     .per_hour = 1.0};
    night.parameters = {4.5, 10 * 60, 0, 6.5};
    NightAnalysis notes;
    notes.quality.usability = Usability::NotRecording;
    notes.quality.verdict =
        "данные не похожи на запись датчика: в паспорте задержка запуска "
        "65534 мин (бывает от 0 до 1440 мин)";
    view_->window()->show();
    auto* line = qobject_cast<QLabel*>(w(Control::LabelAnalysis));
    ASSERT_NE(line, nullptr);
    for (const NightAnalysis& a : {night, notes}) {
        const std::string text = summaryLine(a);
        SCOPED_TRACE(text);
        view_->setText(Control::LabelAnalysis, text);
        EXPECT_LE(line->heightForWidth(line->width()), line->height());
    }
}

TEST_F(AnalysisWindowTest, TheReportIsSavedFromTheDialog) {
    const auto dir = test::scratchDir("ui");
    view_->window()->show();
    loadThroughDialog(kNight);
    button(Control::ShowAnalysis)->click();
    const QString pdf = QString::fromStdString((dir / "night").string());  // ".pdf" is added
    whenModal<QFileDialog>([pdf](QFileDialog* files) {
        auto* name = files->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(pdf);
        static_cast<QDialog*>(files)->accept();
    });
    dialog().saveButton()->click();
    const auto bytes = test::readAll(dir / "night.pdf");
    EXPECT_EQ(reportDefect(bytes), std::nullopt);
    dialog().close();
}

TEST_F(AnalysisWindowTest, BytesThatAreNoRecordingAreSaidToBeOneAndGiveNoReport) {
    MemoryImage image = exampleNight("");
    image[MemoryImage::kSize - MemoryImage::kBlockSize] = 0;  // no closing block: a read cut short
    const auto file = test::scratchDir("ui") / "cut.txt";
    test::writeAll(file, dataFileBytes(image));
    view_->window()->show();
    loadThroughDialog(QString::fromStdString(file.string()));
    QApplication::processEvents();
    const std::string line =
        "Анализ невозможен: данные не похожи на запись датчика: в конце нет завершающего блока "
        "чтения";
    EXPECT_EQ(view_->text(Control::LabelAnalysis), line);
    EXPECT_EQ(bands(), 0u);
    EXPECT_TRUE(view_->chart()->unusableBands().empty());
    EXPECT_TRUE(view_->chart()->baseline().empty());
    view_->window()->grab().save(NPT_TEST_OUTPUT_DIR "/npt-desk-not-a-recording.png");

    button(Control::ShowAnalysis)->click();
    EXPECT_EQ(labelText(&dialog(), "Summary").toStdString(), line);
    EXPECT_EQ(labelText(&dialog(), "Verdict").toStdString(),
              "Качество записи: данные не похожи на запись датчика: в конце нет завершающего "
              "блока чтения");
    EXPECT_FALSE(labelText(&dialog(), "Facts").contains("Записано"));
    EXPECT_EQ(dialog().table()->rowCount(), 0);
    QString said;
    whenModal<QMessageBox>([&said](QMessageBox* box) {
        said = box->text();
        box->accept();
    });
    dialog().saveButton()->click();
    EXPECT_EQ(said.toStdString(),
              "Отчёт не составлен: данные не похожи на запись датчика (в конце нет завершающего "
              "блока чтения).");
    dialog().close();
}

TEST_F(AnalysisWindowTest, PrintingKeepsTheLineOnPaperAndTheButtonOff) {
    view_->window()->show();
    loadThroughDialog(kNight);
    const QRect onScreen = w(Control::LabelAnalysis)->geometry();
    bool buttonShown = true;
    QRect lineOnPaper;
    QRect chartOnPaper;
    view_->choosePrinter = [&](QPrinter& printer) {
        buttonShown = view_->visible(Control::ShowAnalysis);
        lineOnPaper = w(Control::LabelAnalysis)->geometry();
        chartOnPaper = w(Control::ChartGraf)->geometry();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QStringLiteral(NPT_TEST_OUTPUT_DIR "/printout-analysis.pdf"));
        return true;
    };
    button(Control::PrintGraf)->click();
    EXPECT_FALSE(buttonShown);
    EXPECT_TRUE(view_->visible(Control::LabelAnalysis));
    // Between the patient fields and the stretched chart, clear of both.
    EXPECT_GT(lineOnPaper.top(), w(Control::Name)->geometry().bottom());
    EXPECT_LT(lineOnPaper.bottom(), chartOnPaper.top());
    EXPECT_EQ(w(Control::LabelAnalysis)->geometry(), onScreen);
    EXPECT_TRUE(view_->visible(Control::ShowAnalysis));
}

TEST_F(AnalysisWindowTest, TheDoctorsReviewFromTheDialogChangesTheNightShown) {
    view_->window()->show();
    loadThroughDialog(kNight);
    button(Control::ShowAnalysis)->click();
    QTableWidget* table = dialog().table();
    const int found = table->rowCount();
    ASSERT_GE(found, 3);
    const std::size_t bandsBefore = bands();
    const QString lineBefore = QString::fromStdString(view_->text(Control::LabelAnalysis));

    // A row picked: its episode outlined on the chart; nothing picked, nothing to reject.
    EXPECT_FALSE(dialog().rejectButton()->isEnabled());
    table->selectRow(1);
    ASSERT_TRUE(view_->chart()->highlight().has_value());
    EXPECT_EQ(*view_->chart()->highlight(), view_->chart()->episodeBands()[1]);
    ASSERT_TRUE(dialog().rejectButton()->isEnabled());
    dialog().rejectButton()->click();
    // Out of the shading and the line; listed last in grey, and the change said.
    EXPECT_EQ(bands(), bandsBefore - 1);
    EXPECT_NE(QString::fromStdString(view_->text(Control::LabelAnalysis)), lineBefore);
    EXPECT_EQ(table->rowCount(), found);
    EXPECT_EQ(table->item(found - 1, 0)->text(), QString::fromUtf8("артеф."));
    EXPECT_TRUE(dialog().reviewList()->text().contains(QString::fromUtf8("отклонён как артефакт")));
    // The rejected row stays picked and can be accepted again.
    ASSERT_TRUE(dialog().acceptButton()->isEnabled());
    dialog().acceptButton()->click();
    EXPECT_EQ(bands(), bandsBefore);

    // An episode added over a quiet stretch the doctor gives.
    dialog().askStretch = [](const QString&, std::pair<int, int>) {
        return std::optional<std::pair<int, int>>({60, 20 * 60});
    };
    table->clearSelection();
    dialog().addButton()->click();
    EXPECT_EQ(table->rowCount(), found + 1);
    EXPECT_TRUE(table->item(0, 0)->text().endsWith(QString::fromUtf8("доб.")));
    EXPECT_EQ(bands(), bandsBefore + 1);
    dialog().close();
}

}  // namespace
}  // namespace npt::testing
