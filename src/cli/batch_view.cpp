// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/batch_view.h"

#include <stdexcept>

namespace npt {

MessageAnswer BatchView::messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                                    MessageButtons buttons) {
    screen_.addMessage(title, text, icon, buttons);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

void BatchView::writeReport(const std::string& path, const NightReport& report) {
    if (!reportWriter_) {
        throw std::runtime_error("Отчёт «" + path +
                                 "» не создан: программа собрана без графической части, которой "
                                 "он рисуется.");
    }
    reportWriter_(path, report);
}

}  // namespace npt
