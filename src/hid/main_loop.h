// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the HID transport needs from whoever runs the main thread: run a callable there, watch a
// wait handle (a descriptor on Linux, an event object on Windows), and timers. The window runs it
// on Qt's event loop, the `npt` tool and the tests on PollLoop.
#include <chrono>
#include <cstdint>
#include <functional>

#include "hid/wait_handle.h"

namespace npt::hid {

class MainLoop {
  public:
    using Callback = std::function<void()>;
    using WatchId = std::uint64_t;
    using TimerId = std::uint64_t;

    virtual ~MainLoop() = default;

    // Queues callback to run on the main thread, after the events already queued. Callable from
    // any thread; never waits for the callback to run.
    virtual void post(Callback callback) = 0;

    // Main thread only. Calls callback on the main thread whenever handle is ready (readable, or
    // signalled; level triggered: it is called again while the callback leaves it ready). handle
    // stays owned by the caller and must stay open until unwatch.
    virtual WatchId watchReady(WaitHandle handle, Callback callback) = 0;
    virtual void unwatch(WatchId id) = 0;

    // Main thread only. Calls callback once after interval, or every interval when repeating,
    // until stopTimer.
    virtual TimerId startTimer(std::chrono::milliseconds interval, bool repeating,
                               Callback callback) = 0;
    virtual void stopTimer(TimerId id) = 0;
};

}  // namespace npt::hid
