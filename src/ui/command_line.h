// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What npt-desk is asked to do on its command line: open a recording at start (a desktop entry
// passes the file chosen in the file manager), or, for a machine without a screen, draw the
// window once into a picture and end. Qt's own options are taken out before this is read.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace npt {

struct DeskOptions {
    std::optional<std::string> file;        // the recording to open once the window is shown
    std::optional<std::string> screenshot;  // PNG: draw the window, save it there and end
    bool demoRecorder = false;              // a simulated recorder instead of the radio adapter
};

// The options, or nothing with a message (Russian) saying what was wrong.
std::optional<DeskOptions> parseDeskArguments(const std::vector<std::string>& arguments,
                                              std::string& error);

// Whether option (alone or as option=value) comes before any "--". Read before Qt starts, which
// needs a screen unless a picture is asked for, and so that help shows without one.
bool asksFor(const std::vector<std::string>& arguments, std::string_view option);

// The arguments without the windowing toolkit's own options (-platform NAME, -style=NAME,
// -reverse, …; with one dash or two), which it takes out itself only when it starts, and it
// cannot start without a screen: so that a wrong option of ours is said without one as well.
// Options after "--" are left, as they are no options of ours either.
std::vector<std::string> withoutToolkitOptions(const std::vector<std::string>& arguments);

inline constexpr std::string_view kScreenshotOption = "--screenshot";
inline constexpr std::string_view kHelpOption = "--help";
inline constexpr std::string_view kVersionOption = "--version";
inline constexpr std::string_view kDemoRecorderOption = "--demo-recorder";

inline constexpr const char* kDeskUsage =
    "Использование: npt-desk [--demo-recorder] [ФАЙЛ]\n"
    "Открывает окно теста ночной пенильной тумесценции; ФАЙЛ — запись датчика (.txt), которая\n"
    "открывается сразу, как кнопкой «Из файла».\n"
    "\n"
    "Ключи:\n"
    "  --demo-recorder          демонстрация без оборудования: вместо адаптера радиоканала\n"
    "                           подключён имитатор датчика с записью одной ночи; «Запись»\n"
    "                           и «Чтение» работают с ним\n"
    "  --screenshot СНИМОК.png  нарисовать окно (с записью ФАЙЛ) в картинку без экрана и выйти\n"
    "  --help                   эта справка\n"
    "  --version                версия программы";

}  // namespace npt
