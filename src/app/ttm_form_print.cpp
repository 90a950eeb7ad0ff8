// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// "Печать": the window is printed as the doctor sees it, without the controls that do not
// belong on paper and with the chart stretched into their space; afterwards it is put back.
#include <map>

#include "app/ttm_form.h"

namespace npt {

namespace {

constexpr const char* kPrintTitle = "Печать";
constexpr const char* kPrintFailed =
    "Не удалось напечатать: принтер не выбран или недоступен. Выберите принтер или печать в "
    "файл (PDF) и повторите.";

// Controls that do not belong on paper, in the order they are hidden.
constexpr Control kOffPaper[] = {
    Control::Shape1,    Control::Shape2,        Control::ReadData,    Control::LabelBatt,
    Control::ZoomReset, Control::ZoomMinus,     Control::ZoomPlus,    Control::Hminus,
    Control::Hplus,     Control::SaveFileData,  Control::LoadFile,    Control::PrintGraf,
    Control::WriteData, Control::OpenIndicator, Control::Filter_plus, Control::Filter_minus,
    Control::Ubat,      Control::ShowAnalysis,  Control::ShowArchive,
};

bool followsAdapter(Control c) {
    return c == Control::ReadData || c == Control::WriteData || c == Control::OpenIndicator;
}

}  // namespace

void TTMForm::PrintGrafClick() {
    std::map<Control, bool> before;
    for (Control c : kOffPaper) {
        before[c] = view_.visible(c);
    }
    view_.setHeight(Control::ChartGraf, kChartPrintHeight);
    for (Control c : kOffPaper) {
        view_.setVisible(c, false);
    }
    view_.setFocus(Control::Date);

    // The dialog runs the loop: the adapter may come or go meanwhile, and then the read and
    // write controls follow it rather than what they were before.
    printing_ = true;
    const PrintOutcome outcome = view_.printWindow();
    printing_ = false;

    for (Control c : kOffPaper) {
        view_.setVisible(c, enumerated_ && followsAdapter(c) ? state_.recorderPresent : before[c]);
    }
    view_.setHeight(Control::ChartGraf, kChartHeightAfterPrint);
    if (outcome == PrintOutcome::Failed) {
        view_.messageBox(kPrintTitle, kPrintFailed, MessageIcon::Error, MessageButtons::Ok);
    }
}

}  // namespace npt
