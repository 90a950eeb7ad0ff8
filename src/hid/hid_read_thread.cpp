// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/hid_read_thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <pthread.h>
#endif

#include <algorithm>
#include <cerrno>

#include "hid/hid_device.h"

namespace npt::hid {

namespace {

// What ended one wait of the reader.
enum class Wait {
    Woken,        // the wake handle: a stop, or the device became unusable
    Ready,        // a report is waiting on the channel
    Gone,         // the channel reports a hang-up or an error without data
    Timeout,      // a whole slice without either
    Interrupted,  // a signal cut the wait short
    Failed,       // the wait itself failed
};

#ifdef _WIN32

void nameThisThread() {
    // SetThreadDescription is there from Windows 10 1607 on; a debugger shows the name.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC proc =
        kernel != nullptr ? ::GetProcAddress(kernel, "SetThreadDescription") : nullptr;
    if (proc != nullptr) {
        // Through a pointer to a function without parameters, which any function pointer may
        // become and be turned back from.
        const auto setDescription =
            reinterpret_cast<SetDescription>(reinterpret_cast<void (*)()>(proc));
        setDescription(::GetCurrentThread(), L"hid-reader");
    }
}

Wait waitFor(WaitHandle channel, WaitHandle wake, std::int32_t ms) {
    // The wake handle first: when both are ready the lower index is reported, as the stop
    // request is looked at first on Linux too.
    const HANDLE handles[2] = {wake, channel};
    switch (::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(std::max(ms, 0)))) {
        case WAIT_OBJECT_0:
            return Wait::Woken;
        case WAIT_OBJECT_0 + 1:
            return Wait::Ready;  // the completed read tells a report from the device gone
        case WAIT_TIMEOUT:
            return Wait::Timeout;
        default:
            return Wait::Failed;
    }
}

bool waitForWake(WaitHandle wake, std::int32_t ms) {
    return ::WaitForSingleObject(wake, static_cast<DWORD>(std::max(ms, 0))) == WAIT_OBJECT_0;
}

#else

void nameThisThread() {
    ::pthread_setname_np(::pthread_self(), "hid-reader");
}

Wait waitFor(WaitHandle channel, WaitHandle wake, std::int32_t ms) {
    pollfd fds[2] = {{channel, POLLIN, 0}, {wake, POLLIN, 0}};
    const int ready = ::poll(fds, 2, std::max(ms, 0));
    if (ready < 0) {
        return errno == EINTR ? Wait::Interrupted : Wait::Failed;
    }
    if (fds[1].revents != 0) {
        return Wait::Woken;
    }
    if (ready == 0) {
        return Wait::Timeout;
    }
    return (fds[0].revents & POLLIN) != 0 ? Wait::Ready : Wait::Gone;
}

bool waitForWake(WaitHandle wake, std::int32_t ms) {
    pollfd fd{wake, POLLIN, 0};
    return ::poll(&fd, 1, std::max(ms, 0)) > 0;
}

#endif

}  // namespace

struct THidDeviceReadThread::Link {
    std::mutex mutex;  // guards every field below
    std::condition_variable changed;
    bool stop = false;
    // Idle: the reader owns the buffer. Waiting: a hand-off is posted and not yet run. Running:
    // the main thread is inside the device's handler with the buffer.
    enum class State { Idle, Waiting, Running } state = State::Idle;
    std::uint64_t handOff = 0;  // number of the latest hand-off
    bool isReport = false;
    std::size_t bytesRead = 0;
    std::uint32_t error = 0;
    std::vector<std::uint8_t> report;  // the receive buffer, report ID first
    THidDevice* device = nullptr;      // null once the reader has been stopped
};

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device,
                                           std::shared_ptr<const THidDeviceFlags> flags,
                                           THidPnPInfo info, HidPlatform& platform, MainLoop& loop,
                                           std::size_t reportLength, bool numberedReports)
    : link_(std::make_shared<Link>()),
      flags_(std::move(flags)),
      info_(std::move(info)),
      platform_(platform),
      loop_(loop),
      numberedReports_(numberedReports) {
    link_->device = &device;
    // Room for the report ID at least, even for a device that declares no input report.
    link_->report.assign(std::max<std::size_t>(reportLength, 1), 0);
    thread_ = std::thread([this] { Execute(); });
}

THidDeviceReadThread::~THidDeviceReadThread() {
    if (thread_.joinable()) {
        Stop(false);
    }
}

void THidDeviceReadThread::Wake() {
    wake_.signal();
}

void THidDeviceReadThread::Serve(const std::shared_ptr<Link>& link, std::uint64_t handOff) {
    using State = Link::State;
    std::unique_lock lock(link->mutex);
    if (link->state != State::Waiting || (handOff != 0 && link->handOff != handOff) ||
        link->device == nullptr) {
        return;  // already served, or the reader was stopped meanwhile
    }
    link->state = State::Running;
    THidDevice* device = link->device;
    const bool isReport = link->isReport;
    const std::size_t bytesRead = link->bytesRead;
    const std::uint32_t error = link->error;
    lock.unlock();
    // The handler may check the device in or free it: nothing below touches the device.
    if (isReport) {
        device->DeliverReport(link->report.data(), bytesRead);
    } else {
        device->DeliverReadError(error);
    }
    lock.lock();
    link->state = State::Idle;
    link->changed.notify_all();
}

void THidDeviceReadThread::Stop(bool serveWaiting) {
    {
        std::lock_guard lock(link_->mutex);
        link_->stop = true;
    }
    link_->changed.notify_all();
    Wake();
    if (serveWaiting) {
        Serve(link_, 0);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard lock(link_->mutex);
    link_->device = nullptr;
}

bool THidDeviceReadThread::StopRequested() {
    std::lock_guard lock(link_->mutex);
    return link_->stop;
}

bool THidDeviceReadThread::HandOff(bool isReport, std::size_t bytesRead, std::uint32_t error) {
    std::uint64_t number;
    {
        std::lock_guard lock(link_->mutex);
        if (link_->stop) {
            return false;
        }
        link_->state = Link::State::Waiting;
        number = ++link_->handOff;
        link_->isReport = isReport;
        link_->bytesRead = bytesRead;
        link_->error = error;
    }
    loop_.post([link = link_, number] { Serve(link, number); });
    std::unique_lock lock(link_->mutex);
    link_->changed.wait(lock, [this] { return link_->state == Link::State::Idle || link_->stop; });
    return !link_->stop;
}

void THidDeviceReadThread::Pause(std::int32_t ms) {
    if (waitForWake(wake_.handle(), ms)) {
        wake_.take();
    }
}

void THidDeviceReadThread::Execute() {
    nameThisThread();
    std::vector<std::uint8_t>& report = link_->report;  // ours while no hand-off is under way
    std::unique_ptr<HidReadChannel> channel;
    while (!StopRequested()) {
        const std::int32_t slice = flags_->threadSleepTime;
        if (!flags_->usable()) {
            // Unplugged: the handle goes, and no read can start until the device is checked in.
            channel.reset();
            reading_ = false;
            if (!HandOff(false, 0, ENODEV)) {
                break;
            }
            Pause(slice);
            continue;
        }
        if (!channel) {
            int error = 0;
            channel = platform_.openRead(info_, numberedReports_, error);
            reading_ = channel != nullptr;
            if (!channel) {
                if (!HandOff(false, 0, static_cast<std::uint32_t>(error))) {
                    break;
                }
                Pause(slice);
                continue;
            }
        }

        const Wait wait = waitFor(channel->waitHandle(), wake_.handle(), slice);
        if (wait == Wait::Interrupted) {
            // A signal only interrupts the wait: wait again at once, for the device sends on
            // and its queue is short.
            continue;
        }
        if (wait == Wait::Failed) {
            Pause(slice);  // a handle gone bad waits a slice before the next look
            continue;
        }
        if (wait == Wait::Woken) {
            wake_.take();
            continue;  // a stop, or the device became unusable
        }
        if (wait == Wait::Timeout) {
            continue;  // a whole slice without a report
        }

        HidReadChannel::Result result{HidReadChannel::Result::Gone, 0};
        if (wait == Wait::Ready) {
            std::fill(report.begin(), report.end(), 0);
            result = channel->read(report);
        }
        if (result.kind == HidReadChannel::Result::Gone) {
            // The device went away under the reader: nothing is delivered, and the next read
            // waits a slice (by then the node is usually gone and the retry pace takes over).
            channel.reset();
            reading_ = false;
            Pause(slice);
            continue;
        }
        if (result.kind == HidReadChannel::Result::Report && result.size > 0) {
            if (!HandOff(true, result.size, 0)) {
                break;
            }
            const std::int32_t delay = flags_->pollingDelayTime;
            if (delay > 0) {
                Pause(delay);
            }
        }
    }
    channel.reset();
    reading_ = false;
}

}  // namespace npt::hid
