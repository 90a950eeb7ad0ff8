// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/event_counter.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace npt::hid {

EventCounter::EventCounter(Counting counting)
    : handle_(::eventfd(
          0, EFD_CLOEXEC | EFD_NONBLOCK | (counting == Counting::One ? EFD_SEMAPHORE : 0))) {
    if (handle_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

EventCounter::~EventCounter() {
    ::close(handle_);
}

void EventCounter::signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(handle_, &one, sizeof one);
}

bool EventCounter::take() const {
    std::uint64_t count = 0;
    return ::read(handle_, &count, sizeof count) == sizeof count;
}

}  // namespace npt::hid
