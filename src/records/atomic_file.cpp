#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "records/file_error.h"

namespace npt {

std::string reasonForErrno(int error) {
    switch (error) {
        case ENOENT:
            return "файл или папка не найдены";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case EISDIR:
            return "это папка, а не файл";
        case ENOTDIR:
            return "в пути есть не папка";
        case ENOSPC:
            return "нет места на диске";
        case EROFS:
            return "диск доступен только для чтения";
        case EDQUOT:
            return "превышена квота на диске";
        case ENAMETOOLONG:
            return "слишком длинное имя файла";
        case EIO:
            return "ошибка ввода-вывода";
        default:
            return std::strerror(error);
    }
}

namespace {
[[noreturn]] void fail(const std::string& path, const std::string& prefix, int error) {
    const std::string reason = reasonForErrno(error);
    throw FileError(path, reason, prefix + " «" + path + "»: " + reason + ".");
}

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

// Creates an empty, uniquely named temporary file beside path; returns its name and descriptor.
std::pair<std::string, int> createTempBeside(const std::string& path, const std::string& prefix) {
    std::string templ = directoryOf(path) + "/." + baseNameOf(path) + ".XXXXXX";
    const int fd = mkstemp(templ.data());
    if (fd < 0) {
        fail(path, prefix, errno);
    }
    // Keep the permissions of the file being replaced, or the usual ones for a new file.
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    return {templ, fd};
}

void commit(const std::string& tempPath, const std::string& path, const std::string& prefix) {
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        ::unlink(tempPath.c_str());
        fail(path, prefix, EISDIR);
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        fail(path, prefix, error);
    }
}
}  // namespace

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         const std::string& messagePrefix) {
    auto [tempPath, fd] = createTempBeside(path, messagePrefix);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(tempPath.c_str());
            fail(path, messagePrefix, error);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        fail(path, messagePrefix, error);
    }
    commit(tempPath, path, messagePrefix);
}

void replaceFileAtomically(const std::string& path, const std::string& messagePrefix,
                           const std::function<void(const std::string& tempPath)>& produce) {
    auto [tempPath, fd] = createTempBeside(path, messagePrefix);
    ::close(fd);
    try {
        produce(tempPath);
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
    commit(tempPath, path, messagePrefix);
}

}  // namespace npt
