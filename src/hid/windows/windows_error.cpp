// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/windows/windows_error.h"

#include <windows.h>

#include <cerrno>

namespace npt::hid {

namespace {

// ERROR_NO_SUCH_DEVICE, which MinGW-w64's headers leave out.
constexpr DWORD kErrorNoSuchDevice = 433;

struct Mapping {
    DWORD code;
    int error;
};

// What each code means for a HID interface: the codes a removed device's handles and paths give
// become ENODEV, as hidraw's do on Linux.
constexpr Mapping kMappings[] = {
    {ERROR_ACCESS_DENIED, EACCES},  // opened by the system alone (keyboards, mice)
    {ERROR_PRIVILEGE_NOT_HELD, EPERM},
    {ERROR_FILE_NOT_FOUND, ENODEV},  // the interface's path is gone
    {ERROR_PATH_NOT_FOUND, ENODEV},
    {ERROR_INVALID_NAME, ENODEV},  // a path that never named an interface
    {ERROR_BAD_COMMAND, ENODEV},   // a request on a handle of a removed device
    {ERROR_DEVICE_NOT_CONNECTED, ENODEV},
    {ERROR_DEV_NOT_EXIST, ENODEV},
    {kErrorNoSuchDevice, ENODEV},
    {ERROR_DEVICE_REMOVED, ENODEV},
    {ERROR_NOT_READY, ENODEV},
    // The class driver aborts a device's pending requests when it is removed; the transport's
    // own cancels (a stop, a write's timeout) are told apart where they are made.
    {ERROR_OPERATION_ABORTED, ENODEV},
    {ERROR_GEN_FAILURE, EIO},  // the device refused or stalled the transfer
    {ERROR_CRC, EIO},
    {ERROR_IO_DEVICE, EIO},
    {ERROR_SEM_TIMEOUT, ETIMEDOUT},
    {ERROR_TIMEOUT, ETIMEDOUT},
    {ERROR_SHARING_VIOLATION, EBUSY},  // another program holds the interface exclusively
    {ERROR_BUSY, EBUSY},
    {ERROR_INVALID_USER_BUFFER, EINVAL},  // a report of another length than the device's
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_SUPPORTED, ENOTSUP},
    {ERROR_INVALID_FUNCTION, ENOTSUP},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NO_SYSTEM_RESOURCES, ENOMEM},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
};

}  // namespace

int errnoFromWindowsError(unsigned long code) {
    for (const Mapping& mapping : kMappings) {
        if (mapping.code == code) {
            return mapping.error;
        }
    }
    return EIO;
}

}  // namespace npt::hid
