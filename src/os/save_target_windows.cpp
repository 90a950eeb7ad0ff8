// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Where a file the user chose is written, on Windows: a symbolic link or junction is followed to
// the file it names; a folder, a pipe, a device, a read-only file and a file another program
// holds open without sharing it (a workbook open in a spreadsheet program) are refused before
// anything is written.
#include <windows.h>

#include <cerrno>

#include "os/file_error.h"
#include "os/file_handle_windows.h"
#include "os/save_target.h"
#include "os/windows_error.h"

namespace npt {

namespace {
// The final name of the file a link leads to, as a plain path ("\\?\C:\..." → "C:\...").
std::string finalPath(HANDLE file, const std::string& fallback) {
    std::wstring buffer(1024, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= buffer.size()) {
        return fallback;
    }
    std::wstring_view name(buffer.data(), n);
    if (name.starts_with(L"\\\\?\\UNC\\")) {
        return "\\\\" + utf8FromWide(name.substr(8));
    }
    if (name.starts_with(L"\\\\?\\")) {
        name.remove_prefix(4);
    }
    return utf8FromWide(name);
}
}  // namespace

SaveTarget findSaveTarget(const std::string& chosen, const std::string& messagePrefix) {
    if (namesDevice(chosen)) {
        throwFileError(chosen, messagePrefix, kDeviceReason);
    }
    SaveTarget target;
    target.path = chosen;
    const std::wstring name = wideFromUtf8(chosen);
    DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            throwWindowsError(chosen, messagePrefix, error);
        }
        target.directory = directoryOf(target.path);
        return target;  // a new file; its folder is checked when the temporary file is made
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const FileHandle link(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
        if (!link.valid()) {
            throwWindowsError(chosen, messagePrefix, ::GetLastError());
        }
        target.path = finalPath(link.get(), chosen);
        attributes = ::GetFileAttributesW(wideFromUtf8(target.path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            throwWindowsError(chosen, messagePrefix, ::GetLastError());
        }
    }
    target.exists = true;
    target.directory = directoryOf(target.path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throwFileError(chosen, messagePrefix, reasonForErrno(EISDIR));
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throwFileError(chosen, messagePrefix, kReadOnlyFileReason);
    }
    // Opened for writing as the replacement will need it: a file the user may not write, or one
    // that another program keeps open for itself, is refused now with its reason.
    const FileHandle file(::CreateFileW(wideFromUtf8(target.path).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            throwFileError(chosen, messagePrefix, kReadOnlyFileReason);
        }
        throwWindowsError(chosen, messagePrefix, error);
    }
    switch (::GetFileType(file.get())) {
        case FILE_TYPE_DISK:
            return target;
        case FILE_TYPE_PIPE:
            throwFileError(chosen, messagePrefix, kFifoReason);
        default:
            throwFileError(chosen, messagePrefix, kDeviceReason);
    }
}

}  // namespace npt
