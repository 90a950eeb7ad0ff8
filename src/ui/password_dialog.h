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

    // Shows the dialog modally with an empty field: the confirmed text, or nothing when it was
    // closed without "Ввести".
    std::optional<std::string> ask();

    QLineEdit* field() const { return inPass_; }
    QPushButton* button() const { return inputPass_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* inPass_;
    QPushButton* inputPass_;
};

}  // namespace npt
