// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How long the doctor waits, in the window, between changing a parameter of the night's analysis
// and seeing it: the night analysed anew, the dialog's table and figures, the line under the
// chart, the shaded episodes and the baseline under the curve, all painted (aim: within one frame,
// 16 ms). Runs on Qt's offscreen platform, which paints into memory as a screen's backing store
// would.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QStyleFactory>
#include <memory>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "ui/analysis_dialog.h"
#include "ui/qt_form_view.h"

namespace {

struct Window {
    npt::FixedClock clock{{2026, 12, 9, 8, 5, 0}};
    npt::QtFormView view;
    npt::TTMForm form{view, clock, nullptr};
    Window() {
        view.attach(form);
        form.FormCreate();
        view.window()->show();
        form.loadRecording(NPT_EXAMPLES_DIR "/night.txt");
        form.ShowAnalysisClick();
        QApplication::processEvents();
    }
};

void ensureApplication() {
    static std::unique_ptr<QApplication> app;
    if (!app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "npt_ui_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setStyle(QStyleFactory::create("Fusion"));
    }
}

// A threshold typed in the dialog, and everything it changes painted before the next frame.
void BM_ParameterChangeRedrawn(benchmark::State& state) {
    ensureApplication();
    Window window;
    npt::AnalysisDialog* dialog = window.view.analysisDialog();
    QDoubleSpinBox* threshold = dialog->thresholdField();
    bool higher = false;
    for (auto _ : state) {
        higher = !higher;
        // 3,0 and 7,0 mm: five episodes, then four; the table, the line and the bands change.
        threshold->setValue(higher ? 7.0 : 3.0);
        window.view.window()->repaint();
        dialog->repaint();
    }
}
BENCHMARK(BM_ParameterChangeRedrawn)->Unit(benchmark::kMillisecond);

// A zoom button under the chart: the time axis steps in and out, and the window is painted with
// the bands, numbers and curve on the new range.
void BM_ZoomRedrawn(benchmark::State& state) {
    ensureApplication();
    Window window;
    bool in = false;
    for (auto _ : state) {
        in = !in;
        if (in) {
            window.form.HplusClick();
        } else {
            window.form.HMinusClick();
        }
        window.view.window()->repaint();
    }
}
BENCHMARK(BM_ZoomRedrawn)->Unit(benchmark::kMillisecond);

// The same painting with nothing changed: how much of the above is painting alone.
void BM_WindowRepainted(benchmark::State& state) {
    ensureApplication();
    Window window;
    for (auto _ : state) {
        window.view.window()->repaint();
        window.view.analysisDialog()->repaint();
    }
}
BENCHMARK(BM_WindowRepainted)->Unit(benchmark::kMillisecond);

}  // namespace
