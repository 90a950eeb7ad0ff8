// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The patients window over an archive in a scratch folder: the search as typed, a patient's
// studies and nights, a night opened into the main window, moved, deleted after the question,
// a patient's details, a folder imported, and an archive that cannot be opened.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/night_filing.h"
#include "archive/night_maker.h"
#include "support/scratch.h"
#include "ui/archive_window.h"
#include "ui/study_window.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

using test::nightFile;
using test::NightSpec;

constexpr const char* kIvanov = "Иванов Иван Иванович";
constexpr const char* kPetrov = "Петров Пётр Петрович";

QString qs(const char* text) {
    return QString::fromUtf8(text);
}

class ArchiveWindowTest : public WindowTest {
  protected:
    ArchiveWindowTest() {
        form_->setNightFiling(&filing_);
        view_->setNightFiling(&filing_);
    }

    archive::Id add(const NightSpec& spec) {
        return filing_.archive()
            ->add(archive::nightEntryOf(nightFile(spec), std::nullopt), archive::NightSource::File,
                  "n.txt", AnalysisParameters{})
            .nightId;
    }
    // Two nights of Иванов, one of Петров, one protected and so unidentified.
    void fillArchive() {
        ivanovFirst_ = add(NightSpec().named(kIvanov).on(9));
        add(NightSpec().named(kIvanov).on(11));
        petrov_ = add(NightSpec().named(kPetrov).on(15, 11));
        add(NightSpec().named("Сидоров С. С.").protectedBy("1234").on(20, 10));
    }

    ArchiveWindow& openWindow() {
        view_->window()->show();
        button(Control::ShowArchive)->click();
        ArchiveWindow* window = view_->archiveWindow();
        EXPECT_NE(window, nullptr);
        QApplication::processEvents();
        return *window;
    }

    // The patients list's cell, as shown.
    static QString cell(ArchiveWindow& window, int row, int column) {
        return window.patientList()->model()->index(row, column).data().toString();
    }
    static QStringList names(ArchiveWindow& window) {
        QStringList listed;
        for (int row = 0; row < window.patientList()->model()->rowCount(); ++row) {
            listed << cell(window, row, 0);
        }
        return listed;
    }
    static int rowOf(ArchiveWindow& window, const char* name) {
        const auto row = static_cast<int>(names(window).indexOf(qs(name)));
        EXPECT_GE(row, 0) << name;
        return row;
    }
    static void select(ArchiveWindow& window, const char* name) {
        QAbstractItemModel* model = window.patientList()->model();
        window.patientList()->setCurrentIndex(model->index(rowOf(window, name), 0));
    }
    // The night of that date under the selected patient.
    static QTreeWidgetItem* night(ArchiveWindow& window, const char* date) {
        for (QTreeWidgetItemIterator it(window.nightTree()); *it != nullptr; ++it) {
            if ((*it)->parent() != nullptr && (*it)->text(0) == qs(date)) {
                return *it;
            }
        }
        ADD_FAILURE() << "no night " << date;
        return nullptr;
    }
    static void selectNight(ArchiveWindow& window, const char* date) {
        QTreeWidgetItem* item = night(window, date);
        ASSERT_NE(item, nullptr);
        window.nightTree()->setCurrentItem(item);
    }

    std::string location_ = (test::scratchDir("ui") / "archive.sqlite").string();
    NightFiling filing_{location_};
    archive::Id ivanovFirst_ = 0;
    archive::Id petrov_ = 0;
};

TEST_F(ArchiveWindowTest, TheSearchFiltersAsTypedAndAPatientShowsStudiesAndNights) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.windowTitle(), qs("Архив пациентов"));
    EXPECT_EQ(names(window), QStringList({qs("Не опознаны"), qs(kIvanov), qs(kPetrov)}));
    EXPECT_EQ(window.nightTree()->topLevelItemCount(), 0);
    EXPECT_FALSE(window.openButton()->isEnabled());
    EXPECT_FALSE(window.detailsButton()->isEnabled());

    // Typed key by key: the list follows every keystroke.
    window.searchField()->setFocus();
    QTest::keyClicks(window.searchField(), "15.1");
    EXPECT_EQ(names(window), QStringList({qs(kPetrov)}));
    window.searchField()->setText(qs("иван"));
    EXPECT_EQ(names(window), QStringList({qs(kIvanov)}));
    window.searchField()->clear();
    ASSERT_EQ(names(window).size(), 3);
    const int ivanov = rowOf(window, kIvanov);
    EXPECT_EQ(cell(window, ivanov, 3), "2");
    EXPECT_EQ(cell(window, ivanov, 4), "11.12.26");

    select(window, kIvanov);
    EXPECT_TRUE(window.detailsButton()->isEnabled());
    ASSERT_EQ(window.nightTree()->topLevelItemCount(), 1);
    const QTreeWidgetItem* study = window.nightTree()->topLevelItem(0);
    EXPECT_EQ(study->text(0), qs("Исследование 09.12.26 – 11.12.26, ночей: 2"));
    ASSERT_EQ(study->childCount(), 2);
    const QTreeWidgetItem* first = study->child(0);
    const QStringList cells = {first->text(0), first->text(2), first->text(3), first->text(5)};
    EXPECT_EQ(cells, QStringList({"09.12.26", qs("10 с"), "5", qs("файл n.txt")}));
    EXPECT_TRUE(first->text(4).contains(qs("мин"))) << first->text(4).toStdString();
    selectNight(window, "11.12.26");
    EXPECT_TRUE(window.openButton()->isEnabled());
    EXPECT_TRUE(window.deleteButton()->isEnabled());

    // The patient stays selected, with the nights, while a search still finds it.
    window.searchField()->setText(qs("11.12"));
    EXPECT_EQ(names(window), QStringList({qs(kIvanov)}));
    EXPECT_EQ(window.nightTree()->topLevelItemCount(), 1);
    window.searchField()->clear();

    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(NPT_TEST_OUTPUT_DIR "/archive-window.png"));
    window.close();
}

TEST_F(ArchiveWindowTest, OpenLoadsTheNightIntoTheMainWindowByButtonOrDoubleClick) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    select(window, kPetrov);
    selectNight(window, "15.11.26");
    window.openButton()->click();
    EXPECT_EQ(view_->text(Control::Name), kPetrov);
    EXPECT_EQ(view_->text(Control::Date), "15.11.26");
    EXPECT_EQ(form_->filedNight(), petrov_);

    select(window, kIvanov);
    QTreeWidgetItem* item = night(window, "09.12.26");
    ASSERT_NE(item, nullptr);
    QApplication::processEvents();  // the tree lays its rows out
    const QRect rect = window.nightTree()->visualItemRect(item);
    ASSERT_FALSE(rect.isEmpty());
    // A double click as the mouse gives it: a click, then the second press.
    QTest::mouseClick(window.nightTree()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(window.nightTree()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(view_->text(Control::Name), kIvanov);
    EXPECT_EQ(view_->text(Control::Date), "09.12.26");
    EXPECT_EQ(form_->filedNight(), ivanovFirst_);
    window.close();
}

TEST_F(ArchiveWindowTest, AStudyOpensBesideWithItsNightsAndOpensOneIntoTheMainWindow) {
    fillArchive();
    view_->setText(Control::VName, "Иванова А. А.");
    ArchiveWindow& window = openWindow();
    select(window, kIvanov);
    EXPECT_FALSE(window.studyButton()->isEnabled());
    selectNight(window, "11.12.26");
    ASSERT_TRUE(window.studyButton()->isEnabled());
    window.studyButton()->click();
    QApplication::processEvents();
    auto* study = window.findChild<StudyWindow*>();
    ASSERT_NE(study, nullptr);
    EXPECT_TRUE(study->isVisible());
    EXPECT_EQ(study->nightLabels().size(), 2U);
    EXPECT_EQ(study->doctorField()->text(), qs("Иванова А. А."));
    // A night of the study into the main window.
    const auto open = study->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    const auto first = std::find_if(open.begin(), open.end(),
                                    [](QPushButton* b) { return b->text() == qs("Открыть"); });
    ASSERT_NE(first, open.end());
    (*first)->click();
    EXPECT_EQ(view_->text(Control::Date), "09.12.26");
    EXPECT_EQ(form_->filedNight(), ivanovFirst_);
    study->close();
    // An unidentified night has no study.
    select(window, "Не опознаны");
    selectNight(window, "20.10.26");
    EXPECT_FALSE(window.studyButton()->isEnabled());
    window.close();
}

TEST_F(ArchiveWindowTest, AnUnidentifiedNightOpenedWithItsPasswordJoinsItsPatient) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    select(window, "Не опознаны");
    selectNight(window, "20.10.26");
    whenModal<PasswordDialog>([](PasswordDialog* dialog) {
        dialog->field()->setText("1234");
        dialog->button()->click();
    });
    window.openButton()->click();
    EXPECT_EQ(view_->text(Control::Name), "Сидоров С. С.");
    EXPECT_EQ(names(window), QStringList({qs(kIvanov), qs(kPetrov), qs("Сидоров С. С.")}));
    window.close();
}

TEST_F(ArchiveWindowTest, ANightIsDeletedOnlyWhenTheQuestionIsAnsweredYes) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    select(window, kIvanov);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "yes" : "no");
        selectNight(window, "09.12.26");
        QString asked;
        whenModal<QMessageBox>([&asked, answer](QMessageBox* box) {
            asked = box->text();
            box->button(answer)->click();
        });
        window.deleteButton()->click();
        EXPECT_EQ(asked, qs("Удалить ночь 09.12.26 пациента Иванов Иван Иванович из архива? "
                            "Это нельзя отменить."));
        const bool deleted = answer == QMessageBox::Yes;
        EXPECT_EQ(filing_.archive()->nights().size(), deleted ? 3U : 4U);
        ASSERT_EQ(window.nightTree()->topLevelItemCount(), 1);
        EXPECT_EQ(window.nightTree()->topLevelItem(0)->childCount(), deleted ? 1 : 2);
    }
    window.close();
}

TEST_F(ArchiveWindowTest, ANightMovesToANewPatientWhoseDetailsAreThenEdited) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    select(window, kPetrov);
    selectNight(window, "15.11.26");
    whenModal<QDialog>([](QDialog* dialog) {
        ASSERT_EQ(dialog->objectName(), "MoveDialog");
        // The night's own patient is chosen to start with.
        auto* list = dialog->findChild<QListWidget*>("MovePatients");
        ASSERT_NE(list->currentItem(), nullptr);
        EXPECT_TRUE(list->currentItem()->text().startsWith(qs(kPetrov)));
        // Typing the name chooses a new patient.
        auto* name = dialog->findChild<QLineEdit*>("NewPatientName");
        QTest::keyClicks(name, "N");
        EXPECT_TRUE(dialog->findChild<QRadioButton*>("ToNewPatient")->isChecked());
        name->setText(qs("Новиков Н. Н."));
        EXPECT_TRUE(dialog->grab().save(NPT_TEST_OUTPUT_DIR "/archive-move-dialog.png"));
        dialog->findChild<QPushButton*>("MoveAccept")->click();
    });
    window.moveButton()->click();
    EXPECT_EQ(names(window),
              QStringList({qs("Не опознаны"), qs(kIvanov), qs("Новиков Н. Н."), qs(kPetrov)}));

    select(window, "Новиков Н. Н.");
    EXPECT_EQ(window.nightTree()->topLevelItem(0)->child(0)->text(0), "15.11.26");
    whenModal<QDialog>([](QDialog* dialog) {
        ASSERT_EQ(dialog->objectName(), "PatientDialog");
        dialog->findChild<QLineEdit*>("PatientNumber")->setText(qs("К-17"));
        dialog->findChild<QLineEdit*>("BirthYear")->setText("1961");
        EXPECT_TRUE(dialog->grab().save(NPT_TEST_OUTPUT_DIR "/archive-patient-dialog.png"));
        dialog->accept();
    });
    window.detailsButton()->click();
    EXPECT_EQ(cell(window, rowOf(window, "Новиков Н. Н."), 2), qs("К-17"));
    window.searchField()->setText(qs("к-17"));
    EXPECT_EQ(names(window), QStringList({qs("Новиков Н. Н.")}));
    window.close();
}

TEST_F(ArchiveWindowTest, AFolderIsImportedWithProgressAndOneSummary) {
    const auto folder = test::scratchDir("ui") / "import";
    std::filesystem::create_directories(folder / "sub");
    test::writeAll(folder / "a.txt", nightFile(NightSpec().named(kIvanov)));
    test::writeAll(folder / "sub" / "b.txt", nightFile(NightSpec().named(kPetrov)));
    test::writeAll(folder / "sub" / "short.txt", std::vector<std::uint8_t>(10, 0x31));
    ArchiveWindow& window = openWindow();
    EXPECT_TRUE(names(window).isEmpty());

    whenModal<QFileDialog>([&folder](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(folder.string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    QString summary;
    whenModal<QMessageBox>([&summary](QMessageBox* box) {
        summary = box->text();
        EXPECT_TRUE(box->grab().save(NPT_TEST_OUTPUT_DIR "/archive-import-summary.png"));
        box->accept();
    });
    window.importButton()->click();
    EXPECT_TRUE(summary.contains(qs("Добавлено ночей: 2, уже были в архиве: 0, не добавлено: 1.")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(qs("sub/short.txt — "))) << summary.toStdString();
    EXPECT_EQ(names(window), QStringList({qs(kIvanov), qs(kPetrov)}));
    window.close();
}

TEST_F(ArchiveWindowTest, ANightAndAStudysNightsGoToEdfFiles) {
    fillArchive();
    ArchiveWindow& window = openWindow();
    select(window, "Не опознаны");
    selectNight(window, "20.10.26");
    EXPECT_TRUE(window.edfButton()->isEnabled());
    EXPECT_FALSE(window.edfStudyAction()->isEnabled()) << "an unidentified night has no study";

    const auto folder = test::scratchDir("ui") / "edf";
    std::filesystem::create_directories(folder);
    const auto answer = [](const std::filesystem::path& path) {
        whenModal<QFileDialog>([path](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(path.string()));
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    // The unidentified night: its name, hidden, stays out of the file.
    answer(folder / "hidden.edf");
    window.edfNightAction()->trigger();
    const auto hidden = test::readAll(folder / "hidden.edf");
    const std::string hiddenFile(hidden.begin(), hidden.end());
    EXPECT_EQ(hiddenFile.substr(8, 8), "X M X X ");
    EXPECT_EQ(hiddenFile.find("Sidorov"), std::string::npos);

    select(window, kIvanov);
    selectNight(window, "09.12.26");
    EXPECT_TRUE(window.edfStudyAction()->isEnabled());
    answer(folder);
    QString summary;
    whenModal<QMessageBox>([&summary](QMessageBox* box) {
        summary = box->text();
        box->accept();
    });
    window.edfStudyAction()->trigger();
    EXPECT_TRUE(summary.startsWith(qs("Ночей исследования записано в EDF+: 2.")))
        << summary.toStdString();
    const auto first =
        test::readAll(folder / ("Ночь " + std::to_string(ivanovFirst_) + " от 09.12.26.edf"));
    const std::string firstFile(first.begin(), first.end());
    EXPECT_EQ(firstFile.substr(8, 27), "X M X Ivanov_Ivan_Ivanovich");
    EXPECT_EQ(firstFile.substr(88, 31), "Startdate 09-DEC-2026 X X npt-d");
    window.close();
}

TEST_F(ArchiveWindowTest, AnArchiveThatCannotBeOpenedIsSaidInPlaceOfTheLists) {
    const auto folder = test::scratchDir("ui") / "not-an-archive";
    std::filesystem::create_directories(folder);
    NightFiling unreachable(folder.string());
    view_->setNightFiling(&unreachable);
    form_->setNightFiling(&unreachable);
    ArchiveWindow& window = openWindow();
    ASSERT_TRUE(unreachable.lastFailure());
    EXPECT_TRUE(window.failureText()->isVisible());
    EXPECT_TRUE(
        window.failureText()->text().contains(QString::fromStdString(*unreachable.lastFailure())));
    EXPECT_FALSE(window.patientList()->isVisible());
    EXPECT_FALSE(window.searchField()->isEnabled());
    EXPECT_FALSE(window.importButton()->isEnabled());
    EXPECT_TRUE(window.refreshButton()->isEnabled());
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(NPT_TEST_OUTPUT_DIR "/archive-window-unreachable.png"));

    // The main window goes on: a file still loads, and says that it is not filed.
    QString notFiled;
    whenModal<QMessageBox>([&notFiled](QMessageBox* question) {
        whenModal<QMessageBox>([&notFiled](QMessageBox* warning) {
            notFiled = warning->text();
            warning->accept();
        });
        question->button(QMessageBox::Yes)->click();
    });
    loadThroughDialog(QStringLiteral(NPT_EXAMPLES_DIR "/night.txt"));
    EXPECT_FALSE(view_->text(Control::Name).empty());
    EXPECT_TRUE(notFiled.startsWith(qs("Ночь не сохранена в архиве пациентов.")))
        << notFiled.toStdString();
    window.close();
}

}  // namespace
}  // namespace npt::testing
