// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "os/file_error.h"
#include "os/save_target.h"

namespace npt {

namespace {
void ignoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGXFSZ, SIG_IGN);
    }
}

// ---- A termination signal while a file is replaced ----------------------------------------
//
// SIGINT (Ctrl+C), SIGTERM (a logout, kill) and SIGHUP (the terminal closed) would end the
// program between two writes and leave the temporary file beside the target. While a file is
// replaced they wait: the write goes on to the point where the temporary file either is gone or
// has become the file, and the signal then ends the program as it would have. A second signal
// does not wait: it removes the temporary file if it has a name, and ends the program at once.
// Signals the program ignores or handles itself are left alone.

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t pendingSignal = 0;
// The temporary file's name while it has one in the folder, for the handler to remove.
char namedTemporary[PATH_MAX];
std::atomic<bool> temporaryNamed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void endAsSignalled(int signal) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);  // not reached: the signal's own action ends the program
}

extern "C" void onTerminationSignal(int signal) {
    if (pendingSignal == 0) {
        pendingSignal = signal;
        return;
    }
    if (temporaryNamed.load()) {
        ::unlink(namedTemporary);
    }
    // Delivered once this handler returns, as the signal is blocked while it runs.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

// Holds termination signals back for its lifetime (on the thread that writes files, one at a
// time); a signal that came meanwhile ends the program when it goes.
class TerminationHeldBack {
  public:
    TerminationHeldBack() {
        struct sigaction handler {};
        handler.sa_handler = onTerminationSignal;
        ::sigemptyset(&handler.sa_mask);
        for (int signal : kTerminationSignals) {
            ::sigaddset(&handler.sa_mask, signal);
        }
        for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
            struct sigaction current {};
            installed_[i] = ::sigaction(kTerminationSignals[i], nullptr, &current) == 0 &&
                            (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL &&
                            ::sigaction(kTerminationSignals[i], &handler, nullptr) == 0;
        }
    }
    ~TerminationHeldBack() {
        for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
            if (installed_[i]) {
                struct sigaction standard {};
                standard.sa_handler = SIG_DFL;
                ::sigaction(kTerminationSignals[i], &standard, nullptr);
            }
        }
        if (const int signal = pendingSignal; signal != 0) {
            endAsSignalled(signal);
        }
    }
    TerminationHeldBack(const TerminationHeldBack&) = delete;
    TerminationHeldBack& operator=(const TerminationHeldBack&) = delete;

    bool signalled() const { return pendingSignal != 0; }

  private:
    bool installed_[std::size(kTerminationSignals)] = {};
};

void nameTemporary(const std::string& path) {
    temporaryNamed.store(false);
    if (path.size() < sizeof namedTemporary) {
        std::memcpy(namedTemporary, path.c_str(), path.size() + 1);
        temporaryNamed.store(true);
    }
}

void unnameTemporary() {
    temporaryNamed.store(false);
}

// ---- The temporary file ------------------------------------------------------------------

std::string randomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy yet: the exclusive create below still keeps names apart.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter;
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

std::size_t nameMaxIn(const std::string& directory) {
    const long max = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

// The temporary file beside the target, removed again unless it has replaced the target.
//
// Where the file system allows, it has no name until it is complete and synced (O_TMPFILE):
// whatever ends the program before that (a crash, SIGKILL, a power cut) leaves nothing beside the
// target. Writers that open files by name reach it as /proc/self/fd/N. It gets a name, the same
// as the fallback's, only to be renamed onto the target. Elsewhere (a file system without
// O_TMPFILE, no /proc) it is created under that name at once.
class Temporary {
  public:
    Temporary(const SaveTarget& target, const std::string& chosen, const std::string& prefix)
        : target_(target), chosen_(chosen), prefix_(prefix), nameMax_(nameMaxIn(target.directory)) {
        // A replaced file's owner and permissions are set when the content is complete; until
        // then only the user may read it. A new file gets what the umask allows.
        const mode_t mode = target.exists ? 0600 : 0666;
        fd_ = ::open(target.directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            path_ = "/proc/self/fd/" + std::to_string(fd_);
            if (::access(path_.c_str(), F_OK) == 0) {
                return;
            }
            closeFile();
        }
        // Any refusal of an unnamed file (not supported here, the folder not writable, …) is
        // met again, with its reason, by the named one.
        for (int attempt = 0; fd_ < 0; ++attempt) {
            name_ = temporaryPath(target, nameMax_, randomSuffix());
            fd_ = ::open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
                name_.clear();
                throwErrnoError(chosen, prefix, errno);
            }
        }
        nameTemporary(name_);
        path_ = name_;
    }
    ~Temporary() {
        closeFile();
        if (!name_.empty()) {
            unnameTemporary();
            ::unlink(name_.c_str());
        }
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    // Gives the file the owner and mode of the one it replaces, syncs it, gives it its name
    // beside the target and closes it. Throws FileError when that fails.
    void finish() {
        if (target_.exists) {
            keepOwnerAndMode(target_.existing);
        }
        if (::fsync(fd_) != 0) {
            throwErrnoError(chosen_, prefix_, errno);
        }
        if (name_.empty()) {
            giveName();
        }
        if (!closeFile()) {
            throwErrnoError(chosen_, prefix_, errno);
        }
    }
    // The file has replaced the target: its name is the target's now.
    void keep() {
        unnameTemporary();
        name_.clear();
    }
    const std::string& name() const { return name_; }

  private:
    void giveName() {
        for (int attempt = 0;; ++attempt) {
            const std::string name = temporaryPath(target_, nameMax_, randomSuffix());
            nameTemporary(name);
            if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                name_ = name;
                return;
            }
            unnameTemporary();
            if (errno != EEXIST || attempt == 100) {
                throwErrnoError(chosen_, prefix_, errno);
            }
        }
    }
    void keepOwnerAndMode(const struct stat& existing) {
        // Changing the owner needs privilege; a user may still pass the file to one of their
        // groups. Either failing leaves the file the user's own, which is what they may do.
        if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
            // Kept in a variable: the fortified C library will not let the result be dropped.
            [[maybe_unused]] const int groupOnly =
                ::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
        }
        (void)::fchmod(fd_, existing.st_mode & 07777);
    }
    bool closeFile() {
        if (fd_ < 0) {
            return true;
        }
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

    const SaveTarget& target_;
    const std::string& chosen_;
    const std::string& prefix_;
    std::size_t nameMax_;
    std::string path_;  // where writers reach the file
    std::string name_;  // its name in the folder, while it has one
    int fd_ = -1;
};

void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The new file is in place and its content on disk; a folder that cannot be synced
        // (some file systems refuse) changes nothing the user could act on.
        (void)::fsync(fd);
        ::close(fd);
    }
}
}  // namespace

std::vector<std::uint8_t> fileContent(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0) {
        return {};
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool writeFully(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
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
    ignoreFileSizeSignal();
    const TerminationHeldBack heldBack;  // goes last, after the temporary file
    const SaveTarget target = findSaveTarget(path, messagePrefix);
    Temporary temp(target, path, messagePrefix);
    produce({temp.path(), temp.fd(), target.directory});
    temp.finish();
    if (heldBack.signalled()) {
        return;  // the program ends once the temporary file is gone, the target as it was
    }
    if (::rename(temp.name().c_str(), target.path.c_str()) != 0) {
        throwErrnoError(path, messagePrefix, errno);
    }
    temp.keep();
    syncDirectory(target.directory);
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
    if (::lseek(fd, 0, SEEK_END) < 0 || !writeFully(fd, probe)) {
        return reasonForErrno(errno);
    }
    return std::nullopt;
}

}  // namespace npt
