// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/typing_limit.h"

namespace npt {

QValidator::State TypingLimit::validate(QString& input, int& position) const {
    (void)position;
    // Characters, not UTF-16 units: a letter outside the basic plane counts once.
    if (input.toUcs4().size() <= limit_ || input == allowed_) {
        return Acceptable;
    }
    return Invalid;
}

}  // namespace npt
