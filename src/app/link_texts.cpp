// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/link_texts.h"

#include <cerrno>

#include "analysis/analysis_text.h"
#include "os/file_error.h"

namespace npt::link_texts {

std::string adapterReason(int error) {
    switch (error) {
        case ENODEV:
        case ENXIO:
        case ENOENT:
#ifdef ESHUTDOWN
        case ESHUTDOWN:
#endif
            return "устройство отключено (адаптер радиоканала вынут из разъёма USB)";
        case EACCES:
        case EPERM:
            return kNoAccessReason;
        case EIO:
            return "ошибка ввода-вывода на адаптере радиоканала; подключите его заново";
        case EPIPE:
            return "адаптер радиоканала отверг команду; подключите его заново";
        case ETIMEDOUT:
            return "адаптер радиоканала не принял команду вовремя";
        case EAGAIN:
        case EBUSY:
            return "адаптер радиоканала занят; повторите через несколько секунд";
        case EINVAL:
        case EMSGSIZE:
            return "адаптер радиоканала не принимает отчёты такой длины";
        case EBADF:
            return "адаптер радиоканала не открыт";
        default:
            return reasonForErrno(error);
    }
}

std::string sendFailure(int error) {
    return "Команда не передана датчику: " + adapterReason(error) + ".";
}

std::string unsupportedAdapter(std::uint16_t outputReportLength, std::uint16_t inputReportLength) {
    const auto bytes = [](std::uint16_t n) {
        return std::to_string(n) + " " + pluralRu(n, "байту", "байта", "байт");
    };
    std::string reports;
    if (outputReportLength == 0 || inputReportLength == 0) {
        reports = "длину его отчётов прочитать не удалось";
    } else {
        if (outputReportLength != 33) {
            reports = "он принимает команды отчётами по " + bytes(outputReportLength);
        }
        if (inputReportLength != 33) {
            reports += (reports.empty() ? "он" : " и") +
                       std::string(" передаёт ответы датчика отчётами по ") +
                       bytes(inputReportLength);
        }
    }
    return "Подключён адаптер радиоканала (USB 1915:007B), но " + reports +
           ", а программа работает только с адаптером датчика, принимающим и передающим отчёты "
           "по 33 байта. Этот адаптер не используется: подключите адаптер, поставляемый с "
           "датчиком.";
}

}  // namespace npt::link_texts
