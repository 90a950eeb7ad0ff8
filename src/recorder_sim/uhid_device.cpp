// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder_sim/uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace npt::hid {

UhidDevice::UhidDevice(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
    }
}

UhidDevice::~UhidDevice() {
    destroy();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool UhidDevice::writeEvent(const void* event, std::size_t size) {
    ssize_t n;
    do {
        n = ::write(fd_, event, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool UhidDevice::create(const Identity& identity) {
    if (fd_ < 0 || created_) {
        return created_;
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& req = event.u.create2;
    std::strncpy(reinterpret_cast<char*>(req.name), identity.name.c_str(), sizeof req.name - 1);
    req.rd_size = static_cast<__u16>(
        std::min<std::size_t>(identity.reportDescriptor.size(), sizeof req.rd_data));
    std::copy_n(identity.reportDescriptor.begin(), req.rd_size, req.rd_data);
    req.bus = 0x03;  // USB, as the real adapter
    req.vendor = identity.vendor;
    req.product = identity.product;
    req.version = identity.version;
    created_ = writeEvent(&event, sizeof event);
    return created_;
}

void UhidDevice::destroy() {
    if (!created_) {
        return;
    }
    uhid_event event{};
    event.type = UHID_DESTROY;
    writeEvent(&event, sizeof event);
    created_ = false;
}

bool UhidDevice::sendInput(std::span<const std::uint8_t> report) {
    if (!created_) {
        return false;
    }
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<__u16>(std::min(report.size(), sizeof event.u.input2.data));
    std::copy_n(report.begin(), event.u.input2.size, event.u.input2.data);
    return writeEvent(&event, sizeof event);
}

void UhidDevice::refuse(std::uint32_t replyType, std::uint32_t requestId) {
    uhid_event reply{};
    reply.type = replyType;
    // Both replies begin with the request's id and an error code.
    reply.u.get_report_reply.id = requestId;
    reply.u.get_report_reply.err = EIO;
    writeEvent(&reply, sizeof reply);
}

std::optional<std::vector<std::uint8_t>> UhidDevice::takeEvent() {
    uhid_event event{};
    const ssize_t n = ::read(fd_, &event, sizeof event);
    if (n <= 0) {
        return std::nullopt;
    }
    switch (event.type) {
        case UHID_OUTPUT: {
            const auto& out = event.u.output;
            const std::size_t size = std::min<std::size_t>(out.size, sizeof out.data);
            return std::vector<std::uint8_t>(out.data, out.data + size);
        }
        case UHID_GET_REPORT:
            // The adapter has no reports to fetch or set on request.
            refuse(UHID_GET_REPORT_REPLY, event.u.get_report.id);
            return std::nullopt;
        case UHID_SET_REPORT:
            refuse(UHID_SET_REPORT_REPLY, event.u.set_report.id);
            return std::nullopt;
        default:
            return std::nullopt;  // start, stop, open, close
    }
}

}  // namespace npt::hid
