// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of the main window, by the names the window gives them.
#include <string_view>

namespace npt {

enum class Control {
    Shape1,
    Label3,
    Tscan,
    LabelName,
    Name,
    LabelOld,
    Old,
    Image1,
    LabelTimeStart,
    TimeStart,
    LabelTimeEnd,
    TimeEnd,
    LabelDate,
    Date,
    Label2,
    TimeNow,
    Label8,
    VName,
    WriteData,
    ChartGraf,
    ZoomPlus,
    ZoomMinus,
    ZoomReset,
    Hplus,
    Hminus,
    Filter_plus,
    Filter_minus,
    PrintGraf,
    SaveFileData,
    LoadFile,
    Shape2,
    LabelBatt,
    Ubat,
    ReadData,
    OpenIndicator,
    // Under the chart, left of "Печать": the night's analysis in one line, and the button that
    // opens the dialog "Анализ ночи".
    LabelAnalysis,
    ShowAnalysis,
    // Left of "Анализ": the patient archive's window.
    ShowArchive,
};

// The control's object name, e.g. "OpenIndicator".
std::string_view controlName(Control control);

}  // namespace npt
