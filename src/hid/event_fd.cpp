// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/event_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace npt::hid {

EventFd::EventFd(Counting counting)
    : fd_(::eventfd(0,
                    EFD_CLOEXEC | EFD_NONBLOCK | (counting == Counting::One ? EFD_SEMAPHORE : 0))) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

EventFd::~EventFd() {
    ::close(fd_);
}

void EventFd::signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(fd_, &one, sizeof one);
}

bool EventFd::take() const {
    std::uint64_t count = 0;
    return ::read(fd_, &count, sizeof count) == sizeof count;
}

}  // namespace npt::hid
