// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HID transport's main loop on Qt's event loop: posts are queued calls, wait handles are
// watched by socket notifiers (descriptors, on Linux) or event notifiers (event objects, on
// Windows), timers are QTimers. Posting never waits for the main thread, so
// a reader handing a report over cannot deadlock against a main thread that waits for it.
#include <QObject>
#include <map>
#include <memory>

#include "hid/main_loop.h"

class QTimer;
#ifdef _WIN32
class QWinEventNotifier;
#else
class QSocketNotifier;
#endif

namespace npt {

class QtMainLoop final : public hid::MainLoop {
  public:
    // Create on the main thread, after the application object.
    QtMainLoop();
    ~QtMainLoop() override;
    QtMainLoop(const QtMainLoop&) = delete;
    QtMainLoop& operator=(const QtMainLoop&) = delete;

    void post(Callback callback) override;
    WatchId watchReady(hid::WaitHandle handle, Callback callback) override;
    void unwatch(WatchId id) override;
    TimerId startTimer(std::chrono::milliseconds interval, bool repeating,
                       Callback callback) override;
    void stopTimer(TimerId id) override;

  private:
    // Receives the queued calls; when it goes, calls still queued are dropped.
    std::unique_ptr<QObject> context_;
#ifdef _WIN32
    using Notifier = QWinEventNotifier;
#else
    using Notifier = QSocketNotifier;
#endif
    std::map<WatchId, Notifier*> watches_;  // owned by context_
    std::map<TimerId, QTimer*> timers_;     // owned by context_
    std::uint64_t nextId_ = 1;
};

}  // namespace npt
