// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_main_loop.h"

#include <QMetaObject>
#include <QTimer>
#ifdef _WIN32
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

namespace npt {

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(Callback callback) {
    QMetaObject::invokeMethod(context_.get(), std::move(callback), Qt::QueuedConnection);
}

hid::MainLoop::WatchId QtMainLoop::watchReady(hid::WaitHandle handle, Callback callback) {
    const WatchId id = nextId_++;
#ifdef _WIN32
    // The notifier waits on a thread pool's thread and, after each activation, waits again: a
    // manual-reset event that the callback leaves set fires again, as a readable descriptor does.
    auto* notifier = new Notifier(handle, context_.get());
#else
    auto* notifier = new Notifier(handle, QSocketNotifier::Read, context_.get());
#endif
    QObject::connect(notifier, &Notifier::activated, context_.get(),
                     [callback = std::move(callback)] { callback(); });
    watches_.emplace(id, notifier);
    return id;
}

void QtMainLoop::unwatch(WatchId id) {
    auto it = watches_.find(id);
    if (it == watches_.end()) {
        return;
    }
    // The notifier may be the one whose signal is running now: disable it, delete it later.
    it->second->setEnabled(false);
    it->second->deleteLater();
    watches_.erase(it);
}

hid::MainLoop::TimerId QtMainLoop::startTimer(std::chrono::milliseconds interval, bool repeating,
                                              Callback callback) {
    const TimerId id = nextId_++;
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(!repeating);
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, context_.get(),
                     [this, id, repeating, callback = std::move(callback)] {
                         if (!repeating) {
                             stopTimer(id);
                         }
                         callback();
                     });
    timers_.emplace(id, timer);
    timer->start();
    return id;
}

void QtMainLoop::stopTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return;
    }
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

}  // namespace npt
