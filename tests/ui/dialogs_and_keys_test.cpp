// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The password dialog, the age field's keys and printing, through the real widgets.
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTest>

#include "npt_version.h"
#include "recorder/cp1251.h"
#include "recorder/memory_image.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

void pressAndRelease(QWidget* target, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

TEST_F(WindowTest, AgeFieldFiltersAndNormalisesWhatIsTyped) {
    struct Case {
        const char* typed;  // '\b' is Backspace
        const char* shown;
    };
    const Case cases[] = {
        {"07", "7"},   {"10", "10"}, {"00", "00"},  {"4a", "4"},  {" 5", "5"},
        {".", "0,"},   {"ю", "0,"},  {"Б", "0,"},   {"1/", "1,"}, {"1,,", "1,"},
        {"47\b", "4"}, {"\b", ""},   {"123", "12"},
    };
    QLineEdit* old = edit(Control::Old);
    for (const auto& c : cases) {
        old->clear();
        old->setFocus();
        for (QChar ch : QString::fromUtf8(c.typed)) {
            if (ch == '\b') {
                pressAndRelease(old, Qt::Key_Backspace, "\b");
            } else {
                pressAndRelease(old, Qt::Key_unknown, ch);
            }
        }
        EXPECT_EQ(old->text().toStdString(), c.shown) << "typed \"" << c.typed << "\"";
        EXPECT_EQ(old->cursorPosition(), old->text().size()) << "typed \"" << c.typed << "\"";
    }
    // Delete edits the field as usual; X11 and Wayland send it with the character DEL.
    old->setText("47");
    old->setCursorPosition(0);
    pressAndRelease(old, Qt::Key_Delete, QString(QChar(0x7F)));
    EXPECT_EQ(old->text(), "7");
}

// The example night with another age and name in its passport, and another battery value.
QString examplePatchedTo(std::uint8_t age, const std::string& name, std::uint16_t battery = 3420) {
    QFile example(QStringLiteral(NPT_EXAMPLES_DIR "/night.txt"));
    EXPECT_TRUE(example.open(QIODevice::ReadOnly));
    QByteArray bytes = example.readAll();
    bytes[ImageOffsets::kAge] = static_cast<char>(age);
    bytes[ImageOffsets::kBattery] = static_cast<char>(battery >> 8);
    bytes[ImageOffsets::kBattery + 1] = static_cast<char>(battery & 0xFF);
    const auto encoded = cp1251::encode(name).value();
    for (std::size_t i = 0; i < ImageOffsets::kNameLength; ++i) {
        bytes[static_cast<qsizetype>(ImageOffsets::kName + i)] =
            static_cast<char>(i < encoded.size() ? encoded[i] : 0);
    }
    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    QString path = QStringLiteral(NPT_TEST_OUTPUT_DIR "/age-%1.txt").arg(static_cast<int>(age));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return path;
}

// Whether the field shows its first and its last character at once: its left edge is nearest
// the caret position before the first character, its right edge the one after the last.
bool showsWholeText(QLineEdit* field) {
    field->end(false);
    field->grab();  // the field scrolls its text when it paints
    const int middle = field->height() / 2;
    return field->cursorPositionAt(QPoint(0, middle)) == 0 &&
           field->cursorPositionAt(QPoint(field->width() - 1, middle)) == field->text().size();
}

TEST_F(WindowTest, TextsSetByTheProgramShowWholeAndOnlyTypingIsLimited) {
    view_->window()->show();
    const std::string longName = "Константинопольская Яна";  // 23 letters, the whole field
    for (std::uint8_t age : {47, 100, 255}) {
        SCOPED_TRACE(static_cast<int>(age));
        loadThroughDialog(examplePatchedTo(age, longName));
        EXPECT_EQ(view_->text(Control::Old), std::to_string(age));
        EXPECT_EQ(view_->text(Control::Name), longName);
        for (Control c : {Control::Old, Control::Name}) {
            EXPECT_TRUE(showsWholeText(edit(c))) << controlName(c);
        }
        // The age field grows into the strip's free end, never past it.
        EXPECT_LE(w(Control::Old)->geometry().right(), w(Control::Shape1)->geometry().right());
        if (age < 100) {
            EXPECT_EQ(w(Control::Old)->width(), 16);
        }
    }
    // A digit more is refused; Backspace takes the age within the limit, which holds again.
    QLineEdit* old = edit(Control::Old);
    old->setFocus();
    old->end(false);
    pressAndRelease(old, Qt::Key_unknown, "7");
    EXPECT_EQ(old->text(), "255");
    pressAndRelease(old, Qt::Key_Backspace, "\b");
    pressAndRelease(old, Qt::Key_unknown, "7");
    EXPECT_EQ(old->text(), "25");
    QLineEdit* name = edit(Control::Name);
    name->setFocus();
    name->end(false);
    pressAndRelease(name, Qt::Key_unknown, "а");
    EXPECT_EQ(view_->text(Control::Name), longName);
}

// The columns of a field's picture that hold its text: pixels darker than the field's frame,
// inside the frame. Nothing when the field shows no text.
std::optional<std::pair<int, int>> inkColumns(const QImage& picture) {
    std::optional<std::pair<int, int>> ink;
    for (int x = 1; x < picture.width() - 1; ++x) {
        for (int y = 1; y < picture.height() - 1; ++y) {
            if (qGray(picture.pixel(x, y)) < 128) {
                ink = {ink ? ink->first : x, x};
                break;
            }
        }
    }
    return ink;
}

// The field's text drawn whole: what the field shows, with its caret at the start and at the
// end (as after typing), has the same extent of ink as the same field drawn wide enough for any
// text, and keeps a column of paper inside the frame on either side.
void expectTextWhole(QLineEdit* field) {
    SCOPED_TRACE(field->objectName().toStdString() + " «" + field->text().toStdString() + "»");
    const QSize size = field->size();
    field->resize(size.width() + 300, size.height());
    field->home(false);
    const auto whole = inkColumns(field->grab().toImage());
    field->resize(size);
    ASSERT_TRUE(whole);
    for (bool atEnd : {false, true}) {
        SCOPED_TRACE(atEnd ? "caret at the end" : "caret at the start");
        atEnd ? field->end(false) : field->home(false);
        const auto shown = inkColumns(field->grab().toImage());
        ASSERT_TRUE(shown);
        EXPECT_NEAR(shown->second - shown->first, whole->second - whole->first, 1);
        EXPECT_GE(shown->first, 2);
        EXPECT_LE(shown->second, size.width() - 3);
    }
}

TEST_F(WindowTest, EveryFieldShowsItsWidestTextWholeInTheRecommendedFonts) {
    view_->window()->show();
    // The widest a recording can fill in: the age 255 and a two-digit age (digits are equally
    // wide), a name of 23 capitals and one of 23 broad small letters, and a battery of 47 V (the
    // raw value 53471; every voltage shows two digits, a comma, two decimals and " В").
    struct Night {
        std::uint8_t age;
        const char* name;
        std::uint16_t battery;
    };
    const Night nights[] = {
        {255, "ШАМШУРИНА ЖАННА МИХАЙЛО", 53471},
        {40, "Шумшина-Жмышенко Мириам", 53471},
    };
    for (const Night& night : nights) {
        loadThroughDialog(examplePatchedTo(night.age, night.name, night.battery));
        ASSERT_EQ(view_->text(Control::Ubat), "47,00 В");
        ASSERT_EQ(view_->text(Control::Name), night.name);
        // The caret of a focused field is ink too: none is focused, as in a printout.
        if (QWidget* focused = QApplication::focusWidget()) {
            focused->clearFocus();
        }
        for (Control c :
             {Control::Tscan, Control::Name, Control::Old, Control::TimeStart, Control::TimeEnd,
              Control::Date, Control::TimeNow, Control::VName, Control::Ubat}) {
            expectTextWhole(edit(c));
        }
    }
    // The doctor's name: the default, and a long one with initials.
    for (const char* doctor : {"введите ФИО врача", "Шумшина-Жмышенко М. Ю."}) {
        view_->setText(Control::VName, doctor);
        expectTextWhole(edit(Control::VName));
    }
}

TEST_F(WindowTest, PasswordDialogConfirmedWithEnterOrClosedDecidesWhetherTheNameShows) {
    struct Case {
        const char* answer;  // nothing: the dialog is closed without confirming
        bool nameShown;
    };
    const Case cases[] = {{"1234", true}, {"123", false}, {nullptr, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer ? c.answer : "closed");
        bool dialogLooksRight = false;
        whenModal<PasswordDialog>([&c, &dialogLooksRight](PasswordDialog* dialog) {
            dialogLooksRight =
                dialog->windowTitle() == QString::fromUtf8("Ввод пароля") &&
                dialog->size() == QSize(289, 114) && dialog->field()->text().isEmpty() &&
                dialog->field()->maxLength() == 10 &&
                dialog->field()->echoMode() == QLineEdit::Password &&
                // What the password hides, and that it encrypts nothing.
                dialog->field()->toolTip().contains(
                    QString::fromUtf8("не попадает ни в файлы, ни в таблицы, отчёты и печать")) &&
                dialog->field()->toolTip().contains(QString::fromUtf8("не шифрует данные"));
            if (c.answer == nullptr) {
                dialog->reject();
                return;
            }
            dialog->field()->setText(c.answer);
            pressAndRelease(dialog->field(), Qt::Key_Return, "\r");
        });
        if (!c.nameShown) {
            whenModal<QMessageBox>([](QMessageBox* box) {
                EXPECT_EQ(box->text().toStdString(), "Неверный пароль! ФИО пациента будет скрыто!");
                box->accept();
            });
        }
        loadThroughDialog(QStringLiteral(NPT_EXAMPLES_DIR "/night-password.txt"));
        EXPECT_TRUE(dialogLooksRight);
        EXPECT_EQ(view_->text(Control::Name).empty(), !c.nameShown);
        EXPECT_EQ(view_->text(Control::Old), "47");
    }
}

TEST_F(WindowTest, PasswordDialogIsCentredOnTheScreenAndItsFieldHasNoBorderAndShowsStars) {
    view_->window()->move(0, 0);
    view_->window()->show();
    QPoint centre;
    QPoint screenCentre;
    QImage field;
    QString shown;
    whenModal<PasswordDialog>([&](PasswordDialog* dialog) {
        centre = dialog->frameGeometry().center();
        screenCentre = dialog->screen()->availableGeometry().center();
        field = dialog->field()->grab().toImage();
        dialog->field()->setText("abc");
        shown = dialog->field()->displayText();
        dialog->reject();
    });
    whenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    loadThroughDialog(QStringLiteral(NPT_EXAMPLES_DIR "/night-password.txt"));

    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
    EXPECT_EQ(shown, "***");
    ASSERT_FALSE(field.isNull());
    // Each edge has the colour of the field's inside: no line drawn round it.
    const QRgb inside = field.pixel(field.width() - 4, field.height() / 2);
    EXPECT_EQ(field.pixel(0, field.height() / 2), inside) << "left edge";
    EXPECT_EQ(field.pixel(field.width() - 1, field.height() / 2), inside) << "right edge";
    EXPECT_EQ(field.pixel(field.width() / 2, 0), inside) << "top edge";
    EXPECT_EQ(field.pixel(field.width() / 2, field.height() - 1), inside) << "bottom edge";
    // The main window's fields keep their border.
    const QImage name = w(Control::Name)->grab().toImage();
    EXPECT_NE(name.pixel(0, name.height() / 2), name.pixel(name.width() - 4, name.height() / 2));
}

class PrintTest : public WindowTest {
  protected:
    // Prints with the printer-setup step choosing a PDF file.
    void printTo(const QString& pdf) {
        view_->choosePrinter = [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        button(Control::PrintGraf)->click();
    }
    std::map<Control, bool> visibility() const {
        std::map<Control, bool> shown;
        for (int c = 0; c <= static_cast<int>(Control::ShowAnalysis); ++c) {
            shown[Control(c)] = view_->visible(Control(c));
        }
        return shown;
    }
};

TEST_F(PrintTest, PrintsTheWindowOnOnePageAndPutsTheWindowBack) {
    view_->window()->show();
    // No recorder: the read and write buttons are hidden, and stay so after printing.
    view_->setVisible(Control::ReadData, false);
    view_->setVisible(Control::WriteData, false);
    const auto before = visibility();

    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    const QString pdf = QStringLiteral(NPT_TEST_OUTPUT_DIR "/printout.pdf");
    QFile::remove(pdf);
    printTo(pdf);

    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_EQ(content.count("/Type /Page\n") + content.count("/Type /Page\r") +
                  content.count("/Type /Page "),
              1);
    // The page carries the whole window as one picture.
    EXPECT_TRUE(content.contains("/Width 998")) << "picture width";
    EXPECT_TRUE(content.contains("/Height 529")) << "picture height";

    EXPECT_EQ(visibility(), before);
    EXPECT_EQ(w(Control::ChartGraf)->geometry(), QRect(8, 55, 969, kChartHeightAfterPrint));
}

TEST_F(PrintTest, AFailedPrintIsReportedAndTheWindowStillComesBack) {
    view_->window()->show();
    const auto before = visibility();
    QString shown;
    whenModal<QMessageBox>([&shown](QMessageBox* box) {
        shown = box->text();
        box->accept();
    });
    printTo(QStringLiteral("/nonexistent-directory/printout.pdf"));
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(visibility(), before);
    EXPECT_EQ(w(Control::ChartGraf)->geometry(), QRect(8, 55, 969, kChartHeightAfterPrint));
}

// Closes every message box that opens while it lives, and counts them.
class MessageBoxWatch {
  public:
    MessageBoxWatch() {
        timer_.callOnTimeout([this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++count;
                box->accept();
            }
        });
        timer_.start(10);
    }
    int count = 0;

  private:
    QTimer timer_;
};

TEST_F(PrintTest, CancellingThePrintDialogPrintsNothingAndPutsTheWindowBack) {
    view_->window()->show();
    const auto before = visibility();
    MessageBoxWatch boxes;
    bool asked = false;
    whenModal<QPrintDialog>([&asked](QPrintDialog* dialog) {
        asked = true;
        dialog->reject();
    });
    button(Control::PrintGraf)->click();
    EXPECT_TRUE(asked);
    EXPECT_EQ(boxes.count, 0) << "nothing printed, so nothing to report";
    EXPECT_EQ(visibility(), before);
    EXPECT_EQ(w(Control::ChartGraf)->geometry(), QRect(8, 55, 969, kChartHeightAfterPrint));
}

// The keys of the buttons "Из файла", "В файл" and "Печать", and F1 for the short help; each
// goes through the window's key hook first (the read's block counter is reset, as by every key),
// and while the recorder's memory is coming in the file and print keys do nothing but beep.
TEST_F(PrintTest, ShortcutsActAsTheirButtonsExceptWhileAReadIsComingIn) {
    QWidget* window = view_->window();
    window->show();
    bool printDialog = false;
    view_->choosePrinter = [&printDialog](QPrinter&) {
        printDialog = true;
        return false;
    };
    const auto press = [&](QKeyCombination keys) {
        // The window is active again once a dialog it opened has closed.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        blocksArrive(17);
        ASSERT_EQ(form_->state().blockCounter, 17);
        QTest::keyClick(w(Control::Name), keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(form_->state().blockCounter, 0) << "the key went to the window's key hook";
    };
    for (QKeyCombination keys : {Qt::CTRL | Qt::Key_O, Qt::CTRL | Qt::Key_S}) {
        SCOPED_TRACE(QKeySequence(keys).toString().toStdString());
        bool opened = false;
        whenModal<QFileDialog>([&opened](QFileDialog* dialog) {
            opened = true;
            dialog->reject();
        });
        press(keys);
        EXPECT_TRUE(opened);
    }
    press(Qt::CTRL | Qt::Key_P);
    EXPECT_TRUE(printDialog);

    QString help;
    whenModal<QMessageBox>([&help](QMessageBox* box) {
        help = box->text();
        box->accept();
    });
    press(QKeyCombination(Qt::Key_F1));
    EXPECT_TRUE(help.contains(QString("npt-desk ") + kVersion)) << help.toStdString();
    EXPECT_TRUE(help.contains(QString("Лицензия: ") + kLicense)) << help.toStdString();

    // The recorder has answered and its blocks arrive until the completion check.
    view_->startTimer(TimerId::Timer2, 60'000);
    printDialog = false;
    MessageBoxWatch boxes;
    int dialogs = 0;
    QTimer closeAny;
    closeAny.callOnTimeout([&dialogs] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++dialogs;
            dialog->reject();
        }
    });
    closeAny.start(10);
    for (QKeyCombination keys :
         {Qt::CTRL | Qt::Key_O, Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_P}) {
        press(keys);
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(printDialog);
    view_->stopTimer(TimerId::Timer2);
}

}  // namespace
}  // namespace npt::testing
