// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Ввод пароля": the modal dialog in which the doctor types the patient's password. It only
// collects the text; storing and checking it is the window's behaviour.
#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace npt {

class PasswordDialog : public QDialog {
  public:
    explicit PasswordDialog(QWidget* parent);

    // What the typed password is for: written into the recorder with the passport, or checked
    // against the recording's (the button's tooltip says which).
    enum class Purpose { Store, Check };

    // Shows the dialog modally with an empty field: the confirmed text, or nothing when it was
    // closed without "Ввести".
    std::optional<std::string> ask(Purpose purpose = Purpose::Check);

    QLineEdit* field() const { return inPass_; }
    QPushButton* button() const { return inputPass_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* inPass_;
    QPushButton* inputPass_;
};

}  // namespace npt
