// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/simulated/simulated_platform.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

namespace npt::hid {

// The reports waiting for one read handle. Its counter's handle is ready exactly while a report
// is waiting or the device has gone, like a hidraw node.
struct SimulatedHidPlatform::Queue {
    std::mutex mutex;  // guards reports and gone
    std::deque<std::vector<std::uint8_t>> reports;
    bool gone = false;
    const EventCounter ready;

    void push(std::span<const std::uint8_t> bytes) {
        std::lock_guard lock(mutex);
        if (gone) {
            return;
        }
        if (reports.empty()) {
            ready.signal();
        }
        reports.emplace_back(bytes.begin(), bytes.end());
    }
    void markGone() {
        std::lock_guard lock(mutex);
        if (!gone && reports.empty()) {
            ready.signal();
        }
        gone = true;
        reports.clear();
    }
};

class SimulatedHidPlatform::Handle final : public HidHandle {
  public:
    Handle(SimulatedHidPlatform& platform, std::uint32_t id, bool readWrite)
        : platform_(platform), id_(id), readWrite_(readWrite) {}
    bool hasReadWriteAccess() const override { return readWrite_; }
    int write(std::span<const std::uint8_t> report) override {
        return readWrite_ ? platform_.write(id_, report) : EACCES;
    }

  private:
    SimulatedHidPlatform& platform_;
    const std::uint32_t id_;
    const bool readWrite_;
};

class SimulatedHidPlatform::Channel final : public HidReadChannel {
  public:
    Channel(SimulatedHidPlatform& platform, std::uint32_t id, std::shared_ptr<Queue> queue,
            bool numberedReports)
        : platform_(platform), id_(id), queue_(std::move(queue)), numbered_(numberedReports) {}
    ~Channel() override { platform_.closeReader(id_, queue_); }
    WaitHandle waitHandle() const override { return queue_->ready.handle(); }
    Result read(std::span<std::uint8_t> buffer) override {
        std::lock_guard lock(queue_->mutex);
        if (queue_->gone) {
            return {Result::Gone, 0};
        }
        if (queue_->reports.empty()) {
            return {Result::Nothing, 0};
        }
        const std::vector<std::uint8_t> bytes = std::move(queue_->reports.front());
        queue_->reports.pop_front();
        if (queue_->reports.empty()) {
            queue_->ready.take();
        }
        // A device without numbered reports sends none: the report travels behind ID 0.
        const std::size_t offset = numbered_ ? 0 : 1;
        if (buffer.empty()) {
            return {Result::Nothing, 0};
        }
        if (!numbered_) {
            buffer[0] = 0;
        }
        const std::size_t n = std::min(bytes.size(), buffer.size() - offset);
        std::copy_n(bytes.begin(), n, buffer.begin() + offset);
        return {Result::Report, n + offset};
    }

  private:
    SimulatedHidPlatform& platform_;
    const std::uint32_t id_;
    const std::shared_ptr<Queue> queue_;
    const bool numbered_;
};

SimulatedHidPlatform::SimulatedHidPlatform() : hotplug_(EventCounter::Counting::One) {
    radio_ = std::thread([this] { radioLoop(); });
}

SimulatedHidPlatform::~SimulatedHidPlatform() {
    {
        std::lock_guard lock(radioMutex_);
        radioStop_ = true;
    }
    radioChanged_.notify_all();
    radio_.join();
}

void SimulatedHidPlatform::notifyHotplug() {
    hotplug_.signal();
}

bool SimulatedHidPlatform::takeHotplugEvent() {
    return hotplug_.take();
}

std::uint32_t SimulatedHidPlatform::plug(DeviceSpec spec, OutputHandler onOutput) {
    std::uint32_t id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        Device& device = devices_[id];
        device.spec = std::move(spec);
        device.onOutput = std::move(onOutput);
    }
    notifyHotplug();
    return id;
}

void SimulatedHidPlatform::unplug(std::uint32_t id) {
    {
        std::lock_guard lock(mutex_);
        auto it = devices_.find(id);
        if (it == devices_.end() || !it->second.plugged) {
            return;
        }
        it->second.plugged = false;
        for (const auto& queue : it->second.readers) {
            queue->markGone();
        }
    }
    notifyHotplug();
}

bool SimulatedHidPlatform::isPlugged(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(id);
    return it != devices_.end() && it->second.plugged;
}

void SimulatedHidPlatform::sendInput(std::uint32_t id, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(id);
    if (it == devices_.end() || !it->second.plugged) {
        return;
    }
    for (const auto& queue : it->second.readers) {
        queue->push(bytes);
    }
}

void SimulatedHidPlatform::failOpens(std::uint32_t id, int count, int error) {
    std::lock_guard lock(mutex_);
    Device& device = devices_.at(id);
    device.failOpens = count;
    device.openError = error;
}

void SimulatedHidPlatform::failWrites(std::uint32_t id, int count, int error) {
    std::lock_guard lock(mutex_);
    Device& device = devices_.at(id);
    device.failWrites = count;
    device.writeError = error;
}

int SimulatedHidPlatform::readersOpen(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(id);
    return it == devices_.end() ? 0 : static_cast<int>(it->second.readers.size());
}

std::vector<std::vector<std::uint8_t>> SimulatedHidPlatform::writtenReports(
    std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(id);
    return it == devices_.end() ? std::vector<std::vector<std::uint8_t>>{} : it->second.written;
}

std::vector<THidPnPInfo> SimulatedHidPlatform::presentInterfaces() {
    std::lock_guard lock(mutex_);
    std::vector<THidPnPInfo> present;
    for (const auto& [id, device] : devices_) {
        if (device.plugged) {
            present.push_back({id, "/sim/hidraw" + std::to_string(id), {}});
        }
    }
    return present;
}

bool SimulatedHidPlatform::takeOpenFailure(Device& device, int& error) {
    if (device.failOpens <= 0) {
        return false;
    }
    --device.failOpens;
    error = device.openError;
    return true;
}

std::unique_ptr<HidHandle> SimulatedHidPlatform::open(const THidPnPInfo& info, OpenStatus& status,
                                                      int& error) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(info.DeviceID);
    if (it == devices_.end() || !it->second.plugged) {
        status = OpenStatus::Vanished;
        error = ENOENT;
        return nullptr;
    }
    Device& device = it->second;
    if (takeOpenFailure(device, error)) {
        if (error == EACCES) {
            status = OpenStatus::NoAccess;  // not ours to write: still there
            return std::make_unique<Handle>(*this, info.DeviceID, false);
        }
        status = error == ENOENT ? OpenStatus::Vanished : OpenStatus::Failed;
        return nullptr;
    }
    status = device.spec.accessible ? OpenStatus::ReadWrite : OpenStatus::NoAccess;
    error = 0;
    return std::make_unique<Handle>(*this, info.DeviceID, device.spec.accessible);
}

std::optional<THidAttributes> SimulatedHidPlatform::attributes(const THidPnPInfo& info) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(info.DeviceID);
    if (it == devices_.end() || !it->second.spec.identifiable) {
        return std::nullopt;
    }
    return it->second.spec.attributes;
}

std::optional<ReportLayout> SimulatedHidPlatform::reportLayout(const THidPnPInfo& info) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(info.DeviceID);
    if (it == devices_.end()) {
        return std::nullopt;
    }
    return parseReportDescriptor(it->second.spec.reportDescriptor);
}

std::unique_ptr<HidReadChannel> SimulatedHidPlatform::openRead(const THidPnPInfo& info,
                                                               bool numberedReports, int& error) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(info.DeviceID);
    if (it == devices_.end() || !it->second.plugged) {
        error = ENOENT;
        return nullptr;
    }
    Device& device = it->second;
    if (takeOpenFailure(device, error)) {
        return nullptr;
    }
    if (!device.spec.accessible) {
        error = EACCES;
        return nullptr;
    }
    auto queue = std::make_shared<Queue>();
    device.readers.push_back(queue);
    return std::make_unique<Channel>(*this, info.DeviceID, std::move(queue), numberedReports);
}

void SimulatedHidPlatform::closeReader(std::uint32_t id, const std::shared_ptr<Queue>& queue) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(id);
    if (it != devices_.end()) {
        std::erase(it->second.readers, queue);
    }
}

int SimulatedHidPlatform::write(std::uint32_t id, std::span<const std::uint8_t> report) {
    OutputHandler handler;
    {
        std::lock_guard lock(mutex_);
        auto it = devices_.find(id);
        if (it == devices_.end() || !it->second.plugged) {
            return ENODEV;
        }
        Device& device = it->second;
        if (device.failWrites > 0) {
            --device.failWrites;
            return device.writeError;
        }
        device.written.emplace_back(report.begin(), report.end());
        handler = device.onOutput;
    }
    if (handler) {
        handler(id, report);
    }
    return 0;
}

void SimulatedHidPlatform::after(std::chrono::microseconds delay, std::function<void()> action) {
    {
        std::lock_guard lock(radioMutex_);
        const auto base = std::max(Clock::now(), lastDue_);
        lastDue_ = base + delay;
        actions_.emplace_back(lastDue_, std::move(action));
    }
    radioChanged_.notify_all();
}

void SimulatedHidPlatform::settle() {
    std::unique_lock lock(radioMutex_);
    radioChanged_.wait(lock, [this] { return (actions_.empty() && !radioBusy_) || radioStop_; });
}

void SimulatedHidPlatform::radioLoop() {
    std::unique_lock lock(radioMutex_);
    while (!radioStop_) {
        if (actions_.empty()) {
            radioChanged_.wait(lock);
            continue;
        }
        const auto due = actions_.front().first;
        if (Clock::now() < due) {
            radioChanged_.wait_until(lock, due);
            continue;
        }
        auto action = std::move(actions_.front().second);
        actions_.pop_front();
        radioBusy_ = true;
        lock.unlock();
        action();
        lock.lock();
        radioBusy_ = false;
        radioChanged_.notify_all();
    }
}

}  // namespace npt::hid
