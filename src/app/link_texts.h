// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the recorder link: the read and write sessions' messages, and what the doctor is
// told when the radio adapter refuses a command or cannot be used.
#include <cstdint>
#include <string>

namespace npt::link_texts {

// A command that did not reach the adapter: a plain box with this title.
inline constexpr const char* kSendTitle = "Радиоканал";
// "Команда не передана датчику: <reason>." for an errno value of a failed write.
std::string sendFailure(int error);
// The reason alone, in Russian, with the HID cases a doctor meets (unplugged, no access).
std::string adapterReason(int error);

// The adapter cannot be opened for writing: the udev rule installed with the program grants it.
inline constexpr const char* kNoAccessReason =
    "нет доступа к адаптеру радиоканала. Установите правило udev «70-npt-recorder.rules», "
    "которое входит в установку программы (sudo cmake --install, затем sudo udevadm control "
    "--reload), и подключите адаптер заново";

// An adapter with the recorder's identity whose output or input report is not 33 bytes long
// (report ID included; 0: the lengths could not be read).
inline constexpr const char* kAdapterTitle = "Адаптер радиоканала";
std::string unsupportedAdapter(std::uint16_t outputReportLength,
                               std::uint16_t inputReportLength = 33);
// A second adapter with the recorder's identity: it hears the same recorder, and its copies of
// the answer would be mixed into the read.
inline constexpr const char* kSeveralAdaptersText =
    "Подключено несколько адаптеров радиоканала датчика. Программа работает с тем, который был "
    "подключён первым; остальные не используются. Чтобы не ошибиться датчиком, оставьте "
    "подключённым один адаптер.";

// The read session.
inline constexpr const char* kNoCommandTitle = "Ошибочное действие";
inline constexpr const char* kNoCommandText =
    "Перед работой с датчиком нажмите кнопку \"Чтение\" или \"Запись\"!";
inline constexpr const char* kReadErrorTitle = "Ошибка!";
inline constexpr const char* kIncompleteText = "Не прочитан весь обьем памяти датчика!";
inline constexpr const char* kOverlongText = "Превышен обьем при чтении памяти датчика!";
// "В файл" and the export while a read is not whole: the night would pass for the recorder's
// memory.
inline constexpr const char* kSaveTitle = "Сохранение данных";
inline constexpr const char* kReadNotOverText =
    "Чтение памяти датчика ещё не закончено: сохранить запись можно, когда индикатор станет "
    "зелёным. Если датчик не отвечает, нажмите «Чтение» ещё раз.";
inline constexpr const char* kReadIncompleteSaveText =
    "Память датчика прочитана не полностью или не по порядку, и сохранённая запись была бы "
    "неверной, поэтому она не сохраняется. Нажмите «Чтение» ещё раз: запись остаётся в памяти "
    "датчика.";

// A file loaded while a read or a write still awaited the recorder: the session ends there, so
// that nothing more of it reaches the loaded recording, and the doctor is told what that leaves.
inline constexpr const char* kReadCutTitle = "Чтение прервано";
inline constexpr const char* kReadCutText =
    "Чтение датчика прервано загрузкой файла: его память не прочитана. Чтобы прочитать её, "
    "нажмите «Чтение» ещё раз.";
inline constexpr const char* kWriteCutTitle = "Запись не подтверждена";
inline constexpr const char* kWriteCutText =
    "Запись паспорта прервана загрузкой файла, и датчик её не подтвердил: он может быть не "
    "запрограммирован. Нажмите «Запись» ещё раз и дождитесь сообщения о запуске датчика, прежде "
    "чем отдать его пациенту.";

// The write session.
inline constexpr const char* kPassportCheckTitle = "Проверка паспортной части";
inline constexpr const char* kNoNameText = "Укажите ФИО пациента!";
inline constexpr const char* kNoAgeText = "Укажите возраст пациента!";
inline constexpr const char* kQuestionTitle = "Внимание!";
inline constexpr const char* kWriteQuestion = "Записать во Flash память датчика?";
inline constexpr const char* kStartQuestion = "Запустить измерение в 22:00?";
inline constexpr const char* kStartedTitle = "Режим работы датчика";
inline constexpr const char* kStartedNowText = "Датчик запущен сейчас!";
inline constexpr const char* kStartsAt22Text = "Датчик будет запущен в 22:00!";

}  // namespace npt::link_texts
