// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/poll_loop.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace npt::hid {

namespace {

#ifdef _WIN32

// Waits up to timeout until one of handles is signalled; then tells which ones are. The handles
// are level (see wait_handle.h): looking at them does not take their signal. The loop's thread
// owns no window (the hot-plug notifications have a thread of their own), so there are no
// messages to dispatch.
std::vector<bool> readyHandles(const std::vector<WaitHandle>& handles,
                               std::chrono::milliseconds timeout) {
    const auto ms =
        static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(timeout.count(), INFINITE - 1));
    std::vector<bool> ready(handles.size(), false);
    const DWORD result =
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, ms);
    if (result == WAIT_FAILED) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "WaitForMultipleObjects");
    }
    if (result == WAIT_TIMEOUT) {
        return ready;
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        ready[i] = ::WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0;
    }
    return ready;
}

#else

// Waits up to timeout until one of the descriptors is readable or reports an error or hang-up;
// then tells which ones do. A signal ends the wait with none ready.
std::vector<bool> readyHandles(const std::vector<WaitHandle>& handles,
                               std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    fds.reserve(handles.size());
    for (const WaitHandle fd : handles) {
        fds.push_back({fd, POLLIN, 0});
    }
    std::vector<bool> ready(handles.size(), false);
    const int count = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (count < 0 && errno != EINTR) {
        throw std::system_error(errno, std::generic_category(), "poll");
    }
    for (std::size_t i = 0; count > 0 && i < fds.size(); ++i) {
        ready[i] = fds[i].revents != 0;
    }
    return ready;
}

#endif

}  // namespace

PollLoop::PollLoop() = default;
PollLoop::~PollLoop() = default;

void PollLoop::wake() {
    wake_.signal();
}

void PollLoop::post(Callback callback) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(callback));
    }
    wake();
}

MainLoop::WatchId PollLoop::watchReady(WaitHandle handle, Callback callback) {
#ifdef _WIN32
    // One wait takes at most MAXIMUM_WAIT_OBJECTS handles, the loop's own wake handle among them.
    if (watches_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) {
        throw std::length_error("PollLoop: too many handles watched");
    }
#endif
    const WatchId id = nextId_++;
    watches_.emplace(id, Watch{handle, std::move(callback)});
    return id;
}

void PollLoop::unwatch(WatchId id) {
    watches_.erase(id);
}

MainLoop::TimerId PollLoop::startTimer(std::chrono::milliseconds interval, bool repeating,
                                       Callback callback) {
    const TimerId id = nextId_++;
    timers_.emplace(id, Timer{Clock::now() + interval, interval, repeating, std::move(callback)});
    return id;
}

void PollLoop::stopTimer(TimerId id) {
    timers_.erase(id);
}

bool PollLoop::runPosted() {
    // Only what was queued before this round: a callable that posts again does not starve the
    // descriptors and timers. Taken one at a time, so a nested round sees the rest.
    std::size_t count;
    {
        std::lock_guard lock(postedMutex_);
        count = posted_.size();
    }
    bool ran = false;
    for (; count > 0; --count) {
        Callback next;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty()) {
                break;
            }
            next = std::move(posted_.front());
            posted_.pop_front();
        }
        next();
        ran = true;
    }
    return ran;
}

bool PollLoop::runDueTimers() {
    bool ran = false;
    const auto now = Clock::now();
    std::vector<TimerId> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) {
            due.push_back(id);
        }
    }
    for (TimerId id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end()) {
            continue;  // stopped by an earlier callback of this round
        }
        Callback callback = it->second.callback;
        if (it->second.repeating) {
            it->second.due = now + it->second.interval;
        } else {
            timers_.erase(it);
        }
        callback();
        ran = true;
    }
    return ran;
}

bool PollLoop::processEvents(std::chrono::milliseconds timeout) {
    auto wait = timeout;
    {
        std::lock_guard lock(postedMutex_);
        if (!posted_.empty()) {
            wait = std::chrono::milliseconds(0);
        }
    }
    const auto now = Clock::now();
    for (const auto& [id, timer] : timers_) {
        const auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(timer.due - now);
        wait = std::min(wait, std::max(untilDue, std::chrono::milliseconds(0)));
    }

    std::vector<WaitHandle> handles;
    std::vector<WatchId> ids;
    handles.push_back(wake_.handle());
    for (const auto& [id, watch] : watches_) {
        handles.push_back(watch.handle);
        ids.push_back(id);
    }
    const std::vector<bool> ready = readyHandles(handles, wait);
    if (ready[0]) {
        wake_.take();
    }

    bool handled = runPosted();
    handled = runDueTimers() || handled;
    for (std::size_t i = 1; i < handles.size(); ++i) {
        if (!ready[i]) {
            continue;
        }
        auto it = watches_.find(ids[i - 1]);
        if (it == watches_.end()) {
            continue;  // unwatched by an earlier callback of this round
        }
        Callback callback = it->second.callback;
        callback();
        handled = true;
    }
    return handled;
}

bool PollLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds(0)) {
            return done();
        }
        // Short rounds: done() may also turn true through another thread's work.
        processEvents(std::min(left, std::chrono::milliseconds(5)));
    }
    return true;
}

void PollLoop::run() {
    for (;;) {
        {
            std::lock_guard lock(postedMutex_);
            if (quit_) {
                quit_ = false;
                return;
            }
        }
        processEvents(std::chrono::hours(1));
    }
}

void PollLoop::quit() {
    {
        std::lock_guard lock(postedMutex_);
        quit_ = true;
    }
    wake();
}

}  // namespace npt::hid
