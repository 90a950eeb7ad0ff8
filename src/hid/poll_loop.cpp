// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/poll_loop.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace npt::hid {

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

MainLoop::WatchId PollLoop::watchReadable(int fd, Callback callback) {
    const WatchId id = nextId_++;
    watches_.emplace(id, Watch{fd, std::move(callback)});
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

    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    fds.push_back({wake_.fd(), POLLIN, 0});
    for (const auto& [id, watch] : watches_) {
        fds.push_back({watch.fd, POLLIN, 0});
        ids.push_back(id);
    }
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready < 0 && errno != EINTR) {
        throw std::system_error(errno, std::generic_category(), "poll");
    }
    if (ready > 0 && (fds[0].revents & POLLIN)) {
        wake_.take();
    }

    bool handled = runPosted();
    handled = runDueTimers() || handled;
    if (ready > 0) {
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
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
