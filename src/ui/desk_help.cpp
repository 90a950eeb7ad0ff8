// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desk_help.h"

#include "npt_version.h"

namespace npt {

std::string deskHelpText() {
    return std::string("npt-desk ") + kVersion +
           " — тест ночной пенильной тумесценции: запись паспорта пациента в датчик, чтение "
           "ночи, график, анализ эпизодов и отчёт.\n\n"
           "Клавиши:\n"
           "Ctrl+O — «Из файла»\n"
           "Ctrl+S — «В файл»\n"
           "Ctrl+P — «Печать»\n"
           "F1 — эта справка\n"
           "Пока датчик передаёт память, Ctrl+O, Ctrl+S и Ctrl+P не действуют: дождитесь "
           "конца чтения.\n\n"
           "Подробное описание: man npt-desk.\n"
           "Лицензия: " +
           kLicense + " (условия — в файле " + kCopyrightFile + ").";
}

}  // namespace npt
