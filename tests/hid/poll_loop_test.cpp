// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The poll loop: posts from other threads run on the loop's thread in order, timers and watched
// descriptors fire, and a nested round (what a modal box does) still runs what was queued.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "hid/event_counter.h"
#include "hid/poll_loop.h"

namespace npt::hid {
namespace {

using namespace std::chrono_literals;

TEST(PollLoop, PostsFromAnotherThreadRunOnTheLoopThreadInOrder) {
    PollLoop loop;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        }
    });
    poster.join();
    ASSERT_TRUE(loop.runUntil([&] { return order.size() == 100; }, 5s));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(threads[i], std::this_thread::get_id());
    }
}

TEST(PollLoop, TimersAndWatchedHandlesFire) {
    PollLoop loop;
    int once = 0;
    int repeated = 0;
    loop.startTimer(5ms, false, [&] { ++once; });
    const auto repeating = loop.startTimer(1ms, true, [&] { ++repeated; });
    ASSERT_TRUE(loop.runUntil([&] { return once == 1 && repeated >= 3; }, 5s));
    loop.stopTimer(repeating);
    const int stoppedAt = repeated;
    loop.processEvents(20ms);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeated, stoppedAt);

    const EventCounter counter;
    int ready = 0;
    const auto watch = loop.watchReady(counter.handle(), [&] {
        counter.take();
        ++ready;
    });
    counter.signal();
    ASSERT_TRUE(loop.runUntil([&] { return ready == 1; }, 5s));
    loop.unwatch(watch);
    counter.signal();
    loop.processEvents(10ms);
    EXPECT_EQ(ready, 1);
}

TEST(PollLoop, AWatchFiresAgainWhileItsHandleStaysReady) {
    // Level triggered: a callback that leaves the handle ready is called at the next round.
    PollLoop loop;
    const EventCounter counter(EventCounter::Counting::One);
    int calls = 0;
    loop.watchReady(counter.handle(), [&] {
        ++calls;
        counter.take();
    });
    counter.signal();
    counter.signal();
    counter.signal();
    ASSERT_TRUE(loop.runUntil([&] { return calls == 3; }, 5s));
    loop.processEvents(10ms);
    EXPECT_EQ(calls, 3);
}

TEST(PollLoop, NestedRoundRunsTheRestOfTheQueue) {
    PollLoop loop;
    std::vector<int> order;
    loop.post([&] {
        order.push_back(1);
        loop.processEvents(0ms);  // a modal box's loop, inside the first callable
        order.push_back(3);
    });
    loop.post([&] { order.push_back(2); });
    loop.processEvents(0ms);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace npt::hid
