// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where every control of the main window sits: the one table that the window's behaviour
// (TTMForm: the indicator's travel, the chart's height around printing) and the Qt window (the
// widgets' geometry) both read. Client pixels, left, top, width × height.
#include <optional>

#include "app/controls.h"

namespace npt {

struct ControlPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    constexpr bool operator==(const ControlPlace&) const = default;
};

inline constexpr int kClientWidth = 998;
inline constexpr int kClientHeight = 529;

// While printing, the chart grows into the space of the hidden buttons under it; afterwards it
// is 425 px high, two more than at start, as the window has always left it (the printout's
// chart and the layout the doctors know after a print stay as they were).
inline constexpr int kChartPrintHeight = 470;
inline constexpr int kChartHeightAfterPrint = 425;

// The place of a control; nothing for the labels, which are sized to their captions and end
// left of their fields. Hplus and Hminus are placed inside the chart panel, in its coordinates.
constexpr std::optional<ControlPlace> controlPlace(Control control) {
    switch (control) {
        case Control::Shape1:
            return ControlPlace{8, 2, 385, 47};
        case Control::Tscan:
            return ControlPlace{56, 16, 16, 19};
        case Control::Name:
            return ControlPlace{116, 16, 182, 19};
        case Control::Old:
            return ControlPlace{364, 16, 16, 19};
        case Control::Image1:
            return ControlPlace{400, 13, 25, 29};
        case Control::TimeStart:
            return ControlPlace{444, 16, 34, 19};
        case Control::TimeEnd:
            return ControlPlace{508, 16, 34, 19};
        case Control::Date:
            return ControlPlace{594, 17, 53, 19};
        case Control::TimeNow:
            return ControlPlace{700, 17, 38, 19};
        case Control::VName:
            return ControlPlace{784, 16, 129, 19};
        case Control::WriteData:
            return ControlPlace{919, 14, 57, 25};
        case Control::ChartGraf:
            return ControlPlace{8, 55, 969, 423};
        case Control::ZoomPlus:
            return ControlPlace{16, 369, 33, 25};
        case Control::ZoomMinus:
            return ControlPlace{16, 400, 33, 25};
        case Control::ZoomReset:
            return ControlPlace{16, 446, 33, 25};
        case Control::Hplus:
            return ControlPlace{104, 392, 33, 25};
        case Control::Hminus:
            return ControlPlace{60, 392, 33, 25};
        case Control::Filter_plus:
            return ControlPlace{16, 305, 33, 25};
        case Control::Filter_minus:
            return ControlPlace{16, 336, 33, 25};
        case Control::PrintGraf:
            return ControlPlace{556, 488, 57, 25};
        case Control::SaveFileData:
            return ControlPlace{619, 488, 57, 25};
        case Control::LoadFile:
            return ControlPlace{682, 488, 57, 25};
        case Control::Shape2:
            return ControlPlace{745, 480, 232, 41};
        case Control::Ubat:
            return ControlPlace{849, 490, 46, 21};
        case Control::ReadData:
            return ControlPlace{910, 488, 57, 25};
        case Control::OpenIndicator:
            return ControlPlace{983, 488, 9, 25};
        // The night's analysis in the free space under the chart: its line from the window's
        // left edge, its button left of "Печать" at the buttons' distance, and the archive's
        // button left of that, where the line ends.
        case Control::LabelAnalysis:
            return ControlPlace{12, 484, 412, 33};
        case Control::ShowAnalysis:
            return ControlPlace{493, 488, 57, 25};
        case Control::ShowArchive:
            return ControlPlace{430, 488, 57, 25};
        case Control::Label3:
        case Control::LabelName:
        case Control::LabelOld:
        case Control::LabelTimeStart:
        case Control::LabelTimeEnd:
        case Control::LabelDate:
        case Control::Label2:
        case Control::Label8:
        case Control::LabelBatt:
            return std::nullopt;
    }
    return std::nullopt;
}

// The place of a control that has one in the table.
constexpr ControlPlace placeOf(Control control) {
    return controlPlace(control).value_or(ControlPlace{});
}

}  // namespace npt
