// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file so that the old content survives any failure, on Windows: the bytes go to a
// temporary file beside the target (a new name, created exclusively), flushed to disk
// (FlushFileBuffers), which then replaces the target in one step: ReplaceFileW keeps the old
// file's attributes and permissions; a new file, or a target ReplaceFileW cannot serve, is moved
// into place with MoveFileExW, written through to disk. The temporary file is removed on any
// failure.
//
// Ctrl+C or Ctrl+Break in the console (npt.exe) waits while a file is replaced, as a signal does
// on Linux: the program ends once the temporary file is gone or has become the target; a second
// one ends it at once.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <vector>

#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/save_target.h"
#include "os/windows_error.h"

namespace npt {

namespace {
// NTFS and FAT allow 255 UTF-16 units in a name; 255 bytes of UTF-8 never need more.
constexpr std::size_t kNameMax = 255;

std::atomic<int> pendingControl{0};
std::atomic<const wchar_t*> namedTemporary{nullptr};

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // a closed console or a logoff: Windows ends the program regardless
    }
    if (pendingControl.exchange(1) == 0) {
        return TRUE;  // held back until the file is replaced or left as it was
    }
    if (const wchar_t* name = namedTemporary.load(); name != nullptr) {
        ::DeleteFileW(name);
    }
    return FALSE;  // the second one ends the program now
}

class ControlHeldBack {
  public:
    ControlHeldBack() : installed_(::SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0) {}
    ~ControlHeldBack() {
        if (installed_) {
            ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
        }
        if (pendingControl.exchange(0) != 0) {
            std::_Exit(static_cast<int>(STATUS_CONTROL_C_EXIT));
        }
    }
    ControlHeldBack(const ControlHeldBack&) = delete;
    ControlHeldBack& operator=(const ControlHeldBack&) = delete;
    bool signalled() const { return pendingControl.load() != 0; }

  private:
    bool installed_;
};

std::string randomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::random_device device;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[device() % (sizeof kLetters - 1)];
    }
    return suffix;
}

class Temporary {
  public:
    Temporary(const SaveTarget& target, const std::string& chosen, const std::string& prefix)
        : chosen_(chosen), prefix_(prefix) {
        for (int attempt = 0;; ++attempt) {
            name_ = temporaryPath(target, kNameMax, randomSuffix());
            wide_ = wideFromUtf8(name_);
            // Shared, so that a library writing the file by its name can open it too.
            const HANDLE handle =
                ::CreateFileW(wide_.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
                if (fd_ < 0) {
                    ::CloseHandle(handle);
                    remove();
                    throwErrnoError(chosen, prefix, EMFILE);
                }
                namedTemporary.store(wide_.c_str());
                return;
            }
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt == 100) {
                name_.clear();
                throwWindowsError(chosen, prefix, error);
            }
        }
    }
    ~Temporary() {
        closeFile();
        remove();
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    const std::string& path() const { return name_; }
    const std::wstring& wideName() const { return wide_; }
    int fd() const { return fd_; }

    // Flushes the file to disk and closes it, ready to replace the target.
    void finish() {
        const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
        if (handle == INVALID_HANDLE_VALUE || !::FlushFileBuffers(handle)) {
            throwWindowsError(chosen_, prefix_, ::GetLastError());
        }
        if (!closeFile()) {
            throwErrnoError(chosen_, prefix_, errno);
        }
    }
    // The file has replaced the target: its name is the target's now.
    void keep() {
        namedTemporary.store(nullptr);
        name_.clear();
    }

  private:
    void remove() {
        if (!name_.empty()) {
            namedTemporary.store(nullptr);
            ::DeleteFileW(wide_.c_str());
            name_.clear();
        }
    }
    bool closeFile() {
        if (fd_ < 0) {
            return true;
        }
        const bool closed = ::_close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

    const std::string& chosen_;
    const std::string& prefix_;
    std::string name_;
    std::wstring wide_;
    int fd_ = -1;
};

// Puts the complete temporary file in the target's place; the Windows error when it cannot.
DWORD putInPlace(const SaveTarget& target, const Temporary& temp) {
    const std::wstring destination = wideFromUtf8(target.path);
    if (target.exists &&
        ::ReplaceFileW(destination.c_str(), temp.wideName().c_str(), nullptr,
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr)) {
        return ERROR_SUCCESS;
    }
    if (target.exists) {
        // Another program holds the file open without letting it be replaced: a rename would be
        // refused too, and only as "access denied"; the doctor is told which program's doing it
        // is. ERROR_UNABLE_TO_MOVE_REPLACEMENT (the old file gone, the new one still under its
        // temporary name) and other refusals fall through to the rename.
        if (const DWORD error = ::GetLastError(); error == ERROR_SHARING_VIOLATION ||
                                                  error == ERROR_LOCK_VIOLATION ||
                                                  error == ERROR_USER_MAPPED_FILE) {
            return error;
        }
    }
    // A new file, or a target that ReplaceFileW cannot replace (some network shares, FAT).
    if (::MoveFileExW(temp.wideName().c_str(), destination.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    return ::GetLastError();
}
}  // namespace

std::vector<std::uint8_t> fileContent(int fd) {
    const __int64 size = ::_filelengthi64(fd);
    const __int64 position = ::_telli64(fd);
    if (size <= 0 || position < 0 || ::_lseeki64(fd, 0, SEEK_SET) < 0) {
        return {};
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const int n =
            ::_read(fd, bytes.data() + got,
                    static_cast<unsigned>(std::min<std::size_t>(bytes.size() - got, 1u << 30)));
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::_lseeki64(fd, position, SEEK_SET);
    bytes.resize(got);
    return bytes;
}

bool writeFully(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const int n = ::_write(
            fd, bytes.data(), static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30)));
        if (n <= 0) {
            errno = n < 0 ? errno : EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

void replaceFileAtomically(const std::string& path, const std::string& messagePrefix,
                           const std::function<void(const TemporaryFile& temp)>& produce) {
    const ControlHeldBack heldBack;  // goes last, after the temporary file
    const SaveTarget target = findSaveTarget(path, messagePrefix);
    Temporary temp(target, path, messagePrefix);
    produce({temp.path(), temp.fd(), target.directory});
    temp.finish();
    if (heldBack.signalled()) {
        return;  // the program ends once the temporary file is gone, the target as it was
    }
    if (const DWORD error = putInPlace(target, temp); error != ERROR_SUCCESS) {
        throwWindowsError(path, messagePrefix, error);
    }
    temp.keep();
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         const std::string& messagePrefix) {
    replaceFileAtomically(path, messagePrefix, [&](const TemporaryFile& temp) {
        if (!writeFully(temp.fd, bytes)) {
            throwErrnoError(path, messagePrefix, errno);
        }
    });
}

std::optional<std::string> reasonForFailedWrite(int fd) {
    constexpr std::size_t kProbeSize = 4u << 20;
    const std::vector<std::uint8_t> probe(kProbeSize, 0);
    if (::_lseeki64(fd, 0, SEEK_END) < 0 || !writeFully(fd, probe)) {
        return reasonForErrno(errno);
    }
    return std::nullopt;
}

}  // namespace npt
