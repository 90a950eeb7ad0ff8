// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// A patient's study in its window: three nights one under another, the best one marked, the
// conclusion kept in the archive and the study report written from it; and its picture.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>

#include "archive/night_entry.h"
#include "archive/night_maker.h"
#include "support/scratch.h"
#include "ui/study_window.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

using test::NightSpec;

TEST(StudyWindowTest, ThreeNightsTheBestMarkedAndTheConclusionKept) {
    ensureApplication();
    const auto dir = test::scratchDir("ui");
    const std::string location = (dir / "archive.sqlite").string();
    NightFiling filing(location);
    archive::Archive& a = *filing.archive();
    // The second night has no episodes in its first half: a shorter total than the others.
    std::vector<archive::Id> ids;
    for (int day = 8; day <= 10; ++day) {
        auto bytes = test::nightFile(NightSpec().named("Сидоров Семён").on(day));
        if (day == 9) {
            for (std::size_t i = 128; i < 128 + 2160; ++i) {
                bytes[i] = 80;
            }
        }
        ids.push_back(a.add(archive::nightEntryOf(bytes, std::nullopt), archive::NightSource::File,
                            "night.txt", AnalysisParameters{})
                          .nightId);
    }
    const archive::Id study = a.night(ids[0])->studyId.value();
    StudyWindow window(nullptr, filing, study, "Иванова А. А.");
    window.show();
    QApplication::processEvents();

    const auto labels = window.nightLabels();
    ASSERT_EQ(labels.size(), 3U);
    int best = 0;
    for (QLabel* label : labels) {
        best += label->text().contains(QString::fromUtf8("лучшая ночь")) ? 1 : 0;
    }
    EXPECT_EQ(best, 1);
    EXPECT_FALSE(labels[1]->text().contains(QString::fromUtf8("лучшая ночь")));
    EXPECT_TRUE(labels[0]->text().contains(QString::fromUtf8("08.12.26")));
    EXPECT_EQ(window.doctorField()->text(), QString::fromUtf8("Иванова А. А."));

    const QImage picture = window.grab().toImage();
    picture.save(QString::fromStdString((dir / "study-window.png").string()));

    window.conclusionField()->setPlainText(QString::fromUtf8("Ночные эрекции сохранены."));
    window.saveConclusionButton()->click();
    const auto record = a.patient(*a.night(ids[0])->patientId);
    EXPECT_EQ(record->studies.at(0).conclusion,
              std::optional<std::string>("Ночные эрекции сохранены."));
    EXPECT_EQ(record->studies.at(0).doctor, std::optional<std::string>("Иванова А. А."));

    QString pdf = QString::fromStdString((dir / "study.pdf").string());
    window.chooseReportFile = [&pdf](const QString& proposed) {
        EXPECT_TRUE(proposed.startsWith(QString::fromUtf8("Исследование_Сидоров_Семён_08.12.26")));
        return pdf;
    };
    window.reportButton()->click();
    EXPECT_TRUE(test::fs::exists(pdf.toStdString()));
    EXPECT_GT(test::fs::file_size(pdf.toStdString()), 1000U);

    // Printed on one page, here into a file as "печать в файл" would; "Отмена" prints nothing.
    const std::string printed = (dir / "printed.pdf").string();
    const auto printInto = [](const std::string& path, bool accepted) {
        return [path, accepted](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(path));
            return accepted;
        };
    };
    window.choosePrinter = printInto(printed, true);
    window.printButton()->click();
    const auto bytes = test::readAll(printed);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("/Count 1"), std::string::npos) << "one page";
    const std::string cancelled = (dir / "cancelled.pdf").string();
    window.choosePrinter = printInto(cancelled, false);
    window.printButton()->click();
    EXPECT_FALSE(test::fs::exists(cancelled));
}

}  // namespace
}  // namespace npt::testing
