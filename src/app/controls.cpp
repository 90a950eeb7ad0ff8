// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controls.h"

namespace npt {

std::string_view controlName(Control control) {
    switch (control) {
#define NPT_CONTROL_NAME(c) \
    case Control::c:        \
        return #c;
        NPT_CONTROL_NAME(Shape1)
        NPT_CONTROL_NAME(Label3)
        NPT_CONTROL_NAME(Tscan)
        NPT_CONTROL_NAME(LabelName)
        NPT_CONTROL_NAME(Name)
        NPT_CONTROL_NAME(LabelOld)
        NPT_CONTROL_NAME(Old)
        NPT_CONTROL_NAME(Image1)
        NPT_CONTROL_NAME(LabelTimeStart)
        NPT_CONTROL_NAME(TimeStart)
        NPT_CONTROL_NAME(LabelTimeEnd)
        NPT_CONTROL_NAME(TimeEnd)
        NPT_CONTROL_NAME(LabelDate)
        NPT_CONTROL_NAME(Date)
        NPT_CONTROL_NAME(Label2)
        NPT_CONTROL_NAME(TimeNow)
        NPT_CONTROL_NAME(Label8)
        NPT_CONTROL_NAME(VName)
        NPT_CONTROL_NAME(WriteData)
        NPT_CONTROL_NAME(ChartGraf)
        NPT_CONTROL_NAME(ZoomPlus)
        NPT_CONTROL_NAME(ZoomMinus)
        NPT_CONTROL_NAME(ZoomReset)
        NPT_CONTROL_NAME(Hplus)
        NPT_CONTROL_NAME(Hminus)
        NPT_CONTROL_NAME(Filter_plus)
        NPT_CONTROL_NAME(Filter_minus)
        NPT_CONTROL_NAME(PrintGraf)
        NPT_CONTROL_NAME(SaveFileData)
        NPT_CONTROL_NAME(LoadFile)
        NPT_CONTROL_NAME(Shape2)
        NPT_CONTROL_NAME(LabelBatt)
        NPT_CONTROL_NAME(Ubat)
        NPT_CONTROL_NAME(ReadData)
        NPT_CONTROL_NAME(OpenIndicator)
        NPT_CONTROL_NAME(LabelAnalysis)
        NPT_CONTROL_NAME(ShowAnalysis)
        NPT_CONTROL_NAME(ShowArchive)
#undef NPT_CONTROL_NAME
    }
    return "";
}

}  // namespace npt
