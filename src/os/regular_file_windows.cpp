// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an ordinary file on Windows: names in UTF-16, a folder, a pipe or a device (CON, COM1,
// NUL …) refused before anything is read, and the file shared with programs that have it open.
#include <windows.h>

#include <algorithm>

#include "os/file_error.h"
#include "os/file_handle_windows.h"
#include "os/regular_file.h"
#include "os/windows_error.h"

namespace npt {

std::vector<std::uint8_t> readRegularFile(const std::string& path, const std::string& messagePrefix,
                                          std::size_t maxBytes) {
    const std::wstring name = wideFromUtf8(path);
    if (namesDevice(path)) {
        throwFileError(path, messagePrefix, kDeviceReason);  // not opened: CON would wait
    }
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throwFileError(path, messagePrefix, reasonForErrno(EISDIR));
    }
    // Shared for reading, writing and deleting: a recording another program has open is still
    // read, as on Linux.
    const FileHandle file(::CreateFileW(name.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        throwWindowsError(path, messagePrefix, ::GetLastError());
    }
    switch (::GetFileType(file.get())) {
        case FILE_TYPE_DISK:
            break;
        case FILE_TYPE_PIPE:
            throwFileError(path, messagePrefix, kFifoReason);
        default:
            throwFileError(path, messagePrefix, kDeviceReason);
    }

    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    while (bytes.size() < maxBytes) {
        const auto want = static_cast<DWORD>(std::min(sizeof buffer, maxBytes - bytes.size()));
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, want, &got, nullptr)) {
            throwWindowsError(path, messagePrefix, ::GetLastError());
        }
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

}  // namespace npt
