// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/silenced_stderr.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

namespace npt {

namespace {
std::mutex& stderrMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

#ifdef _WIN32
// The C runtime's descriptors, and the null device's Windows name.
SilencedStderr::SilencedStderr() : lock_(stderrMutex()) {
    std::fflush(stderr);
    saved_ = ::_dup(2);
    if (saved_ < 0) {
        return;
    }
    const int null = ::_open("NUL", _O_WRONLY | _O_NOINHERIT);
    if (null < 0 || ::_dup2(null, 2) < 0) {
        ::_close(saved_);
        saved_ = -1;
    }
    if (null >= 0) {
        ::_close(null);
    }
}

SilencedStderr::~SilencedStderr() {
    if (saved_ < 0) {
        return;
    }
    std::fflush(stderr);
    ::_dup2(saved_, 2);
    ::_close(saved_);
}
#else
SilencedStderr::SilencedStderr() : lock_(stderrMutex()) {
    std::fflush(stderr);
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (saved_ < 0) {
        return;  // no standard error to protect: the library's lines go nowhere anyway
    }
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0 || ::dup2(null, STDERR_FILENO) < 0) {
        ::close(saved_);
        saved_ = -1;
    }
    if (null >= 0) {
        ::close(null);
    }
}

SilencedStderr::~SilencedStderr() {
    if (saved_ < 0) {
        return;
    }
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
}
#endif

}  // namespace npt
