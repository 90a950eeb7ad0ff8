// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/file_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace npt {

std::string reasonForErrno(int error) {
    switch (error) {
        case ENOENT:
            return "файл или папка не найдены";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case EISDIR:
            return "это папка, а не файл";
        case ENOTDIR:
            return "в пути есть не папка";
        case ENOSPC:
            return "нет места на диске";
        case EFBIG:
            return "превышен допустимый размер файла";
        case EROFS:
            return "диск доступен только для чтения";
#ifdef EDQUOT
        case EDQUOT:
            return "превышена квота на диске";
#endif
        case ENAMETOOLONG:
            return "слишком длинное имя файла";
#ifdef ELOOP
        case ELOOP:
            return "слишком много символических ссылок подряд";
#endif
        case EIO:
            return "ошибка ввода-вывода";
        case EPIPE:
            return "получатель вывода закрыл канал";
        case EBADF:
            return "файл не открыт для записи";
        case EMFILE:
        case ENFILE:
            return "открыто слишком много файлов";
        case ENOMEM:
            return "не хватает памяти";
#ifdef ETXTBSY
        case ETXTBSY:
#endif
        case EBUSY:
            return "файл занят другой программой";
        default: {
#ifdef __GLIBC__
            const char* name = strerrorname_np(error);
#else
            const char* name = nullptr;
#endif
            return std::string("системная ошибка ") +
                   (name != nullptr ? name : std::to_string(error));
        }
    }
}

std::string reasonForFileType(unsigned mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return reasonForErrno(EISDIR);
    }
    if (S_ISFIFO(mode)) {
        return kFifoReason;
    }
#ifdef S_ISSOCK
    if (S_ISSOCK(mode)) {
        return kSocketReason;
    }
#endif
    return kDeviceReason;
}

void throwFileError(const std::string& path, const std::string& prefix, const std::string& reason) {
    throw FileError(path, reason, prefix + " «" + path + "»: " + reason + ".");
}

void throwErrnoError(const std::string& path, const std::string& prefix, int error) {
    throwFileError(path, prefix, reasonForErrno(error));
}

#ifndef _WIN32
std::string reasonForSystemError(int error) {
    return reasonForErrno(error);
}

bool meansDiskFull(int error) {
    return error == ENOSPC || error == EFBIG
#ifdef EDQUOT
           || error == EDQUOT
#endif
        ;
}
#endif

}  // namespace npt
