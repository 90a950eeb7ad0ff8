// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_start.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <chrono>
#include <functional>

#include "app/ttm_form.h"
#include "hid/hid_device.h"
#include "ui/diameter_chart.h"
#include "ui/qt_form_view.h"
#include "ui/recorder_link.h"

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

// Lays out and draws the window, then saves its picture; false (said on messages) when it
// cannot be saved.
bool savePicture(QWidget* window, const std::string& png, std::ostream& messages) {
    QApplication::processEvents();
    const QPixmap picture = window->grab();
    if (!picture.save(QString::fromStdString(png), "PNG")) {
        messages << "npt-desk: снимок окна не сохранён в «" << png
                 << "»: папки нет или в неё нельзя писать\n";
        return false;
    }
    return true;
}

// Runs the event loop until done() holds or timeout has passed; returns done().
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeout.count()) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

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
    return savePicture(window, png, messages) && loaded ? 0 : 1;
}

void markAsDemonstration(QtFormView& view) {
    view.window()->setWindowTitle(QString::fromUtf8(kWindowCaption) +
                                  QString::fromUtf8(kDemoCaptionSuffix));
}

int saveDemoReadPicture(TTMForm& form, QtFormView& view, const std::string& png,
                        std::ostream& messages) {
    using namespace std::chrono_literals;
    UnattendedDialogs unattended(messages);
    QWidget* window = view.window();
    window->show();
    const FormState& state = form.state();
    if (!runUntil(
            [&] { return state.recorderDevice != nullptr && state.recorderDevice->IsReading(); },
            10s)) {
        messages << "npt-desk: имитатор датчика не подключился\n";
        return 1;
    }
    form.ReadDataClick();
    const bool checked = runUntil(
        [&] {
            return state.blockCounter > 0 && !state.ackFlag &&
                   !view.timerRunning(TimerId::Timer2) && form.chart().series2().count() > 0;
        },
        20s);
    const bool whole = checked && state.blockCounter == static_cast<int>(MemoryImage::kBlockCount);
    if (!whole) {
        messages << "npt-desk: чтение имитатора не завершилось\n";
    }
    return savePicture(window, png, messages) && whole ? 0 : 1;
}

}  // namespace npt
