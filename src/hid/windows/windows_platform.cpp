// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/windows/windows_platform.h"

#include <windows.h>
// After <windows.h>, which they build on.
#include <cfgmgr32.h>
#include <dbt.h>
// MinGW-w64's HID headers declare C functions without saying so to C++.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "hid/event_counter.h"
#include "hid/windows/windows_error.h"
#include "os/windows_error.h"

namespace npt::hid {

namespace {

// The longest wait for the device to take an output report. The adapter takes one within
// milliseconds; a device that takes none would otherwise hold the main thread for good.
constexpr DWORD kWriteTimeoutMs = 5000;

// An interface path as a key: Windows compares paths without regard to case, and a notification
// may spell a path otherwise than the listing.
std::string pathKey(std::wstring path) {
    ::CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    return npt::utf8FromWide(path);
}

GUID hidInterfaceClass() {
    GUID guid;
    ::HidD_GetHidGuid(&guid);
    return guid;
}

class OwnedHandle {
  public:
    explicit OwnedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void reset() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_;
};

// Opens the interface; INVALID_HANDLE_VALUE with GetLastError() set when it cannot be. access 0
// opens it for queries only, which the system grants for every interface.
HANDLE openInterface(const std::string& path, DWORD access, DWORD flags) {
    return ::CreateFileW(npt::wideFromUtf8(path).c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                         nullptr);
}

// The class driver's parsed form of the report descriptor.
class PreparsedData {
  public:
    explicit PreparsedData(HANDLE device) {
        if (!::HidD_GetPreparsedData(device, &data_)) {
            data_ = nullptr;
        }
    }
    ~PreparsedData() {
        if (data_ != nullptr) {
            ::HidD_FreePreparsedData(data_);
        }
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;

    std::optional<HIDP_CAPS> caps() const {
        HIDP_CAPS caps{};
        if (data_ == nullptr || ::HidP_GetCaps(data_, &caps) != HIDP_STATUS_SUCCESS) {
            return std::nullopt;
        }
        return caps;
    }

    // Whether any button or value of the reports of type carries a report ID of its own.
    bool numbered(HIDP_REPORT_TYPE type, USHORT buttonCaps, USHORT valueCaps) const {
        std::vector<HIDP_BUTTON_CAPS> buttons(buttonCaps);
        USHORT n = buttonCaps;
        if (n > 0 && ::HidP_GetButtonCaps(type, buttons.data(), &n, data_) == HIDP_STATUS_SUCCESS &&
            std::any_of(buttons.begin(), buttons.begin() + n,
                        [](const HIDP_BUTTON_CAPS& c) { return c.ReportID != 0; })) {
            return true;
        }
        std::vector<HIDP_VALUE_CAPS> values(valueCaps);
        n = valueCaps;
        return n > 0 &&
               ::HidP_GetValueCaps(type, values.data(), &n, data_) == HIDP_STATUS_SUCCESS &&
               std::any_of(values.begin(), values.begin() + n,
                           [](const HIDP_VALUE_CAPS& c) { return c.ReportID != 0; });
    }

  private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
};

std::optional<ReportLayout> layoutOf(HANDLE device) {
    const PreparsedData data(device);
    const auto caps = data.caps();
    if (!caps) {
        return std::nullopt;
    }
    ReportLayout layout;
    layout.caps.Usage = caps->Usage;
    layout.caps.UsagePage = caps->UsagePage;
    layout.caps.InputReportByteLength = caps->InputReportByteLength;
    layout.caps.OutputReportByteLength = caps->OutputReportByteLength;
    layout.caps.FeatureReportByteLength = caps->FeatureReportByteLength;
    layout.caps.NumberLinkCollectionNodes = caps->NumberLinkCollectionNodes;
    layout.numberedReports =
        data.numbered(HidP_Input, caps->NumberInputButtonCaps, caps->NumberInputValueCaps) ||
        data.numbered(HidP_Output, caps->NumberOutputButtonCaps, caps->NumberOutputValueCaps) ||
        data.numbered(HidP_Feature, caps->NumberFeatureButtonCaps, caps->NumberFeatureValueCaps);
    return layout;
}

class WindowsHandle final : public HidHandle {
  public:
    // file is opened for overlapped writes when readWrite holds.
    WindowsHandle(HANDLE file, bool readWrite, std::size_t outputLength)
        : file_(file),
          readWrite_(readWrite),
          outputLength_(outputLength),
          written_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    bool hasReadWriteAccess() const override { return readWrite_; }

    int write(std::span<const std::uint8_t> report) override {
        if (!readWrite_) {
            return EACCES;
        }
        if (!written_.valid()) {
            return ENOMEM;
        }
        // The class driver takes whole reports only: a shorter one is padded with zeros, a
        // longer one is refused by the driver (EINVAL).
        std::vector<std::uint8_t> bytes(report.begin(), report.end());
        if (bytes.size() < outputLength_) {
            bytes.resize(outputLength_, 0);
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = written_.get();
        if (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                         &overlapped) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return errnoFromWindowsError(::GetLastError());
        }
        bool late = false;
        if (::WaitForSingleObject(written_.get(), kWriteTimeoutMs) != WAIT_OBJECT_0) {
            ::CancelIoEx(file_.get(), &overlapped);
            late = true;
        }
        // Waits for the cancel as well: the buffer and the OVERLAPPED must outlive the request.
        DWORD n = 0;
        if (!::GetOverlappedResult(file_.get(), &overlapped, &n, TRUE)) {
            const DWORD code = ::GetLastError();
            return late && code == ERROR_OPERATION_ABORTED ? ETIMEDOUT
                                                           : errnoFromWindowsError(code);
        }
        return n == bytes.size() ? 0 : EIO;
    }

  private:
    const OwnedHandle file_;
    const bool readWrite_;
    const std::size_t outputLength_;
    const OwnedHandle written_;  // signalled when a write has completed
};

// The reader's handle: one overlapped read is always under way, and its event is the channel's
// wait handle, signalled when the read has completed (or the handle has failed) and reset by the
// next read.
class WindowsChannel final : public HidReadChannel {
  public:
    WindowsChannel(HANDLE file, HANDLE completed, std::size_t reportLength)
        : file_(file), completed_(completed), buffer_(reportLength) {
        overlapped_.hEvent = completed_.get();
        start();
    }
    ~WindowsChannel() override {
        if (pending_) {
            // Ends the read under way and waits until the driver has let go of the buffer.
            ::CancelIoEx(file_.get(), &overlapped_);
            DWORD n = 0;
            ::GetOverlappedResult(file_.get(), &overlapped_, &n, TRUE);
        }
    }
    WindowsChannel(const WindowsChannel&) = delete;
    WindowsChannel& operator=(const WindowsChannel&) = delete;

    WaitHandle waitHandle() const override { return completed_.get(); }

    Result read(std::span<std::uint8_t> buffer) override {
        if (failed_) {
            return {Result::Gone, 0};
        }
        if (!pending_) {
            return {Result::Nothing, 0};  // a device without input reports
        }
        DWORD n = 0;
        if (!::GetOverlappedResult(file_.get(), &overlapped_, &n, FALSE)) {
            if (::GetLastError() == ERROR_IO_INCOMPLETE) {
                return {Result::Nothing, 0};
            }
            // The device has gone (its requests fail or are aborted): the handle is done for.
            pending_ = false;
            fail();
            return {Result::Gone, 0};
        }
        pending_ = false;
        const std::size_t size = std::min<std::size_t>(n, buffer.size());
        std::copy_n(buffer_.begin(), size, buffer.begin());
        start();
        return {size > 0 ? Result::Report : Result::Nothing, size};
    }

  private:
    void start() {
        if (buffer_.empty()) {
            return;  // no input report to wait for: the handle never becomes ready
        }
        if (::ReadFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr,
                       &overlapped_) ||
            ::GetLastError() == ERROR_IO_PENDING) {
            pending_ = true;  // done or not, the event is signalled on completion
            return;
        }
        fail();
    }
    // Stays ready, so that the reader comes to read and learns that the device has gone.
    void fail() {
        failed_ = true;
        ::SetEvent(completed_.get());
    }

    const OwnedHandle file_;
    const OwnedHandle completed_;
    OVERLAPPED overlapped_{};
    std::vector<std::uint8_t> buffer_;  // the report ID first, as the class driver hands it
    bool pending_ = false;
    bool failed_ = false;
};

}  // namespace

// Receives the system's arrival and removal notifications of HID interfaces on a thread of its
// own, which a message-only window needs to pump its messages.
class WindowsHidPlatform::Notifications {
  public:
    Notifications() : hidClass_(hidInterfaceClass()) {
        std::promise<HWND> started;
        std::future<HWND> window = started.get_future();
        thread_ = std::thread([this, started = std::move(started)]() mutable { run(started); });
        window_ = window.get();
        if (window_ == nullptr) {
            thread_.join();
        }
    }
    ~Notifications() {
        if (window_ != nullptr) {
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
            thread_.join();
        }
    }
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;

    // Whether notifications arrive at all (the window and its registration were made).
    bool running() const { return window_ != nullptr; }
    WaitHandle handle() const { return pending_.handle(); }
    bool take() const { return pending_.take(); }
    std::set<std::string> takeRemoved() {
        std::lock_guard lock(mutex_);
        return std::exchange(removed_, {});
    }

  private:
    void run(std::promise<HWND>& started) {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Notifications::windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kNotificationWindowClass;
        // A second platform of the process finds the class registered already.
        if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            started.set_value(nullptr);
            return;
        }
        const HWND window = ::CreateWindowExW(0, kNotificationWindowClass, L"", 0, 0, 0, 0, 0,
                                              HWND_MESSAGE, nullptr, instance, this);
        if (window == nullptr) {
            started.set_value(nullptr);
            return;
        }
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = hidClass_;
        const HDEVNOTIFY registration =
            ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (registration == nullptr) {
            ::DestroyWindow(window);
            started.set_value(nullptr);
            return;
        }
        started.set_value(window);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::DispatchMessageW(&message);
        }
        ::UnregisterDeviceNotification(registration);
    }

    // A window's messages and its user data carry their pointers as integers.
    // NOLINTBEGIN(performance-no-int-to-ptr)
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Notifications*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
            case WM_DEVICECHANGE:
                if (self != nullptr) {
                    self->deviceChange(wParam, reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam));
                }
                return TRUE;
            case WM_CLOSE:
                ::DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                ::PostQuitMessage(0);
                return 0;
            default:
                return ::DefWindowProcW(window, message, wParam, lParam);
        }
    }
    // NOLINTEND(performance-no-int-to-ptr)

    void deviceChange(WPARAM event, const DEV_BROADCAST_HDR* header) {
        if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) ||
            header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
            return;
        }
        const auto* change = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
        if (!IsEqualGUID(change->dbcc_classguid, hidClass_)) {
            return;
        }
        if (event == DBT_DEVICEREMOVECOMPLETE) {
            std::lock_guard lock(mutex_);
            removed_.insert(pathKey(change->dbcc_name));
        }
        pending_.signal();
    }

    const GUID hidClass_;
    // Every notification is one to scan for; those that come before the scan runs are one.
    const EventCounter pending_{EventCounter::Counting::All};
    std::mutex mutex_;               // guards removed_
    std::set<std::string> removed_;  // keys of the paths whose removal was announced
    HWND window_ = nullptr;
    std::thread thread_;
};

WindowsHidPlatform::WindowsHidPlatform() : notifications_(std::make_unique<Notifications>()) {}

WindowsHidPlatform::~WindowsHidPlatform() = default;

std::vector<THidPnPInfo> WindowsHidPlatform::presentInterfaces() {
    // A removed interface is forgotten first: if it is back already, it counts as new.
    for (const std::string& key : notifications_->takeRemoved()) {
        ids_.erase(key);
    }
    std::vector<THidPnPInfo> present;
    GUID hidClass = hidInterfaceClass();
    const HDEVINFO set =
        ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return present;
    }
    std::map<std::string, std::uint32_t> ids;
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    for (DWORD index = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &entry);
         ++index) {
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            continue;  // gone since the listing
        }
        // DWORD-sized elements: the detail record starts with a DWORD.
        std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, &device)) {
            continue;
        }
        const std::wstring path = detail->DevicePath;
        wchar_t instance[MAX_DEVICE_ID_LEN] = {};
        if (!::SetupDiGetDeviceInstanceIdW(set, &device, instance, MAX_DEVICE_ID_LEN, nullptr)) {
            instance[0] = L'\0';
        }
        const std::string key = pathKey(path);
        auto known = ids_.find(key);
        const std::uint32_t id = known != ids_.end() ? known->second : nextId_++;
        ids.emplace(key, id);
        present.push_back({id, npt::utf8FromWide(path), npt::utf8FromWide(instance)});
    }
    ::SetupDiDestroyDeviceInfoList(set);
    ids_ = std::move(ids);
    return present;
}

std::unique_ptr<HidHandle> WindowsHidPlatform::open(const THidPnPInfo& info, OpenStatus& status,
                                                    int& error) {
    HANDLE file =
        openInterface(info.DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
    if (file != INVALID_HANDLE_VALUE) {
        const auto layout = layoutOf(file);
        status = OpenStatus::ReadWrite;
        error = 0;
        return std::make_unique<WindowsHandle>(file, true,
                                               layout ? layout->caps.OutputReportByteLength : 0);
    }
    error = errnoFromWindowsError(::GetLastError());
    if (error == ENODEV) {
        status = OpenStatus::Vanished;
        return nullptr;
    }
    // Not ours to read or write (a keyboard or a mouse, which the system keeps to itself): a
    // handle without access rights still tells that the interface is there.
    file = openInterface(info.DevicePath, 0, 0);
    if (file == INVALID_HANDLE_VALUE) {
        error = errnoFromWindowsError(::GetLastError());
        status = error == ENODEV ? OpenStatus::Vanished : OpenStatus::Failed;
        return nullptr;
    }
    status = OpenStatus::NoAccess;
    return std::make_unique<WindowsHandle>(file, false, 0);
}

std::optional<THidAttributes> WindowsHidPlatform::attributes(const THidPnPInfo& info) {
    const OwnedHandle file(openInterface(info.DevicePath, 0, 0));
    HIDD_ATTRIBUTES raw{};
    raw.Size = sizeof raw;
    if (!file.valid() || !::HidD_GetAttributes(file.get(), &raw)) {
        return std::nullopt;
    }
    THidAttributes attributes;
    attributes.VendorID = raw.VendorID;
    attributes.ProductID = raw.ProductID;
    attributes.VersionNumber = raw.VersionNumber;
    return attributes;
}

std::optional<ReportLayout> WindowsHidPlatform::reportLayout(const THidPnPInfo& info) {
    const OwnedHandle file(openInterface(info.DevicePath, 0, 0));
    return file.valid() ? layoutOf(file.get()) : std::nullopt;
}

std::unique_ptr<HidReadChannel> WindowsHidPlatform::openRead(const THidPnPInfo& info,
                                                             bool /*numberedReports*/, int& error) {
    // The class driver puts the report ID in front of every report, numbered or not.
    OwnedHandle file(openInterface(info.DevicePath, GENERIC_READ, FILE_FLAG_OVERLAPPED));
    if (!file.valid()) {
        error = errnoFromWindowsError(::GetLastError());
        return nullptr;
    }
    const auto layout = layoutOf(file.get());
    if (!layout) {
        error = errnoFromWindowsError(::GetLastError());
        return nullptr;
    }
    const HANDLE completed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (completed == nullptr) {
        error = ENOMEM;
        return nullptr;
    }
    return std::make_unique<WindowsChannel>(file.release(), completed,
                                            layout->caps.InputReportByteLength);
}

WaitHandle WindowsHidPlatform::hotplugHandle() {
    return notifications_->running() ? notifications_->handle() : kNoWaitHandle;
}

bool WindowsHidPlatform::takeHotplugEvent() {
    return notifications_->take();
}

}  // namespace npt::hid
