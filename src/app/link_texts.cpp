#include "app/link_texts.h"

#include <cerrno>

#include "analysis/analysis_text.h"
#include "records/file_error.h"

namespace npt::link_texts {

std::string adapterReason(int error) {
    switch (error) {
        case ENODEV:
        case ENXIO:
        case ENOENT:
        case ESHUTDOWN:
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

std::string unsupportedAdapter(std::uint16_t outputReportLength) {
    const std::string length = outputReportLength == 0
                                   ? std::string("длину его отчётов прочитать не удалось")
                                   : "он принимает команды отчётами по " +
                                         std::to_string(outputReportLength) + " " +
                                         pluralRu(outputReportLength, "байту", "байта", "байт");
    return "Подключён адаптер радиоканала (USB 1915:007B), но " + length +
           ", а программа работает только с адаптером датчика, принимающим отчёты по 33 байта. "
           "Этот адаптер не используется: подключите адаптер, поставляемый с датчиком.";
}

}  // namespace npt::link_texts
