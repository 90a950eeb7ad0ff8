// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/event_counter.h"

#include <windows.h>

#include <system_error>

namespace npt::hid {

EventCounter::EventCounter(Counting counting)
    : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), counting_(counting) {
    if (handle_ == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    }
}

EventCounter::~EventCounter() {
    ::CloseHandle(handle_);
}

void EventCounter::signal() const {
    std::lock_guard lock(mutex_);
    if (count_ != UINT64_MAX) {
        ++count_;
    }
    ::SetEvent(handle_);
}

bool EventCounter::take() const {
    std::lock_guard lock(mutex_);
    if (count_ == 0) {
        return false;
    }
    count_ = counting_ == Counting::All ? 0 : count_ - 1;
    if (count_ == 0) {
        ::ResetEvent(handle_);
    }
    return true;
}

}  // namespace npt::hid
