// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main loop on poll(2), or on WaitForMultipleObjects on Windows: posts wake it through an
// event counter, timers bound its wait. Runs the main thread of the `npt` tool and of the tests;
// nested calls (a handler that waits inside processEvents, as a modal box would) are allowed.
// On Windows it watches at most MAXIMUM_WAIT_OBJECTS - 1 (63) handles.
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "hid/event_counter.h"
#include "hid/main_loop.h"

namespace npt::hid {

class PollLoop final : public MainLoop {
  public:
    PollLoop();
    ~PollLoop() override;
    PollLoop(const PollLoop&) = delete;
    PollLoop& operator=(const PollLoop&) = delete;

    void post(Callback callback) override;
    WatchId watchReady(WaitHandle handle, Callback callback) override;
    void unwatch(WatchId id) override;
    TimerId startTimer(std::chrono::milliseconds interval, bool repeating,
                       Callback callback) override;
    void stopTimer(TimerId id) override;

    // Waits at most timeout for something to happen, then handles what is ready: the callables
    // posted so far, the timers that are due and the watched handles that are ready.
    // Returns whether anything was handled.
    bool processEvents(std::chrono::milliseconds timeout);

    // Handles events until done() holds or timeout has passed; returns done(). done() is
    // checked at least every 5 ms, so it may watch what other threads do.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Handles events until quit() is called (from any thread).
    void run();
    void quit();

  private:
    using Clock = std::chrono::steady_clock;
    struct Watch {
        WaitHandle handle;
        Callback callback;
    };
    struct Timer {
        Clock::time_point due;
        std::chrono::milliseconds interval;
        bool repeating;
        Callback callback;
    };

    void wake();
    bool runPosted();
    bool runDueTimers();

    EventCounter wake_;       // signalled by post() and quit() from any thread
    std::mutex postedMutex_;  // guards posted_ and quit_
    std::deque<Callback> posted_;
    bool quit_ = false;
    // Main thread only.
    std::map<WatchId, Watch> watches_;
    std::map<TimerId, Timer> timers_;
    std::uint64_t nextId_ = 1;
};

}  // namespace npt::hid
