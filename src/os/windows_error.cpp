// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/windows_error.h"

#include <windows.h>

#include <cerrno>

#include "os/file_error.h"

namespace npt {

std::string reasonForWindowsError(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return reasonForErrno(ENOENT);
        case ERROR_ACCESS_DENIED:
            return reasonForErrno(EACCES);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return "файл открыт другой программой";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return reasonForErrno(ENOSPC);
        case ERROR_WRITE_PROTECT:
            return reasonForErrno(EROFS);
        case ERROR_FILENAME_EXCED_RANGE:
            return reasonForErrno(ENAMETOOLONG);
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return "недопустимое имя файла или папки";
        case ERROR_NOT_READY:
            return "диск не готов";
        case ERROR_BAD_NETPATH:
        case ERROR_NETNAME_DELETED:
        case ERROR_BAD_NET_NAME:
        case ERROR_DEV_NOT_EXIST:
            return "сетевая папка недоступна";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return reasonForErrno(ENOMEM);
        case ERROR_TOO_MANY_OPEN_FILES:
            return reasonForErrno(EMFILE);
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_SECTOR_NOT_FOUND:
            return reasonForErrno(EIO);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "такой файл уже есть";
        default:
            return "системная ошибка Windows " + std::to_string(error);
    }
}

void throwWindowsError(const std::string& path, const std::string& prefix, unsigned long error) {
    throwFileError(path, prefix, reasonForWindowsError(error));
}

std::wstring wideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

bool namesDevice(const std::string& path) {
    const std::wstring wide = wideFromUtf8(path);
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    return n > 4 && n < MAX_PATH && std::wstring_view(full, 4) == L"\\\\.\\";
}

std::string reasonForSystemError(int error) {
    return reasonForWindowsError(static_cast<unsigned long>(error));
}

bool meansDiskFull(int error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
           error == ERROR_FILE_TOO_LARGE;
}

}  // namespace npt
