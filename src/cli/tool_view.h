// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view of the tool's commands: the batch view, except that without --password nobody typed
// a wrong password. The password prompt then stays unanswered, and the warning the window gives
// for a wrong password says instead that the recording is protected and why its name is hidden.
#include "cli/batch_view.h"
#include "recorder/password.h"

namespace npt {

inline constexpr const char* kNoPasswordTitle = "Пароль не указан";
inline constexpr const char* kNoPasswordText =
    "Запись защищена паролем; без --password ФИО пациента скрыто.";

class ToolView final : public BatchView {
  public:
    using BatchView::BatchView;
    MessageAnswer messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override {
        if (!passwordAnswer_ && title == kWrongPasswordTitle && text == kWrongPasswordText) {
            return BatchView::messageBox(kNoPasswordTitle, kNoPasswordText, icon, buttons);
        }
        return BatchView::messageBox(title, text, icon, buttons);
    }
};

}  // namespace npt
