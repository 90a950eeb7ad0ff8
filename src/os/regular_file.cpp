// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/file_error.h"
#include "os/unique_fd.h"

namespace npt {

namespace {
void refuseUnlessRegular(const std::string& path, const std::string& prefix,
                         const struct stat& info) {
    const std::string reason = reasonForFileType(info.st_mode);
    if (!reason.empty()) {
        throwFileError(path, prefix, reason);
    }
}
}  // namespace

std::vector<std::uint8_t> readRegularFile(const std::string& path, const std::string& messagePrefix,
                                          std::size_t maxBytes) {
    // Look before opening: opening a FIFO waits for a writer, and opening some devices acts.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throwErrnoError(path, messagePrefix, errno);
    }
    refuseUnlessRegular(path, messagePrefix, info);
    // The name may have been replaced since: O_NONBLOCK keeps even a FIFO from blocking the
    // open, and the descriptor itself is checked again.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        throwErrnoError(path, messagePrefix, errno);
    }
    if (::fstat(fd.get(), &info) != 0) {
        throwErrnoError(path, messagePrefix, errno);
    }
    refuseUnlessRegular(path, messagePrefix, info);

    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    while (bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - bytes.size());
        const ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throwErrnoError(path, messagePrefix, errno);
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

}  // namespace npt
