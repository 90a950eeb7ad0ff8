// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's two timers in a view without a screen. Given a main loop, they tick on it, each
// tick going to the view's handler (Timer1Timer, Timer2Timer); without one, they are only
// remembered as running, and whoever drives the view fires them.
#include <chrono>
#include <functional>
#include <map>
#include <utility>

#include "app/form_view.h"
#include "hid/main_loop.h"

namespace npt {

class ViewTimers {
  public:
    explicit ViewTimers(std::function<void(TimerId)> onTick) : onTick_(std::move(onTick)) {}
    // A timer left running must not tick into a view that is gone.
    ~ViewTimers() {
        for (TimerId timer : {TimerId::Timer1, TimerId::Timer2}) {
            stop(timer);
        }
    }
    ViewTimers(const ViewTimers&) = delete;
    ViewTimers& operator=(const ViewTimers&) = delete;

    // Timers started from now on tick on loop, which must outlive them.
    void runOn(hid::MainLoop& loop) { loop_ = &loop; }

    // Starts the timer, or starts it afresh when it is running.
    void start(TimerId timer, int intervalMs) {
        stop(timer);
        hid::MainLoop::TimerId id = 0;
        if (loop_ != nullptr) {
            id = loop_->startTimer(std::chrono::milliseconds(intervalMs), true,
                                   [this, timer] { onTick_(timer); });
        }
        running_[timer] = id;
    }
    void stop(TimerId timer) {
        const auto it = running_.find(timer);
        if (it == running_.end()) {
            return;
        }
        if (loop_ != nullptr) {
            loop_->stopTimer(it->second);
        }
        running_.erase(it);
    }
    bool running(TimerId timer) const { return running_.contains(timer); }

  private:
    std::function<void(TimerId)> onTick_;
    hid::MainLoop* loop_ = nullptr;
    std::map<TimerId, hid::MainLoop::TimerId> running_;  // with the loop's own id
};

}  // namespace npt
