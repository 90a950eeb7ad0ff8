// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Windows: the file is opened by its UTF-16 name and its handle asked what it is, before a byte
// is read: a device name (NUL, CON, COM1, with any ending) opens a device, and a pipe's name a
// pipe.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "os/file_error.h"
#include "os/regular_file.h"
#include "os/utf8_path.h"

namespace npt {

namespace {
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};
}  // namespace

bool namesDevice(const std::string& path) {
    const std::wstring wide = wideFromUtf8(path);
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    return n > 4 && n < MAX_PATH && std::wstring_view(full, 4) == L"\\\\.\\";
}

std::vector<std::uint8_t> readRegularFile(const std::string& path, const std::string& messagePrefix,
                                          std::size_t maxBytes) {
    if (namesDevice(path)) {
        throwFileError(path, messagePrefix, kDeviceReason);  // not even opened: CON would wait
    }
    const std::wstring wide = wideFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    // A device has no attributes to give on some systems; its handle still says what it is.
    const DWORD attributeError = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : 0;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throwFileError(path, messagePrefix, reasonForErrno(EISDIR));
    }
    // Others may go on reading and writing the file, as they may on Linux.
    const Handle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        throwWindowsError(path, messagePrefix,
                          attributeError != 0 ? attributeError : ::GetLastError());
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
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, maxBytes - bytes.size()));
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
