// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/save_target.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <vector>

#include "os/file_error.h"
#include "os/regular_file.h"
#include "os/utf8_path.h"

namespace npt {

namespace {
#ifndef _WIN32
// As many links as the kernel itself follows in one name before giving up with ELOOP.
constexpr int kMaxLinks = 40;

std::string linkContent(const std::string& link, const std::string& chosen,
                        const std::string& prefix) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            throwErrnoError(chosen, prefix, errno);
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}
#endif

// The length of the longest prefix of text within limit bytes that ends between characters.
std::size_t cutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;  // never split a UTF-8 sequence
    }
    return cut;
}
}  // namespace

#ifdef _WIN32
// Windows separates path parts by "\\" or "/", and "C:" names a drive's current folder.
std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (slash == std::string::npos) {
        return drive ? path.substr(0, 2) : ".";
    }
    const bool root = slash == 0 || (drive && slash == 2);
    return path.substr(0, root ? slash + 1 : slash);
}

std::string baseNameOf(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos && path.size() >= 2 && path[1] == ':') {
        slash = 1;
    }
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
#else
std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
#endif

#ifdef _WIN32
namespace {
// The file a link or a junction leads to, as an ordinary path (the prefix \\?\ dropped).
std::string finalPathOf(const std::wstring& wide, const std::string& chosen,
                        const std::string& prefix) {
    HANDLE file =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throwWindowsError(chosen, prefix,
                          error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                              ? ERROR_CANT_ACCESS_FILE
                              : error);
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD length =
        ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    if (length >= final.size()) {
        final.resize(length);
        length =
            ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    if (length == 0 || length >= final.size()) {
        throwWindowsError(chosen, prefix, error);
    }
    final.resize(length);
    if (final.starts_with(L"\\\\?\\UNC\\")) {
        final = L"\\" + final.substr(7);
    } else if (final.starts_with(L"\\\\?\\")) {
        final = final.substr(4);
    }
    return utf8FromWide(final);
}
}  // namespace

// A link (or a junction on the way) is followed by Windows itself when the file is opened;
// only the name of the file it leads to is needed, so that the file, not the link, is
// replaced. What may not be replaced: a folder, a device, a pipe, a read-only file, a file the
// user may not write and one another program holds open without letting others write it.
SaveTarget findSaveTarget(const std::string& chosen, const std::string& messagePrefix) {
    if (namesDevice(chosen)) {
        throwFileError(chosen, messagePrefix, kDeviceReason);
    }
    SaveTarget target;
    target.path = chosen;
    std::wstring wide = wideFromUtf8(chosen);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            throwWindowsError(chosen, messagePrefix, error);
        }
        // A new file; a missing folder is met, with its reason, by the temporary file.
        target.directory = directoryOf(target.path);
        return target;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        target.path = finalPathOf(wide, chosen, messagePrefix);
        wide = wideFromUtf8(target.path);
        if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
            throwWindowsError(chosen, messagePrefix, ::GetLastError());
        }
    }
    target.exists = true;
    target.directory = directoryOf(target.path);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throwFileError(chosen, messagePrefix, reasonForErrno(EISDIR));
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throwFileError(chosen, messagePrefix, kReadOnlyFileReason);
    }
    // Opening for writing, without writing, asks the file's permissions and every program that
    // holds it open; a device or a pipe is known by its handle.
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throwWindowsError(chosen, messagePrefix, ::GetLastError());
    }
    const DWORD type = ::GetFileType(file);
    ::CloseHandle(file);
    if (type == FILE_TYPE_PIPE) {
        throwFileError(chosen, messagePrefix, kFifoReason);
    }
    if (type != FILE_TYPE_DISK) {
        throwFileError(chosen, messagePrefix, kDeviceReason);
    }
    target.existing.st_mode = S_IFREG | 0666;
    return target;
}
#else
SaveTarget findSaveTarget(const std::string& chosen, const std::string& messagePrefix) {
    SaveTarget target;
    target.path = chosen;
    for (int links = 0;; ++links) {
        if (::lstat(target.path.c_str(), &target.existing) != 0) {
            if (errno != ENOENT) {
                throwErrnoError(chosen, messagePrefix, errno);
            }
            break;  // a new file, or the file a dangling link names
        }
        if (!S_ISLNK(target.existing.st_mode)) {
            target.exists = true;
            break;
        }
        if (links == kMaxLinks) {
            throwErrnoError(chosen, messagePrefix, ELOOP);
        }
        const std::string next = linkContent(target.path, chosen, messagePrefix);
        target.path = next.starts_with('/') ? next : directoryOf(target.path) + "/" + next;
    }
    target.directory = directoryOf(target.path);
    if (!target.exists) {
        target.existing = {};
        return target;
    }
    const std::string typeReason = reasonForFileType(target.existing.st_mode);
    if (!typeReason.empty()) {
        throwFileError(chosen, messagePrefix, typeReason);
    }
    // Replacing needs only a writable folder, but a file the user may not write is not theirs
    // to replace.
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
        if (errno == EACCES || errno == EPERM) {
            throwFileError(chosen, messagePrefix, kReadOnlyFileReason);
        }
        throwErrnoError(chosen, messagePrefix, errno);
    }
    return target;
}
#endif

std::string temporaryPath(const SaveTarget& target, std::size_t nameMax, std::string_view suffix) {
    const std::string name = baseNameOf(target.path);
    const std::size_t fixed = 2 + suffix.size();  // the two points
    const std::size_t room = nameMax > fixed ? nameMax - fixed : 0;
#ifdef _WIN32
    std::string temp = target.directory;
    if (!temp.empty() && temp.back() != '\\' && temp.back() != '/' && temp.back() != ':') {
        temp += '\\';
    }
    temp += '.';
#else
    std::string temp = target.directory + "/.";
#endif
    temp.append(name, 0, cutAtCharacter(name, room));
    temp += '.';
    temp += suffix;
    return temp;
}

}  // namespace npt
