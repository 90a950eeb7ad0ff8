#include "ui/window_start.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include "app/ttm_form.h"
#include "ui/qt_form_view.h"

namespace npt {

namespace {

// Closes every dialog as soon as it is shown, writing out what a message box said.
class UnattendedDialogs : public QObject {
  public:
    explicit UnattendedDialogs(std::ostream& messages) : messages_(messages) {
        QApplication::instance()->installEventFilter(this);
    }
    ~UnattendedDialogs() override { QApplication::instance()->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() != QEvent::Show || dialog == nullptr) {
            return false;
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            messages_ << "npt-desk: " << box->windowTitle().toStdString() << ": "
                      << box->text().toStdString() << '\n';
        }
        // Closed from within its own modal loop, which is about to start.
        QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        return false;
    }

  private:
    std::ostream& messages_;
};

}  // namespace

void openRecordingWhenShown(TTMForm& form, QtFormView& view, const std::string& file) {
    QTimer::singleShot(0, view.window(), [&form, file] { form.loadRecording(file); });
}

int saveWindowPicture(TTMForm& form, QtFormView& view, const std::optional<std::string>& file,
                      const std::string& png, std::ostream& messages) {
    UnattendedDialogs unattended(messages);
    QWidget* window = view.window();
    window->show();
    const bool loaded = !file || form.loadRecording(*file);
    // Lay out and draw the chart before the picture is taken.
    QApplication::processEvents();
    const QPixmap picture = window->grab();
    if (!picture.save(QString::fromStdString(png), "PNG")) {
        messages << "npt-desk: снимок окна не сохранён в «" << png
                 << "»: папки нет или в неё нельзя писать\n";
        return 1;
    }
    return loaded ? 0 : 1;
}

}  // namespace npt
