// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/file_error.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

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
        case ELOOP:
            return "слишком много символических ссылок подряд";
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
        case ETXTBSY:
        case EBUSY:
            return "файл занят другой программой";
        default: {
#ifdef _WIN32
            return "системная ошибка " + std::to_string(error);
#else
            const char* name = strerrorname_np(error);
            return std::string("системная ошибка ") +
                   (name != nullptr ? name : std::to_string(error));
#endif
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

#ifdef _WIN32
std::string reasonForWindowsError(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return reasonForErrno(ENOENT);
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return reasonForErrno(EACCES);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return kOpenElsewhereReason;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return reasonForErrno(ENOSPC);
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
            return "превышена квота на диске";
        case ERROR_FILE_TOO_LARGE:
            return reasonForErrno(EFBIG);
        case ERROR_WRITE_PROTECT:
            return "диск защищён от записи";
        case ERROR_NOT_READY:
            return "диск не готов (нет носителя?)";
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return "недопустимое имя файла или папки";
        case ERROR_FILENAME_EXCED_RANGE:
            return reasonForErrno(ENAMETOOLONG);
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_DEV_NOT_EXIST:
            return "сетевая папка недоступна";
        case ERROR_CANT_RESOLVE_FILENAME:
            return reasonForErrno(ELOOP);
        case ERROR_CANT_ACCESS_FILE:
            return "ссылка ведёт к недоступному файлу";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "файл с таким именем уже есть";
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return reasonForErrno(EIO);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return reasonForErrno(ENOMEM);
        case ERROR_TOO_MANY_OPEN_FILES:
            return reasonForErrno(EMFILE);
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return reasonForErrno(EPIPE);
        default:
            return "системная ошибка Windows " + std::to_string(error);
    }
}

void throwWindowsError(const std::string& path, const std::string& prefix, unsigned long error) {
    throwFileError(path, prefix, reasonForWindowsError(error));
}
#endif

void throwFileError(const std::string& path, const std::string& prefix, const std::string& reason) {
    throw FileError(path, reason, prefix + " «" + path + "»: " + reason + ".");
}

void throwErrnoError(const std::string& path, const std::string& prefix, int error) {
    throwFileError(path, prefix, reasonForErrno(error));
}

}  // namespace npt
