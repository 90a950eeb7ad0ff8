// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real window under the offscreen platform, with a fixed clock and no settings file, and
// helpers that answer the modal dialogs it opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "ui/diameter_chart.h"
#include "ui/password_dialog.h"
#include "ui/qt_form_view.h"

namespace npt::testing {

inline void ensureApplication() {
    // Never destroyed: tearing Qt down among the program's static destructors crashes.
    static QApplication* app = nullptr;
    if (app == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        QApplication::setStyle(QStyleFactory::create("Fusion"));
    }
}

// Runs act on the modal dialog of kind T as soon as it is open. Should it never open, whatever
// modal dialog is open then is closed, so that a failing test ends instead of waiting.
template <class T>
void whenModal(std::function<void(T*)> act, int triesLeft = 300) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = dynamic_cast<T*>(modal)) {
            act(dialog);
        } else if (triesLeft > 0) {
            whenModal<T>(std::move(act), triesLeft - 1);
        } else if (auto* other = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "the expected dialog did not open";
            other->reject();
        }
    });
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() {
        ensureApplication();
        view_ = std::make_unique<QtFormView>();
        form_ = std::make_unique<TTMForm>(*view_, clock_, nullptr);
        view_->attach(*form_);
        form_->FormCreate();
    }

    QWidget* w(Control control) const { return view_->widget(control); }
    QLineEdit* edit(Control control) const { return qobject_cast<QLineEdit*>(w(control)); }
    QPushButton* button(Control control) const { return qobject_cast<QPushButton*>(w(control)); }

    // "Из файла" with the open dialog answered with path.
    void loadThroughDialog(const QString& path) {
        whenModal<QFileDialog>([path](QFileDialog* dialog) {
            // Typed as a full path, as a doctor may; selecting in the list depends on when the
            // directory listing arrives.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        button(Control::LoadFile)->click();
    }

    // Blocks of the recorder's memory reaching the window, as during a read (blank ones: no
    // marker, nothing to say): each moves the read's block counter on.
    void blocksArrive(int count) {
        const std::array<std::uint8_t, 32> block{};
        for (int i = 0; i < count; ++i) {
            form_->HIDDeviceData(nullptr, 0, block.data(),
                                 static_cast<std::uint16_t>(block.size()));
        }
    }

    FixedClock clock_{{2026, 12, 9, 8, 5, 0}};
    std::unique_ptr<QtFormView> view_;
    std::unique_ptr<TTMForm> form_;
};

}  // namespace npt::testing
