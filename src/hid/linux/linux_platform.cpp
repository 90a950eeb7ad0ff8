// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/linux/linux_platform.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "os/unique_fd.h"

namespace npt::hid {

namespace {

int openNode(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool vanishedError(int error) {
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

class LinuxHandle final : public HidHandle {
  public:
    LinuxHandle(int fd, bool readWrite) : fd_(fd), readWrite_(readWrite) {}
    bool hasReadWriteAccess() const override { return readWrite_; }
    int write(std::span<const std::uint8_t> report) override {
        if (!readWrite_) {
            return EACCES;
        }
        ssize_t n;
        do {
            n = ::write(fd_.get(), report.data(), report.size());
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            return errno;
        }
        return static_cast<std::size_t>(n) == report.size() ? 0 : EIO;
    }

  private:
    UniqueFd fd_;
    const bool readWrite_;
};

class LinuxChannel final : public HidReadChannel {
  public:
    LinuxChannel(int fd, bool numbered) : fd_(fd), numbered_(numbered) {}
    WaitHandle waitHandle() const override { return fd_.get(); }
    Result read(std::span<std::uint8_t> buffer) override {
        // hidraw leaves out the report ID of a device without numbered reports: put 0 there.
        const std::size_t offset = numbered_ ? 0 : 1;
        if (buffer.size() <= offset) {
            return {Result::Nothing, 0};
        }
        const ssize_t n = ::read(fd_.get(), buffer.data() + offset, buffer.size() - offset);
        if (n < 0) {
            const bool transient = errno == EAGAIN || errno == EINTR;
            return {transient ? Result::Nothing : Result::Gone, 0};
        }
        if (n == 0) {
            return {Result::Nothing, 0};
        }
        if (!numbered_) {
            buffer[0] = 0;
        }
        return {Result::Report, static_cast<std::size_t>(n) + offset};
    }

  private:
    UniqueFd fd_;
    const bool numbered_;
};

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// HID_ID of a HID device: "BBBB:VVVVVVVV:PPPPPPPP", bus, vendor and product in hex.
bool parseHidId(const char* text, std::uint16_t& vendor, std::uint16_t& product) {
    unsigned bus = 0;
    unsigned long v = 0;
    unsigned long p = 0;
    if (text == nullptr || std::sscanf(text, "%x:%lx:%lx", &bus, &v, &p) != 3) {
        return false;
    }
    vendor = static_cast<std::uint16_t>(v);
    product = static_cast<std::uint16_t>(p);
    return true;
}

}  // namespace

LinuxHidPlatform::LinuxHidPlatform(HotplugSource source) {
    udev_ = ::udev_new();
    if (udev_ != nullptr && source == HotplugSource::Uevents) {
        // The daemon's control socket tells that it runs (and will announce devices).
        const bool daemon = ::access("/run/udev/control", F_OK) == 0;
        monitor_ = ::udev_monitor_new_from_netlink(udev_, daemon ? "udev" : "kernel");
        if (monitor_ != nullptr &&
            (::udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
             ::udev_monitor_enable_receiving(monitor_) < 0)) {
            ::udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
    }
    if (monitor_ == nullptr) {
        inotifyFd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (inotifyFd_ >= 0 && ::inotify_add_watch(inotifyFd_, "/dev", IN_CREATE | IN_DELETE) < 0) {
            ::close(inotifyFd_);
            inotifyFd_ = -1;
        }
    }
}

LinuxHidPlatform::~LinuxHidPlatform() {
    if (monitor_ != nullptr) {
        ::udev_monitor_unref(monitor_);
    }
    if (inotifyFd_ >= 0) {
        ::close(inotifyFd_);
    }
    if (udev_ != nullptr) {
        ::udev_unref(udev_);
    }
}

std::vector<THidPnPInfo> LinuxHidPlatform::presentInterfaces() {
    std::vector<THidPnPInfo> present;
    if (udev_ == nullptr) {
        return present;
    }
    ::udev_enumerate* enumerate = ::udev_enumerate_new(udev_);
    if (enumerate == nullptr) {
        return present;
    }
    ::udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    ::udev_enumerate_scan_devices(enumerate);
    std::map<std::string, std::uint32_t> ids;
    ::udev_list_entry* entry;
    udev_list_entry_foreach(entry, ::udev_enumerate_get_list_entry(enumerate)) {
        const std::string sysPath = ::udev_list_entry_get_name(entry);
        ::udev_device* device = ::udev_device_new_from_syspath(udev_, sysPath.c_str());
        if (device == nullptr) {
            continue;  // gone since the listing
        }
        const char* node = ::udev_device_get_devnode(device);
        std::string devicePath =
            node != nullptr ? node : std::string("/dev/") + ::udev_device_get_sysname(device);
        ::udev_device_unref(device);

        auto known = ids_.find(sysPath);
        const std::uint32_t id = known != ids_.end() ? known->second : nextId_++;
        ids.emplace(sysPath, id);
        present.push_back({id, std::move(devicePath), sysPath});
    }
    ::udev_enumerate_unref(enumerate);
    ids_ = std::move(ids);
    return present;
}

std::unique_ptr<HidHandle> LinuxHidPlatform::open(const THidPnPInfo& info, OpenStatus& status,
                                                  int& error) {
    int fd = openNode(info.DevicePath, O_RDWR);
    if (fd >= 0) {
        status = OpenStatus::ReadWrite;
        error = 0;
        return std::make_unique<LinuxHandle>(fd, true);
    }
    error = errno;
    if (vanishedError(error)) {
        status = OpenStatus::Vanished;
        return nullptr;
    }
    // Not ours to read or write (a keyboard, a security key, or the adapter without the udev
    // rule): a path handle still tells that the node is there.
    fd = openNode(info.DevicePath, O_PATH);
    if (fd < 0) {
        error = errno;
        status = vanishedError(error) ? OpenStatus::Vanished : OpenStatus::Failed;
        return nullptr;
    }
    status = OpenStatus::NoAccess;
    return std::make_unique<LinuxHandle>(fd, false);
}

std::string LinuxHidPlatform::hidParentPath(const THidPnPInfo& info) {
    if (udev_ == nullptr || info.SysPath.empty()) {
        return {};
    }
    ::udev_device* device = ::udev_device_new_from_syspath(udev_, info.SysPath.c_str());
    if (device == nullptr) {
        return {};
    }
    // The parent is owned by the child: no unref of its own.
    ::udev_device* hid = ::udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    std::string path = hid != nullptr ? ::udev_device_get_syspath(hid) : "";
    ::udev_device_unref(device);
    return path;
}

std::optional<THidAttributes> LinuxHidPlatform::attributes(const THidPnPInfo& info) {
    THidAttributes attributes;
    bool known = false;
    if (udev_ != nullptr && !info.SysPath.empty()) {
        if (::udev_device* device = ::udev_device_new_from_syspath(udev_, info.SysPath.c_str())) {
            ::udev_device* hid =
                ::udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
            if (hid != nullptr) {
                known = parseHidId(::udev_device_get_property_value(hid, "HID_ID"),
                                   attributes.VendorID, attributes.ProductID);
            }
            // A USB device reports its release number; a uhid or Bluetooth one has no USB parent.
            ::udev_device* usb =
                ::udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
            if (const char* bcd =
                    usb != nullptr ? ::udev_device_get_sysattr_value(usb, "bcdDevice") : nullptr) {
                attributes.VersionNumber =
                    static_cast<std::uint16_t>(std::strtoul(bcd, nullptr, 16));
            }
            ::udev_device_unref(device);
        }
    }
    if (!known) {
        // Without udev's view, ask the node itself (needs read access).
        UniqueFd fd(openNode(info.DevicePath, O_RDONLY | O_NONBLOCK));
        hidraw_devinfo raw{};
        if (fd.get() < 0 || ::ioctl(fd.get(), HIDIOCGRAWINFO, &raw) < 0) {
            return std::nullopt;
        }
        // The kernel declares these fields signed.
        attributes.VendorID = static_cast<std::uint16_t>(raw.vendor);
        attributes.ProductID = static_cast<std::uint16_t>(raw.product);
    }
    return attributes;
}

std::optional<std::vector<std::uint8_t>> LinuxHidPlatform::reportDescriptor(
    const THidPnPInfo& info) {
    // sysfs lets every user read a device's report descriptor; the node may not.
    const std::string parent = hidParentPath(info);
    if (!parent.empty()) {
        if (auto bytes = readFile(parent + "/report_descriptor"); bytes && !bytes->empty()) {
            return bytes;
        }
    }
    UniqueFd fd(openNode(info.DevicePath, O_RDONLY | O_NONBLOCK));
    int size = 0;
    if (fd.get() < 0 || ::ioctl(fd.get(), HIDIOCGRDESCSIZE, &size) < 0 || size < 0 ||
        size > HID_MAX_DESCRIPTOR_SIZE) {
        return std::nullopt;
    }
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(size);
    if (::ioctl(fd.get(), HIDIOCGRDESC, &descriptor) < 0) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(descriptor.value, descriptor.value + size);
}

std::optional<ReportLayout> LinuxHidPlatform::reportLayout(const THidPnPInfo& info) {
    const auto descriptor = reportDescriptor(info);
    return descriptor ? parseReportDescriptor(*descriptor) : std::nullopt;
}

std::unique_ptr<HidReadChannel> LinuxHidPlatform::openRead(const THidPnPInfo& info,
                                                           bool numberedReports, int& error) {
    const int fd = openNode(info.DevicePath, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    return std::make_unique<LinuxChannel>(fd, numberedReports);
}

WaitHandle LinuxHidPlatform::hotplugHandle() {
    return monitor_ != nullptr ? ::udev_monitor_get_fd(monitor_) : inotifyFd_;
}

bool LinuxHidPlatform::takeHotplugEvent() {
    if (monitor_ != nullptr) {
        ::udev_device* device = ::udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            return false;
        }
        const char* action = ::udev_device_get_action(device);
        const char* subsystem = ::udev_device_get_subsystem(device);
        const bool nodeChange =
            action != nullptr && subsystem != nullptr && std::strcmp(subsystem, "hidraw") == 0 &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
        ::udev_device_unref(device);
        return nodeChange;
    }
    if (inotifyFd_ < 0) {
        return false;
    }
    alignas(inotify_event) char buffer[4096];
    const ssize_t n = ::read(inotifyFd_, buffer, sizeof buffer);
    bool nodeChange = false;
    for (ssize_t pos = 0; pos < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
        if (event->len > 0 && std::strncmp(event->name, "hidraw", 6) == 0) {
            nodeChange = true;
        }
        pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return nodeChange;
}

}  // namespace npt::hid
