// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Windows: the temporary file is a named file beside the target (Windows has no unnamed file
// that can be given a name later), written, flushed to disk (FlushFileBuffers) and put in the
// target's place by ReplaceFileW, which keeps the replaced file's attributes and permissions;
// a new file is renamed into place (MoveFileExW, written through). The target is never
// missing: either the old file or the new one has its name at every moment.
//
// Ctrl+C, Ctrl+Break and a closed console window wait, as termination signals do on Linux,
// until the temporary file is gone or has become the file.
// windows.h first: bcrypt.h needs its types.
#include <windows.h>

#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/save_target.h"
#include "os/utf8_path.h"

namespace npt {

namespace {

// ---- The console's Ctrl+C while a file is replaced ---------------------------------------
//
// Windows calls the handler on a thread of its own. While a file is replaced the handler waits
// for the replacement to end, and the program then ends as Ctrl+C ends it; outside a
// replacement the console's next handler (by default, the one that ends the program) acts.

std::atomic<bool> replacing{false};
std::atomic<bool> interruptedWhileReplacing{false};
HANDLE replacementDone = nullptr;  // set when no file is being replaced

BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
    if (replacing.load()) {
        interruptedWhileReplacing.store(true);
        ::WaitForSingleObject(replacementDone, INFINITE);
    }
    return FALSE;
}

class ConsoleEventsHeldBack {
  public:
    ConsoleEventsHeldBack() {
        static const bool installed = [] {
            replacementDone = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
            return replacementDone != nullptr && ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
        }();
        installed_ = installed;
        if (installed_) {
            ::ResetEvent(replacementDone);
            replacing.store(true);
        }
    }
    ~ConsoleEventsHeldBack() {
        if (installed_) {
            replacing.store(false);
            ::SetEvent(replacementDone);
        }
        if (interruptedWhileReplacing.load()) {
            ::ExitProcess(STATUS_CONTROL_C_EXIT);
        }
    }
    ConsoleEventsHeldBack(const ConsoleEventsHeldBack&) = delete;
    ConsoleEventsHeldBack& operator=(const ConsoleEventsHeldBack&) = delete;

    bool interrupted() const { return interruptedWhileReplacing.load(); }

  private:
    bool installed_ = false;
};

// ---- The temporary file ------------------------------------------------------------------

std::string randomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        // The exclusive create below still keeps names apart.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::GetCurrentProcessId()) * 2654435761u +
                              static_cast<unsigned>(::GetTickCount()) + ++counter;
        for (std::size_t i = 0; i < sizeof random; ++i) {
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
        }
    }
    std::string suffix;
    for (unsigned char r : random) {
        suffix += kLetters[r % (sizeof kLetters - 1)];
    }
    return suffix;
}

// NTFS, FAT and exFAT hold names of 255 UTF-16 units; the temporary name is measured in UTF-8
// bytes, which never undercounts them.
constexpr std::size_t kNameMax = 255;

// The temporary file beside the target, removed again unless it has replaced the target. Its
// descriptor is the C library's, over a handle that lets writers open the file by its name
// meanwhile (the spreadsheet library does).
class Temporary {
  public:
    Temporary(const SaveTarget& target, const std::string& chosen, const std::string& prefix)
        : chosen_(chosen), prefix_(prefix) {
        for (int attempt = 0;; ++attempt) {
            name_ = temporaryPath(target, kNameMax, randomSuffix());
            handle_ = ::CreateFileW(wideFromUtf8(name_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) {
                break;
            }
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt == 100) {
                name_.clear();
                throwWindowsError(chosen, prefix, error);
            }
        }
        fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle_), _O_RDWR | _O_BINARY);
        if (fd_ < 0) {
            ::CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
            removeFile();
            throwErrnoError(chosen, prefix, EMFILE);
        }
    }
    ~Temporary() {
        closeFile();
        removeFile();
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    const std::string& name() const { return name_; }
    int fd() const { return fd_; }

    // Flushes the file to disk and closes it. Throws FileError when that fails.
    void finish() {
        if (!::FlushFileBuffers(handle_)) {
            throwWindowsError(chosen_, prefix_, ::GetLastError());
        }
        if (!closeFile()) {
            throwErrnoError(chosen_, prefix_, errno);
        }
    }
    // The file has replaced the target: its name is the target's now.
    void keep() { name_.clear(); }

  private:
    bool closeFile() {
        if (fd_ < 0) {
            return true;
        }
        const bool closed = ::_close(fd_) == 0;  // closes the handle too
        fd_ = -1;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }
    void removeFile() {
        if (!name_.empty()) {
            ::DeleteFileW(wideFromUtf8(name_).c_str());
            name_.clear();
        }
    }

    const std::string& chosen_;
    const std::string& prefix_;
    std::string name_;  // its name in the folder, while it is not the target's
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int fd_ = -1;
};

bool moveIntoPlace(const std::wstring& temp, const std::wstring& target) {
    return ::MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Puts the temporary file in the place of the target. The error code when it could not, the
// target then as it was.
DWORD replaceTarget(const SaveTarget& target, const std::string& temp) {
    const std::wstring wideTemp = wideFromUtf8(temp);
    const std::wstring wideTarget = wideFromUtf8(target.path);
    if (!target.exists) {
        return moveIntoPlace(wideTemp, wideTarget) ? ERROR_SUCCESS : ::GetLastError();
    }
    if (::ReplaceFileW(wideTarget.c_str(), wideTemp.c_str(), nullptr,
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = ::GetLastError();
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_ACCESS_DENIED:
            // Another program holds the file, or the user may not replace it: renaming over it
            // would be refused the same way.
            return error;
        default:
            // ERROR_UNABLE_TO_MOVE_REPLACEMENT: the old file is gone and the new one still has
            // its temporary name, so it must be renamed now; other refusals (a file system
            // that cannot replace, a network share) leave both as they were, and a rename
            // replaces the file as well, keeping less of its attributes.
            return moveIntoPlace(wideTemp, wideTarget) ? ERROR_SUCCESS : ::GetLastError();
    }
}

}  // namespace

std::vector<std::uint8_t> fileContent(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    LARGE_INTEGER size{};
    if (handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(handle, &size) || size.QuadPart <= 0) {
        return {};
    }
    const __int64 offset = ::_lseeki64(fd, 0, SEEK_CUR);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    if (offset >= 0 && ::_lseeki64(fd, 0, SEEK_SET) == 0) {
        while (got < bytes.size()) {
            const std::size_t want = std::min<std::size_t>(bytes.size() - got, INT_MAX);
            const int n = ::_read(fd, bytes.data() + got, static_cast<unsigned>(want));
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        ::_lseeki64(fd, offset, SEEK_SET);
    }
    bytes.resize(got);
    return bytes;
}

bool writeFully(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size(), 1u << 30);
        const int n = ::_write(fd, bytes.data(), static_cast<unsigned>(chunk));
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
    const ConsoleEventsHeldBack heldBack;  // goes last, after the temporary file
    const SaveTarget target = findSaveTarget(path, messagePrefix);
    Temporary temp(target, path, messagePrefix);
    produce({temp.name(), temp.fd(), target.directory});
    temp.finish();
    if (heldBack.interrupted()) {
        return;  // the program ends once the temporary file is gone, the target as it was
    }
    if (const DWORD error = replaceTarget(target, temp.name()); error != ERROR_SUCCESS) {
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
