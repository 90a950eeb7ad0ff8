// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/file_system.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "os/utf8_path.h"

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>

#include "os/windows_error.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace npt {

#ifdef _WIN32

PathKind pathKind(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(wideFromUtf8(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::Missing
                                                                              : PathKind::Other;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return PathKind::Directory;
    }
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? PathKind::Other : PathKind::RegularFile;
}

// Windows tells whether a folder takes new files only by trying: a file made and removed at once.
bool directoryWritable(const std::string& directory) {
    std::wstring probe = wideFromUtf8(directory);
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') {
        probe += L'\\';
    }
    probe += L".npt-desk-write-test-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

int createDirectory(const std::string& directory) {
    if (::CreateDirectoryW(wideFromUtf8(directory).c_str(), nullptr)) {
        return 0;
    }
    switch (::GetLastError()) {
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        default:
            return EIO;
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE file =
            ::CreateFileW(wideFromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
        ::CloseHandle(file);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return identity(a, first) && identity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::string executableDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return ".";
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const auto slash = buffer.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "." : utf8FromWide(buffer.substr(0, slash));
}

std::optional<std::string> environmentVariable(const char* name) {
    const std::wstring wideName = wideFromUtf8(name);
    const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) {
        return std::nullopt;
    }
    std::wstring value(n, L'\0');
    const DWORD got = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
    value.resize(got);
    return utf8FromWide(value);
}

std::string userSettingsBase() {
    PWSTR folder = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder) == S_OK) {
        std::string base = utf8FromWide(folder);
        ::CoTaskMemFree(folder);
        return base;
    }
    ::CoTaskMemFree(folder);
    return environmentVariable("APPDATA").value_or(".");
}

std::string userDataBase() {
    PWSTR folder = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK) {
        std::string base = utf8FromWide(folder);
        ::CoTaskMemFree(folder);
        return base;
    }
    ::CoTaskMemFree(folder);
    return environmentVariable("LOCALAPPDATA").value_or(".");
}

// The user's own folders under %LOCALAPPDATA% are closed to others by their inherited rights.
int createPrivateFile(const std::string& path) {
    const HANDLE file = ::CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS ? 0 : error == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    ::CloseHandle(file);
    return 0;
}

namespace {
int createPrivateDirectory(const std::string& directory) {
    return createDirectory(directory);
}
}  // namespace

#else

PathKind pathKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? PathKind::Missing : PathKind::Other;
    }
    if (S_ISREG(info.st_mode)) {
        return PathKind::RegularFile;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::Other;
}

bool directoryWritable(const std::string& directory) {
    return ::access(directory.c_str(), W_OK) == 0;
}

int createDirectory(const std::string& directory) {
    return ::mkdir(directory.c_str(), 0777) == 0 ? 0 : errno;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string executableDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return ".";
    }
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::string userSettingsBase() {
    if (const auto xdg = environmentVariable("XDG_CONFIG_HOME"); xdg && xdg->starts_with('/')) {
        return *xdg;
    }
    return environmentVariable("HOME").value_or(".") + "/.config";
}

std::string userDataBase() {
    if (const auto xdg = environmentVariable("XDG_DATA_HOME"); xdg && xdg->starts_with('/')) {
        return *xdg;
    }
    return environmentVariable("HOME").value_or(".") + "/.local/share";
}

int createPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno == EEXIST ? 0 : errno;
    }
    ::close(fd);
    return 0;
}

namespace {
int createPrivateDirectory(const std::string& directory) {
    return ::mkdir(directory.c_str(), 0700) == 0 ? 0 : errno;
}
}  // namespace

#endif

int createPrivateDirectories(const std::string& directory) {
    const std::filesystem::path path = pathFromUtf8(directory);
    if (path.empty() || pathKind(directory) == PathKind::Directory) {
        return 0;
    }
    if (path.has_parent_path() && path.parent_path() != path) {
        if (const int error = createPrivateDirectories(utf8FromPath(path.parent_path()));
            error != 0) {
            return error;
        }
    }
    const int error = createPrivateDirectory(directory);
    return error == EEXIST && pathKind(directory) == PathKind::Directory ? 0 : error;
}

}  // namespace npt
