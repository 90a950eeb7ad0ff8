// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/password.h"

#include <algorithm>

#include "recorder/cp1251.h"
#include "recorder/utf8.h"

namespace npt {

bool confirmPassword(PasswordState& state, std::string_view typedUtf8, const MemoryImage& image) {
    bool storable = true;
    const auto codePoints = utf8::decode(typedUtf8);
    if (!codePoints) {
        storable = false;
    } else {
        std::size_t position = 0;
        for (char32_t c : *codePoints) {
            if (position == PasswordState::kLength) {
                break;
            }
            const auto byte = cp1251::fromUnicode(c);
            if (!byte) {
                storable = false;
                continue;
            }
            state.buffer[position++] = *byte;
        }
    }
    if (state.mode == PasswordMode::Check) {
        const auto stored = image.bytes().subspan(ImageOffsets::kPassword, PasswordState::kLength);
        const bool equal = std::equal(stored.begin(), stored.end(), state.buffer.begin());
        if (!equal || !storable) {
            state.passwordWrong = true;
        }
    }
    return storable;
}

}  // namespace npt
