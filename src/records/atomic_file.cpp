#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <vector>

#include "records/file_error.h"
#include "records/save_target.h"

namespace npt {

namespace {
void ignoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGXFSZ, SIG_IGN);
    }
}

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
class Temporary {
  public:
    Temporary(const SaveTarget& target, const std::string& chosen, const std::string& prefix)
        : target_(target) {
        const std::size_t nameMax = nameMaxIn(target.directory);
        // A replaced file's owner and permissions are set when the content is complete; until
        // then only the user may read it. A new file gets what the umask allows.
        const mode_t mode = target.exists ? 0600 : 0666;
        for (int attempt = 0; fd_ < 0; ++attempt) {
            path_ = temporaryPath(target, nameMax, randomSuffix());
            fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
                throwErrnoError(chosen, prefix, errno);
            }
        }
    }
    ~Temporary() {
        closeFile();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    // Gives the file the owner and mode of the one it replaces, syncs and closes it; errno set
    // when that fails.
    bool finish() {
        if (target_.exists) {
            keepOwnerAndMode(target_.existing);
        }
        const bool synced = ::fsync(fd_) == 0;
        const int error = errno;
        const bool closed = closeFile();
        errno = synced ? errno : error;
        return synced && closed;
    }
    void keep() { path_.clear(); }

  private:
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
    std::string path_;
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
    const SaveTarget target = findSaveTarget(path, messagePrefix);
    Temporary temp(target, path, messagePrefix);
    produce({temp.path(), temp.fd(), target.directory});
    if (!temp.finish()) {
        throwErrnoError(path, messagePrefix, errno);
    }
    if (::rename(temp.path().c_str(), target.path.c_str()) != 0) {
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
