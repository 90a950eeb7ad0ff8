// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A counter of events owned by one object, with a wait handle that is ready while the counter is
// not zero: a thread blocked on the handle wakes when another thread signals. An eventfd on
// Linux (close-on-exec, non-blocking); on Windows a manual-reset event kept set exactly while the
// counter, guarded by a lock, is not zero, so waiting on it never takes a signal.
#include "hid/wait_handle.h"

#ifdef _WIN32
#include <cstdint>
#include <mutex>
#endif

namespace npt::hid {

class EventCounter {
  public:
    enum class Counting {
        All,  // a take takes the whole count: any number of signals wake once
        One,  // a take takes one: each signal is taken by one take
    };
    // Throws std::system_error when the system gives no descriptor or event object.
    explicit EventCounter(Counting counting = Counting::All);
    ~EventCounter();
    EventCounter(const EventCounter&) = delete;
    EventCounter& operator=(const EventCounter&) = delete;

    WaitHandle handle() const { return handle_; }
    // Adds one to the counter. A full counter (never reached in practice) still leaves the
    // handle ready, so the signal is not lost.
    void signal() const;
    // Takes what the counter holds (all of it, or one); false when it held nothing.
    bool take() const;

  private:
    WaitHandle handle_;
#ifdef _WIN32
    const Counting counting_;
    mutable std::mutex mutex_;  // guards count_ and the event's state
    mutable std::uint64_t count_ = 0;
#endif
};

}  // namespace npt::hid
