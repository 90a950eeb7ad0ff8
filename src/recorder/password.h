// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password that protects the patient's name, and the state that reads, writes and loads
// share. The stored password is image bytes 68-77 in Windows-1251, 0xFF after its last
// character; ten 0xFF bytes mean no password.
#include <array>
#include <cstdint>
#include <string_view>

#include "recorder/memory_image.h"

namespace npt {

enum class PasswordMode { Store, Check };

struct PasswordState {
    static constexpr std::size_t kLength = 10;
    // Ten password bytes and a pad byte; 0xFF marks a position without a character.
    std::array<std::uint8_t, kLength + 1> buffer{};
    PasswordMode mode = PasswordMode::Store;
    bool askPassword = false;
    bool passwordWrong = false;
    bool nameHidden = false;

    PasswordState() { clearBuffer(); }
    void clearBuffer() { buffer.fill(kErasedByte); }
    // Before the password step of a read or a load.
    void resetForCheck() {
        clearBuffer();
        mode = PasswordMode::Check;
        passwordWrong = false;
        nameHidden = false;
        askPassword = true;
    }
};

inline constexpr const char* kWrongPasswordTitle = "Ошибка пароля!";
inline constexpr const char* kWrongPasswordText = "Неверный пароль! ФИО пациента будет скрыто!";

// What the dialog's confirm does with the typed text: up to ten characters, converted to the
// code page, go into the buffer; in check mode the ten bytes are compared with the image and a
// mismatch sets passwordWrong. A character the code page cannot hold never matches. Returns
// false when such a character was typed.
bool confirmPassword(PasswordState& state, std::string_view typedUtf8, const MemoryImage& image);

}  // namespace npt
