// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// A recording loaded through the real widgets, and the chart's buttons against its model.
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include "chart/axis_scale.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

const QString kNight = QStringLiteral(NPT_EXAMPLES_DIR "/night.txt");

class LoadedWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        view_->window()->show();
        loadThroughDialog(kNight);
        QApplication::processEvents();
    }
    DiameterChart& chart() { return *view_->chart(); }
};

TEST_F(LoadedWindowTest, ShowsThePassportTheSmoothedCurveInBlueAndTheBatteryVoltage) {
    EXPECT_EQ(view_->text(Control::Name), "Петров Пётр Петрович");
    EXPECT_EQ(view_->text(Control::Old), "47");
    EXPECT_EQ(view_->text(Control::Date), "08.12.26");
    EXPECT_EQ(view_->text(Control::Tscan), "10");
    EXPECT_EQ(view_->text(Control::Ubat), "3,01 В");

    const auto raw = chart().series(0);
    const auto smoothed = chart().series(1);
    EXPECT_FALSE(raw.visible);
    ASSERT_TRUE(smoothed.visible);
    EXPECT_EQ(smoothed.count, 4320u);
    EXPECT_EQ(smoothed.colour.rgb(), QColor(0, 0, 255).rgb());
    EXPECT_NEAR(smoothed.colour.alphaF(), 0.70, 0.01);

    // The axes on round values around the night, and the labels in time of day past midnight.
    const axis_scale::Scale& time = chart().timeScale();
    EXPECT_LE(time.min, form_->chart().dataRange(AxisId::Bottom)->min);
    EXPECT_GE(time.max, form_->chart().dataRange(AxisId::Bottom)->max);
    EXPECT_NEAR(std::fmod(time.min * 24, 0.5), 0, 1e-6);
    EXPECT_TRUE(chart().timeTickTexts().contains("00.00.00"));
    EXPECT_DOUBLE_EQ(chart().diameterScale().min, 25);
    EXPECT_DOUBLE_EQ(chart().diameterScale().max, 40);
    EXPECT_EQ(form_->chart().currentRange(AxisId::Left), (ValueRange{25, 40}));

    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    EXPECT_TRUE(view_->window()->grab().save(NPT_TEST_OUTPUT_DIR "/npt-desk-night.png"));
}

TEST_F(LoadedWindowTest, ZoomAndSmoothingButtonsChangeTheModelAndTheDrawnAxes) {
    const ValueRange before = form_->chart().currentRange(AxisId::Left);
    button(Control::ZoomPlus)->click();
    EXPECT_FALSE(form_->chart().axis(AxisId::Left).automaticMaximum);
    EXPECT_DOUBLE_EQ(chart().diameterScale().max, before.max - 5);
    EXPECT_DOUBLE_EQ(chart().diameterScale().min, before.min);

    const ValueRange night = form_->chart().currentRange(AxisId::Bottom);
    button(Control::Hplus)->click();
    EXPECT_NEAR(chart().timeScale().max, night.max - 0.1, 1e-9);
    button(Control::Hminus)->click();
    button(Control::Hminus)->click();
    EXPECT_NEAR(chart().timeScale().max, night.max + 0.1, 1e-9);

    button(Control::Filter_plus)->click();
    button(Control::Filter_plus)->click();
    EXPECT_EQ(form_->chart().period(), 3);
    EXPECT_EQ(chart().series(1).count, 4318u);
    button(Control::Filter_minus)->click();
    EXPECT_EQ(chart().series(1).count, 4319u);

    button(Control::ZoomReset)->click();
    EXPECT_EQ(form_->chart().period(), 1);
    EXPECT_EQ(chart().series(1).count, 4320u);
    EXPECT_TRUE(form_->chart().axis(AxisId::Left).automaticMaximum);
    EXPECT_DOUBLE_EQ(chart().diameterScale().max, before.max);
    EXPECT_NEAR(chart().timeScale().max, night.max, 1e-9);
}

TEST_F(LoadedWindowTest, RubberBandZoomsTheModelToTheDrawnRectangleAndRightClickUndoesIt) {
    const ValueRange time = form_->chart().currentRange(AxisId::Bottom);
    const ValueRange mm = form_->chart().currentRange(AxisId::Left);
    QWidget* viewport = &chart();
    // From the plot's centre to a point right of and below it.
    const QPoint from = chart().plotArea().center().toPoint();
    const QPoint to = from + QPoint(200, 100);
    auto mouse = [viewport](QEvent::Type type, QPoint at, Qt::MouseButton button) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton);

    ASSERT_TRUE(form_->chart().mouseZoomed());
    const AxisState bottom = form_->chart().axis(AxisId::Bottom);
    const AxisState left = form_->chart().axis(AxisId::Left);
    // The band started at the middle of both ranges and went right and down.
    EXPECT_NEAR(bottom.minimum, (time.min + time.max) / 2, (time.max - time.min) * 0.01);
    EXPECT_GT(bottom.maximum, bottom.minimum);
    EXPECT_NEAR(left.maximum, (mm.min + mm.max) / 2, (mm.max - mm.min) * 0.01);
    EXPECT_LT(left.minimum, left.maximum);
    EXPECT_NEAR(chart().timeScale().min, bottom.minimum, 1e-9);
    EXPECT_NEAR(chart().diameterScale().max, left.maximum, 1e-9);

    mouse(QEvent::MouseButtonPress, from, Qt::RightButton);
    EXPECT_FALSE(form_->chart().mouseZoomed());
    EXPECT_EQ(form_->chart().currentRange(AxisId::Left), mm);
}

TEST_F(LoadedWindowTest, SaveDialogWritesADataFileOrAWorkbookByTheChosenKind) {
    const QString dir = QStringLiteral(NPT_TEST_OUTPUT_DIR "/save-dialog");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    struct Case {
        int filter;  // 0 data file, 1 workbook
        QString typed;
        QString written;
        QByteArray startsWith;
    };
    const Case cases[] = {
        {0, dir + "/data", dir + "/data.txt", QByteArray()},
        {1, dir + "/book", dir + "/book.xlsx", QByteArray("PK")},
    };
    for (const auto& c : cases) {
        whenModal<QFileDialog>([&c](QFileDialog* dialog) {
            auto* kind = dialog->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(kind, nullptr);
            kind->setCurrentIndex(c.filter);
            emit kind->activated(c.filter);  // as when the doctor picks it
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(c.typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        button(Control::SaveFileData)->click();
        QFile file(c.written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.written.toStdString();
        const QByteArray content = file.readAll();
        if (c.startsWith.isEmpty()) {
            EXPECT_EQ(content.size(), 4481);
        } else {
            EXPECT_TRUE(content.startsWith(c.startsWith));
        }
    }
}

// The folder the night was opened from, and a name by the patient and the study date whose
// ending follows the kind chosen.
TEST_F(LoadedWindowTest, SaveDialogOffersTheNightsNameInTheFolderUsedLast) {
    QString folder, offered, asBook;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        folder = dialog->directory().absolutePath();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        offered = name->text();
        auto* kind = dialog->findChild<QComboBox*>("fileTypeCombo");
        kind->setCurrentIndex(1);
        emit kind->activated(1);
        asBook = name->text();
        dialog->reject();
    });
    button(Control::SaveFileData)->click();
    EXPECT_EQ(folder, QDir(NPT_EXAMPLES_DIR).absolutePath());
    EXPECT_EQ(offered.toStdString(), "Петров_П_П_08.12.26.txt");
    EXPECT_EQ(asBook.toStdString(), "Петров_П_П_08.12.26.xlsx");
}

TEST_F(WindowTest, OnAnEmptyChartTheZoomOutButtonsWidenTheRangeOnScreen) {
    view_->window()->show();
    QApplication::processEvents();
    DiameterChart& chart = *view_->chart();
    EXPECT_DOUBLE_EQ(chart.diameterScale().max, 50);
    EXPECT_NEAR(chart.timeScale().max, 34.0 / 24, 1e-12);

    button(Control::ZoomMinus)->click();
    EXPECT_DOUBLE_EQ(chart.diameterScale().min, 0);
    EXPECT_DOUBLE_EQ(chart.diameterScale().max, 55);
    button(Control::Hminus)->click();
    EXPECT_NEAR(chart.timeScale().min, 22.0 / 24, 1e-12);
    EXPECT_NEAR(chart.timeScale().max, 34.0 / 24 + 0.1, 1e-12);
}

TEST_F(WindowTest, EveryKeyInTheWindowIsOfferedToTheWindowFirst) {
    blocksArrive(17);
    ASSERT_EQ(form_->state().blockCounter, 17);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(w(Control::Name), &press);
    EXPECT_EQ(form_->state().blockCounter, 0);
}

TEST_F(WindowTest, AFileTooShortIsReportedAndChangesNothing) {
    const QString shortFile = QStringLiteral(NPT_TEST_OUTPUT_DIR "/short-recording.txt");
    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    {
        QFile file(shortFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4480, '\0'));
    }
    QString shown;
    whenModal<QMessageBox>([&shown](QMessageBox* box) {
        shown = box->text();
        box->accept();
    });
    loadThroughDialog(shortFile);
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(view_->text(Control::Name), "");
    EXPECT_EQ(view_->chart()->series(1).count, 0u);
}

}  // namespace
}  // namespace npt::testing
