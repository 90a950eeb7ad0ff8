// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/password_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace npt {

namespace {
constexpr int kPasswordCharacters = 10;

// What the password does, and what it does not: the recorder keeps the password and the name as
// plain bytes, and so does a recording saved with the name, so it hides the name from everything
// the program shows and writes, not from whoever reads the recorder's memory or the file itself.
constexpr const char* kFieldTip =
    "Пароль пациента, до 10 знаков. Без верного пароля ФИО пациента не показывается на экране "
    "и не попадает ни в файлы, ни в таблицы, отчёты и печать. Пароль не шифрует данные: датчик "
    "хранит пароль и ФИО открытыми байтами, и файл записи, сохранённый с верным паролем, — тоже.";
constexpr const char* kStoreTip = "Запись паспортных данных в датчик-регистратор";
constexpr const char* kCheckTip = "Проверить пароль: при верном пароле ФИО пациента будет показано";
}  // namespace

PasswordDialog::PasswordDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("Pass");
    setWindowTitle(QString::fromUtf8("Ввод пароля"));
    setFixedSize(289, 114);
    setModal(true);
    // A line edit takes its password character from the style when it is created, so the
    // dialog's style ("*" for each typed character) is in place before the field exists.
    setStyleSheet("QLineEdit { lineedit-password-character: 42; background: white; }");

    inPass_ = new QLineEdit(this);
    inPass_->setObjectName("InPass");
    inPass_->setGeometry(40, 32, 209, 19);
    inPass_->setFrame(false);
    QFont fieldFont = font();
    fieldFont.setPixelSize(13);
    inPass_->setFont(fieldFont);
    inPass_->setEchoMode(QLineEdit::Password);
    inPass_->setMaxLength(kPasswordCharacters);
    inPass_->setFocusPolicy(Qt::ClickFocus);
    inPass_->setToolTip(QString::fromUtf8(kFieldTip));

    inputPass_ = new QPushButton(QString::fromUtf8("Ввести"), this);
    inputPass_->setObjectName("InputPass");
    inputPass_->setGeometry(112, 81, 57, 25);
    inputPass_->setFocusPolicy(Qt::ClickFocus);
    // Enter anywhere in the dialog confirms, as the button does.
    inputPass_->setDefault(true);
    connect(inputPass_, &QPushButton::clicked, this, &QDialog::accept);
    connect(inPass_, &QLineEdit::returnPressed, this, &QDialog::accept);
}

void PasswordDialog::showEvent(QShowEvent* event) {
    inPass_->setMaxLength(kPasswordCharacters);
    inPass_->clear();
    inPass_->setFocus();
    // In the middle of the screen, wherever the main window has been moved; the title bar
    // counts where its size is known already.
    QScreen* on = parentWidget() != nullptr ? parentWidget()->screen() : screen();
    if (on != nullptr) {
        QRect frame = frameGeometry();
        frame.moveCenter(on->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

std::optional<std::string> PasswordDialog::ask(Purpose purpose) {
    inputPass_->setToolTip(QString::fromUtf8(purpose == Purpose::Store ? kStoreTip : kCheckTip));
    inPass_->clear();
    const int result = exec();
    std::string typed = inPass_->text().toStdString();
    inPass_->clear();
    if (result != QDialog::Accepted) {
        return std::nullopt;
    }
    return typed;
}

}  // namespace npt
