// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Linux eventfd owned by one object: readable while its counter is not zero, so a thread
// blocked in poll(2) on it wakes when another thread signals. Close-on-exec and non-blocking.
namespace npt::hid {

class EventFd {
  public:
    enum class Counting {
        All,  // a read takes the whole count: any number of signals wake once
        One,  // a read takes one: each signal is taken by one read (EFD_SEMAPHORE)
    };
    // Throws std::system_error when the kernel gives no descriptor.
    explicit EventFd(Counting counting = Counting::All);
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    int fd() const { return fd_; }
    // Adds one to the counter. A full counter (never reached in practice) still leaves the
    // descriptor readable, so the signal is not lost.
    void signal() const;
    // Takes what the counter holds (all of it, or one); false when it held nothing.
    bool take() const;

  private:
    int fd_;
};

}  // namespace npt::hid
