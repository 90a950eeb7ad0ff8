// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A HID device made from user space through /dev/uhid: the kernel's HID stack treats it like a
// plugged-in USB device (hidraw node, uevents), and its output reports come back here.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace npt::hid {

class UhidDevice {
  public:
    struct Identity {
        std::string name;
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
        std::uint16_t version = 0;
        std::vector<std::uint8_t> reportDescriptor;
    };

    // Opens /dev/uhid (or path). On failure fd() is -1 and error() holds errno.
    explicit UhidDevice(const std::string& path = "/dev/uhid");
    ~UhidDevice();
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }

    // Plugs the device in; false with error() set when the kernel refuses.
    bool create(const Identity& identity);
    // Unplugs it; nothing when it is not plugged in.
    void destroy();
    bool created() const { return created_; }
    // Sends one input report, as on the wire.
    bool sendInput(std::span<const std::uint8_t> report);

    // Takes one event from the kernel (fd() is readable). Returns the bytes of an output report
    // as the kernel hands them over (report ID first), or nullopt for any other event, which is
    // answered here when the kernel waits for an answer.
    std::optional<std::vector<std::uint8_t>> takeEvent();

  private:
    bool writeEvent(const void* event, std::size_t size);
    // Answers a get or set report request of the kernel with an I/O error.
    void refuse(std::uint32_t replyType, std::uint32_t requestId);

    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
};

}  // namespace npt::hid
