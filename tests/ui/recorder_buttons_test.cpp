// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// "Запись" and "Чтение" in the real window, on Qt's event loop, with the simulated recorder
// behind the in-process platform: the buttons, the timers and the dialogs are wired to the
// window's behaviour, and reports reach it while a message box is open.
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>

#include "hid/hid_device.h"
#include "hid/hid_device_controller.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder_device.h"
#include "records/data_file.h"
#include "support/scratch.h"
#include "ui/qt_main_loop.h"
#include "ui/recorder_link.h"
#include "ui/shape_widget.h"
#include "ui/window_start.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

// Answers every dialog while it lives: Yes to questions, OK to messages, the password typed.
class Answerer {
  public:
    explicit Answerer(QString password) : password_(std::move(password)) {
        timer_.callOnTimeout([this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen.push_back(box->text());
                QAbstractButton* yes = box->button(QMessageBox::Yes);
                (yes != nullptr ? yes : box->button(QMessageBox::Ok))->click();
            } else if (auto* pass = dynamic_cast<PasswordDialog*>(modal)) {
                buttonTips.push_back(pass->button()->toolTip());
                pass->field()->setText(password_);
                pass->button()->click();
            }
        });
        timer_.start(10);
    }
    QStringList seen;
    QStringList buttonTips;  // of the password dialog's "Ввести", each time it opened

  private:
    QString password_;
    QTimer timer_;
};

bool runUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

TEST(RecorderButtons, APassportWrittenAndTheNightReadThroughTheWindow) {
    ensureApplication();
    QtMainLoop loop;
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder(exampleNight(""));
    hid::SimulatedRecorderDevice adapter(platform, recorder);
    hid::THidDeviceController controller(loop, platform);
    QtFormView view;
    FixedClock clock({2026, 12, 9, 21, 30, 0});
    TTMForm form(view, clock, nullptr, &controller);
    view.attach(form);
    form.FormCreate();
    view.window()->show();
    const FormState& state = form.state();
    ASSERT_TRUE(runUntil(
        [&] { return state.recorderDevice != nullptr && state.recorderDevice->IsReading(); }));
    EXPECT_TRUE(view.visible(Control::ReadData));
    EXPECT_TRUE(view.visible(Control::WriteData));

    Answerer answers("Ключ");
    qobject_cast<QLineEdit*>(view.widget(Control::Name))->setText("Сидоров Семён");
    qobject_cast<QLineEdit*>(view.widget(Control::Old))->setText("61");
    qobject_cast<QPushButton*>(view.widget(Control::WriteData))->click();
    ASSERT_TRUE(runUntil([&] { return answers.seen.size() == 3; }));
    EXPECT_EQ(answers.seen.back(), QString::fromUtf8("Датчик будет запущен в 22:00!"));
    // The password dialog's button says what confirming does: write, then check.
    EXPECT_EQ(answers.buttonTips,
              QStringList{QString::fromUtf8("Запись паспортных данных в датчик-регистратор")});

    qobject_cast<QPushButton*>(view.widget(Control::ReadData))->click();
    // Timer2's check asks for the password, then shows the recording.
    ASSERT_TRUE(runUntil([&] { return view.chart()->series(1).count == 4320u; }));
    EXPECT_EQ(answers.seen.size(), 3) << answers.seen.join("; ").toStdString();
    ASSERT_EQ(answers.buttonTips.size(), 2);
    EXPECT_EQ(answers.buttonTips.back().toStdString(),
              "Проверить пароль: при верном пароле ФИО пациента будет показано");
    EXPECT_EQ(view.text(Control::Name), "Сидоров Семён");
    EXPECT_EQ(view.text(Control::Old), "61");
    EXPECT_EQ(view.text(Control::TimeStart), "22:00");
    auto* indicator = static_cast<ShapeWidget*>(view.widget(Control::OpenIndicator));
    EXPECT_EQ(indicator->y(), 488 - 139);
    EXPECT_EQ(indicator->fill(), QColor(0, 255, 0));
}

TEST(RecorderButtons, TheDemonstrationSaysSoAfterAPatientsPassportWasWrittenIntoIt) {
    // The window as npt-desk --demo-recorder starts it, at the demonstration's own pace.
    ensureApplication();
    RecorderLink link(true);
    QtFormView view;
    FixedClock clock({2026, 12, 9, 21, 30, 0});
    TTMForm form(view, clock, nullptr, &link.controller());
    view.attach(form);
    markAsDemonstration(view);
    form.FormCreate();
    view.window()->show();
    const FormState& state = form.state();
    ASSERT_TRUE(runUntil(
        [&] { return state.recorderDevice != nullptr && state.recorderDevice->IsReading(); }));
    EXPECT_FALSE(view.chart()->title().contains(QString::fromUtf8("демонстрация")));

    Answerer answers("Ключ");
    qobject_cast<QLineEdit*>(view.widget(Control::Name))->setText("Сидоров Семён");
    qobject_cast<QLineEdit*>(view.widget(Control::Old))->setText("61");
    qobject_cast<QPushButton*>(view.widget(Control::WriteData))->click();
    ASSERT_TRUE(runUntil([&] { return answers.seen.size() == 3; }));
    EXPECT_EQ(answers.seen.back(), QString::fromUtf8("Датчик будет запущен в 22:00!"));

    qobject_cast<QPushButton*>(view.widget(Control::ReadData))->click();
    ASSERT_TRUE(runUntil([&] { return view.chart()->series(1).count == 4320u; }));
    // The name typed for the write does not come back as a patient's; the rest of it does.
    EXPECT_EQ(view.text(Control::Name), kDemonstrationName);
    EXPECT_EQ(view.text(Control::Old), "61");
    EXPECT_TRUE(view.chart()->title().contains(QString::fromUtf8("демонстрация")));
    EXPECT_TRUE(form.state().nightAnalysis->result.quality.recording());

    // Saved, it is the demonstration's wherever it is opened later.
    const auto file = test::scratchDir("ui") / "demo.txt";
    ASSERT_TRUE(form.saveDataFile(file.string()));
    EXPECT_TRUE(isDemonstration(readDataFile(file.string())));
    EXPECT_EQ(form.nightReport().patientName, kDemonstrationName);
}

}  // namespace
}  // namespace npt::testing
