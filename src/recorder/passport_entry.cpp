// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/passport_entry.h"

#include <charconv>

#include "recorder/cp1251.h"
#include "recorder/memory_image.h"
#include "recorder/utf8.h"

namespace npt::passport_entry {

namespace {

constexpr std::size_t kNameCharacters = ImageOffsets::kNameLength;
constexpr std::size_t kPasswordCharacters = ImageOffsets::kPasswordLength;
// The name's character at image offset 100, counted from 0.
constexpr std::size_t kProbePlace = ImageOffsets::kNameLastByte - ImageOffsets::kName;
constexpr char32_t kSmallYa = U'я';  // Windows-1251 0xFF

std::string quoted(char32_t c) {
    std::string text = "«";
    utf8::append(text, c);
    return text + "»";
}

// The first character the code page cannot hold, among the first count; U+FFFD for text that
// is not UTF-8 at all.
std::optional<char32_t> unstorable(const std::u32string& text, std::size_t count) {
    for (std::size_t i = 0; i < text.size() && i < count; ++i) {
        if (!cp1251::fromUnicode(text[i])) {
            return text[i];
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> nameProblem(std::string_view nameUtf8) {
    const auto text = utf8::decode(nameUtf8);
    if (!text) {
        return std::string("ФИО пациента не удалось прочитать как текст. Введите его заново.");
    }
    if (const auto c = unstorable(*text, kNameCharacters)) {
        return "В ФИО пациента есть знак " + quoted(*c) +
               ", который датчик не может сохранить. Оставьте в ФИО русские и латинские буквы, "
               "цифры, пробелы и знаки препинания.";
    }
    if (text->size() > kProbePlace && (*text)[kProbePlace] == kSmallYa) {
        return std::string(
            "Буква «я» не может стоять в ФИО пациента на 22-м месте: датчик прочитал бы такой "
            "паспорт как пустую память. Сократите ФИО или запишите его иначе (например, с "
            "инициалами).");
    }
    return std::nullopt;
}

std::optional<std::string> passwordProblem(std::string_view passwordUtf8) {
    const auto text = utf8::decode(passwordUtf8);
    if (!text) {
        return std::string("Пароль не удалось прочитать как текст. Введите его заново.");
    }
    if (const auto c = unstorable(*text, kPasswordCharacters)) {
        return "В пароле есть знак " + quoted(*c) +
               ", который датчик не может сохранить. Используйте русские и латинские буквы и "
               "цифры.";
    }
    for (std::size_t i = 0; i < text->size() && i < kPasswordCharacters; ++i) {
        if ((*text)[i] == kSmallYa) {
            return std::string(
                "Пароль не может содержать букву «я»: датчик хранит её как «нет пароля», и ФИО "
                "пациента осталось бы незащищённым. Введите другой пароль.");
        }
    }
    return std::nullopt;
}

std::optional<unsigned> age(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > 255) {
        return std::nullopt;
    }
    return value;
}

}  // namespace npt::passport_entry
