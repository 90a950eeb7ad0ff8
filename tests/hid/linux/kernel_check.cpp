// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Runs inside the test guest, against the kernel's own HID stack: npt-recorder-sim plugs the
// adapter through uhid, and the transport (hidraw, kernel uevents, poll loop) finds it, claims
// it, reads the recorder, sees it unplugged in the middle of a read and back, and survives a
// hundred plug cycles without leaving threads or descriptors behind; then `npt read` reads the
// simulator and saves what it holds, and reads misbehaving simulators and saves nothing but a
// whole memory.
//
//   hid_kernel_check PATH-TO-npt-recorder-sim PATH-TO-UDEV-RULE PATH-TO-DATA-FILE PATH-TO-npt
//
// The simulator is given the data file as its memory and a battery value of 2900, and the
// reads must bring back exactly that.
//
// The udev rule's KERNELS pattern is matched against the name the kernel gave the adapter's
// HID device, so the rule is known to reach the real node.
//
// Prints one line per check and "hid-kernel-check: N passed, M failed"; exit status 0 when all
// passed.
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "hid/hid_device_controller.h"
#include "hid/linux/linux_platform.h"
#include "hid/poll_loop.h"
#include "recorder/cp1251.h"
#include "recorder_sim/simulated_recorder.h"
#include "support/passport_write_model.h"

namespace {

using namespace npt;
using namespace npt::hid;
using namespace npt::hid::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

int passed = 0;
int failed = 0;

bool check(bool ok, const std::string& what) {
    std::printf("%s - %s\n", ok ? "ok" : "not ok", what.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
    return ok;
}

std::size_t entriesIn(const char* dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

// Whether this process holds path open (the reader's own handle, before any write).
bool holdsOpen(const std::string& path) {
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec) == path) {
            return true;
        }
    }
    return false;
}

// The program's standard error goes to errPath.
pid_t spawnQuiet(const std::string& program, std::vector<std::string> args,
                 const std::string& errPath = "/dev/null") {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

pid_t spawnSimulator(const std::string& program, std::vector<std::string> args) {
    return spawnQuiet(program, std::move(args));
}

// The exit status of a program run to its end; -1 when it could not be run or was killed.
int runToEnd(const std::string& program, std::vector<std::string> args,
             const std::string& errPath = "/dev/null") {
    const pid_t pid = spawnQuiet(program, std::move(args), errPath);
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

bool stopSimulator(pid_t pid) {
    int status = 0;
    return ::kill(pid, SIGTERM) == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The Linux platform, counting the hot-plug events that start a scan.
class CountingPlatform final : public HidPlatform {
  public:
    explicit CountingPlatform(LinuxHidPlatform::HotplugSource source) : inner_(source) {}
    int scans = 0;

    std::vector<THidPnPInfo> presentInterfaces() override { return inner_.presentInterfaces(); }
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, OpenStatus& status,
                                    int& error) override {
        return inner_.open(info, status, error);
    }
    std::optional<THidAttributes> attributes(const THidPnPInfo& info) override {
        return inner_.attributes(info);
    }
    std::optional<ReportLayout> reportLayout(const THidPnPInfo& info) override {
        return inner_.reportLayout(info);
    }
    std::unique_ptr<HidReadChannel> openRead(const THidPnPInfo& info, bool numberedReports,
                                             int& error) override {
        return inner_.openRead(info, numberedReports, error);
    }
    WaitHandle hotplugHandle() override { return inner_.hotplugHandle(); }
    bool takeHotplugEvent() override {
        const bool nodeChange = inner_.takeHotplugEvent();
        scans += nodeChange;
        return nodeChange;
    }

  private:
    LinuxHidPlatform inner_;
};

struct Owner {
    explicit Owner(LinuxHidPlatform::HotplugSource source) : platform(source) { wire(); }
    PollLoop loop;
    CountingPlatform platform;
    THidDeviceController hid{loop, platform};
    THidDevice* adapter = nullptr;
    int changes = 0;
    std::vector<std::vector<std::uint8_t>> reports;

    void wire() {
        hid.SetOnEnumerate([this](THidDevice& device, std::int32_t) {
            if (device.Attributes().VendorID == kAdapterVendorId &&
                device.Attributes().ProductID == kAdapterProductId) {
                adapter = &device;
                device.CheckOut();
            }
            return true;
        });
        hid.SetOnDeviceChange([this](THidDeviceController&) {
            ++changes;
            hid.CheckInUnplugged();
            adapter = nullptr;
            hid.Enumerate();
        });
        hid.SetOnDeviceData(
            [this](THidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
                std::vector<std::uint8_t> report{id};
                report.insert(report.end(), data, data + size);
                reports.push_back(std::move(report));
            });
    }
    bool until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
        return loop.runUntil(done, timeout);
    }
    bool reading() {
        return until([this] {
            return adapter != nullptr && adapter->HasReader() &&
                   holdsOpen(adapter->PnPInfo().DevicePath);
        });
    }
    bool gone() {
        return until([this] { return adapter == nullptr && hid.Count() == 0; });
    }
    bool send(std::uint8_t command) {
        std::uint8_t report[33] = {0x00, command};
        std::uint32_t written = 0;
        return adapter != nullptr && adapter->WriteFile(report, 33, written) && written == 33;
    }
};

// The KERNELS pattern of the adapter's udev rule.
std::string rulePattern(const std::string& rules) {
    std::ifstream in(rules);
    std::string line;
    const std::regex kernels(R"re(KERNELS=="([^"]*)")re");
    std::smatch match;
    while (std::getline(in, line)) {
        if (!line.starts_with("#") && std::regex_search(line, match, kernels)) {
            return match[1];
        }
    }
    return {};
}

// The kernel's name of the HID device above a hidraw node, e.g. "0003:1915:007B.0001".
std::string hidDeviceName(const std::string& node) {
    const std::string name = fs::path(node).filename();
    std::error_code ec;
    return fs::canonical("/sys/class/hidraw/" + name + "/device", ec).filename();
}

constexpr std::uint16_t kBattery = 2900;

MemoryImage readImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(MemoryImage::kSize, 0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return MemoryImage::fromBytes(bytes);
}

bool wholeRead(const std::vector<std::vector<std::uint8_t>>& reports, const MemoryImage& flash) {
    if (reports.size() != 140) {
        return false;
    }
    for (std::size_t n = 0; n < 140; ++n) {
        if (reports[n].size() != 33 || reports[n][0] != 0) {
            return false;
        }
        if (n > 0 && n < 139 &&
            !std::equal(reports[n].begin() + 1, reports[n].end(), flash.bytes().begin() + 32 * n)) {
            return false;
        }
    }
    return reports[0][1] == 0xFE && reports[0][2] == 0xFE && reports[0][3] == (kBattery >> 8) &&
           reports[0][4] == (kBattery & 0xFF) && reports[139][1] == 0xFE && reports[139][2] == 0xFF;
}

// In a child that has given up root (the node is root's alone): the adapter is listed with the
// attributes and report lengths sysfs gives away, and can be claimed, but it gets no reader and
// every write is refused.
bool listedWithoutAccess() {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        Owner owner(LinuxHidPlatform::HotplugSource::Uevents);
        const bool found = owner.until([&] { return owner.adapter != nullptr; });
        bool ok = found && !owner.adapter->HasReadWriteAccess() && owner.adapter->IsCheckedOut() &&
                  !owner.adapter->HasReader() && owner.adapter->Caps().OutputReportByteLength == 33;
        ok = ok && !owner.send(0x41) && owner.adapter->LastError() == EACCES;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The password stored in a recording: its bytes up to the first 0xFF, as text.
std::string storedPassword(const MemoryImage& image) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < ImageOffsets::kPasswordLength; ++i) {
        const std::uint8_t b = image[ImageOffsets::kPassword + i];
        if (b == kErasedByte) {
            break;
        }
        bytes.push_back(b);
    }
    return cp1251::decode(bytes);
}

// A data file saved by a read holds the simulator's memory in blocks 1-138 behind the
// acknowledgement with its battery value, and the closing block.
bool savedWhole(const MemoryImage& saved, const MemoryImage& flash) {
    return std::equal(saved.bytes().begin() + 32, saved.bytes().begin() + 139 * 32,
                      flash.bytes().begin() + 32) &&
           saved[0] == 0xFE && saved[1] == 0xFE && saved.word(2) == kBattery &&
           saved[139 * 32] == 0xFE && saved[139 * 32 + 1] == 0xFF;
}

// The same with the patient's name hidden: lead byte and name zero.
bool savedWithoutName(const MemoryImage& saved, const MemoryImage& flash) {
    MemoryImage expected = flash;
    std::fill(expected.bytes().begin() + ImageOffsets::kPassportLead,
              expected.bytes().begin() + ImageOffsets::kName + ImageOffsets::kNameLength, 0);
    return savedWhole(saved, expected);
}

// Waits until exactly n hidraw nodes exist (the simulators' adapters, plugged or gone).
bool hidrawNodes(std::size_t n) {
    for (int i = 0; i < 1000; ++i) {
        std::size_t found = 0;
        for (const auto& e : fs::directory_iterator("/dev")) {
            found += e.path().filename().string().rfind("hidraw", 0) == 0;
        }
        if (found == n) {
            return true;
        }
        ::usleep(10000);
    }
    return false;
}

std::string textOf(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeDataFile(const std::string& path, const MemoryImage& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.bytes().data()),
              static_cast<std::streamsize>(image.bytes().size()));
    out.put('\0');
}

}  // namespace

// An exception escaping main ends the check with a failure status, which is all it has to say.
int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape)
    if (argc != 5) {
        std::fprintf(stderr, "usage: hid_kernel_check SIMULATOR RULE DATA-FILE NPT\n");
        return 2;
    }
    const std::string simulator = argv[1];
    const std::string pattern = rulePattern(argv[2]);
    const std::string memory = argv[3];
    const std::string npt = argv[4];
    const MemoryImage flash = readImage(memory);
    {
        Owner owner(LinuxHidPlatform::HotplugSource::Uevents);
        check(owner.until([&] { return owner.changes == 1; }) && owner.hid.Count() == 0,
              "the first scan reports one change with no HID interface present");

        // Gone after 200 reports in all: 60 into the second read; back 300 ms later.
        // Two milliseconds between reports: the guest's one emulated processor runs the
        // simulator, the kernel and the reader together, several times slower than hardware.
        const pid_t sim =
            spawnSimulator(simulator, {"--memory", memory, "--battery", std::to_string(kBattery),
                                       "--report-interval", "2", "--unplug-after", "200",
                                       "--come-back-after", "300"});
        check(sim > 0, "npt-recorder-sim started");
        check(owner.reading(), "the hot-plug scan finds the adapter, claims it, reader running");
        if (owner.adapter != nullptr) {
            check(owner.adapter->PnPInfo().DevicePath.rfind("/dev/hidraw", 0) == 0,
                  "its path is a hidraw node: " + owner.adapter->PnPInfo().DevicePath);
            const std::string name = hidDeviceName(owner.adapter->PnPInfo().DevicePath);
            check(!pattern.empty() && ::fnmatch(pattern.c_str(), name.c_str(), 0) == 0,
                  "the udev rule's pattern " + pattern + " matches its HID device " + name);
            const THidCaps caps = owner.adapter->Caps();
            check(caps.InputReportByteLength == 33 && caps.OutputReportByteLength == 33,
                  "input and output reports of 33 bytes with the report ID");
        }
        check(owner.send(0x41), "the read command is written");
        owner.until([&] { return owner.reports.size() >= 140; });
        check(wholeRead(owner.reports, flash),
              "140 reports in order: acknowledgement, memory, closing block (" +
                  std::to_string(owner.reports.size()) + ")");

        check(listedWithoutAccess(),
              "a user without access to the node still finds the "
              "adapter, claims it, gets no reader and cannot write");

        owner.reports.clear();
        const std::uint32_t before =
            owner.adapter != nullptr ? owner.adapter->PnPInfo().DeviceID : 0;
        const int changesBefore = owner.changes;
        check(owner.send(0x41), "a second read command is written");
        check(owner.gone(), "unplugged in the middle of the read: seen, stale device checked in");
        check(owner.reports.size() <= 60, "no more than the 60 reports sent before the unplug (" +
                                              std::to_string(owner.reports.size()) + ")");
        check(owner.reading(), "the adapter comes back and is claimed again");
        check(owner.changes >= changesBefore + 2 && owner.adapter != nullptr &&
                  owner.adapter->PnPInfo().DeviceID != before,
              "both hot-plug events seen; the returning adapter is a new device");
        owner.reports.clear();
        check(owner.send(0x41), "a third read command is written");
        owner.until([&] { return owner.reports.size() >= 140; });
        check(wholeRead(owner.reports, flash), "after coming back: 140 reports in order (" +
                                                   std::to_string(owner.reports.size()) + ")");

        // A passport write, the password report sent from inside the data handler.
        PassportWriteModel write;
        int received = 0;
        int failedWrites = 0;
        write.send = [&](const OutputReport& report) {
            std::uint32_t written = 0;
            failedWrites +=
                owner.adapter == nullptr || !owner.adapter->WriteFile(report.data(), 33, written);
        };
        owner.hid.SetOnDeviceData(
            [&](THidDevice&, std::uint8_t, const std::uint8_t* data, std::uint16_t) {
                ++received;
                write.receive(data);
            });
        write.start();
        owner.until([&] { return received >= 6; });
        check(received == 6 && failedWrites == 0 && write.confirmations == 1 &&
                  write.passwordsSent == 2 && write.echoInPlace(),
              "a passport write is acknowledged, echoed into blocks 2 and 3 and confirmed once");
        check(stopSimulator(sim), "npt-recorder-sim ends on SIGTERM");
        check(owner.gone(), "its unplug is seen");

        // With no device claimed the main thread is the only one; a reader that has just been
        // joined may still take a moment to leave /proc.
        const auto onlyMainThread = [&] { return entriesIn("/proc/self/task") == 1; };
        owner.until(onlyMainThread, 5s);
        const std::size_t fds = entriesIn("/proc/self/fd");
        const int scansBefore = owner.platform.scans;
        int cycles = 0;
        for (; cycles < 100; ++cycles) {
            const pid_t pid = spawnSimulator(simulator, {});
            const bool ok = pid > 0 && owner.reading() && stopSimulator(pid) && owner.gone();
            if (!ok) {
                break;
            }
        }
        check(cycles == 100,
              "100 plug cycles, each claimed and released (" + std::to_string(cycles) + ")");
        // The kernel announces much more than the node (the HID device, its driver binding):
        // only the node's arrival and removal start a scan.
        check(owner.platform.scans - scansBefore == 200,
              "one scan for each node's arrival and removal (" +
                  std::to_string(owner.platform.scans - scansBefore) + " for 200)");
        owner.until(onlyMainThread, 5s);
        check(onlyMainThread() && entriesIn("/proc/self/fd") == fds,
              "no reader thread and no descriptor left behind (" +
                  std::to_string(entriesIn("/proc/self/task")) + " threads, " +
                  std::to_string(entriesIn("/proc/self/fd")) + " descriptors for " +
                  std::to_string(fds) + ")");
    }
    {
        // The fallback hot-plug source: inotify on /dev, where devtmpfs adds and removes nodes.
        Owner owner(LinuxHidPlatform::HotplugSource::DevDirectory);
        owner.until([&] { return owner.changes == 1; });
        int cycles = 0;
        for (; cycles < 5; ++cycles) {
            const pid_t pid = spawnSimulator(simulator, {});
            if (!(pid > 0 && owner.reading() && stopSimulator(pid) && owner.gone())) {
                break;
            }
        }
        check(cycles == 5, "inotify on /dev sees the adapter come and go (" +
                               std::to_string(cycles) + " of 5 cycles)");
    }
    {
        // The tool's read, the window's own read session, against the simulator in the kernel.
        const pid_t sim = spawnSimulator(
            simulator,
            {"--memory", memory, "--battery", std::to_string(kBattery), "--report-interval", "2"});
        const std::string saved = "/tmp/read.txt";
        const int status =
            runToEnd(npt, {"read", saved, "--password", storedPassword(flash), "--timeout", "30"});
        check(status == 0, "npt read ends with status 0 (" + std::to_string(status) + ")");
        check(fs::exists(saved) && savedWhole(readImage(saved), flash),
              "npt read saved blocks 1-138 of the memory between the acknowledgement and the "
              "closing block");
        check(stopSimulator(sim), "npt-recorder-sim ends after the read");
    }
    {
        // Misbehaving recorders and adapters: what `npt read` keeps is the whole memory or
        // nothing, and stderr says why.
        MemoryImage ya = flash;
        const auto name = cp1251::encode("Александрова Анастасия").value();  // 0xFF at offset 100
        std::fill(ya.bytes().begin() + ImageOffsets::kName,
                  ya.bytes().begin() + ImageOffsets::kName + ImageOffsets::kNameLength, 0);
        std::copy(name.begin(), name.end(), ya.bytes().begin() + ImageOffsets::kName);
        writeDataFile("/tmp/ya.txt", ya);
        struct Case {
            const char* what;
            std::vector<std::string> faults;  // npt-recorder-sim options
            std::string memory;
            std::string password;
            int adapters;
            std::function<bool(const MemoryImage&)> kept;  // null: nothing saved
            std::string says;                              // on stderr
        };
        const auto whole = [&](const MemoryImage& saved) { return savedWhole(saved, flash); };
        const Case cases[] = {
            {"input reports of 31 bytes: the adapter is not used",
             {"--input-report-size", "31"},
             memory,
             storedPassword(flash),
             1,
             nullptr,
             "отчётами по 32 байта"},
            {"a data block before the acknowledgement and a block lost: not saved",
             {"--leftover", "data", "--drop-block", "70"},
             memory,
             storedPassword(flash),
             1,
             nullptr,
             "первым пришёл не блок подтверждения"},
            {"a closing block before the acknowledgement and a block lost: not saved",
             {"--leftover", "closing", "--drop-block", "70"},
             memory,
             storedPassword(flash),
             1,
             nullptr,
             "первым пришёл не блок подтверждения"},
            {"a pause of 1,5 s after the acknowledgement: saved with the name, said once",
             {"--pause-after", "1", "--pause", "1500"},
             memory,
             storedPassword(flash),
             1,
             whole,
             ""},
            {"a name ending in «я» without its password: saved without the name",
             {},
             "/tmp/ya.txt",
             "",
             1,
             [&](const MemoryImage& saved) { return savedWithoutName(saved, ya); },
             "Неверный пароль!"},
            {"two adapters: one is read, and that is said",
             {},
             memory,
             storedPassword(flash),
             2,
             whole,
             "несколько адаптеров"},
        };
        for (const Case& c : cases) {
            std::vector<pid_t> sims;
            for (int a = 0; a < c.adapters; ++a) {
                std::vector<std::string> args = {"--memory",          c.memory,
                                                 "--battery",         std::to_string(kBattery),
                                                 "--report-interval", "2"};
                args.insert(args.end(), c.faults.begin(), c.faults.end());
                sims.push_back(spawnSimulator(simulator, args));
                hidrawNodes(sims.size());
            }
            const std::string saved = "/tmp/hostile.txt";
            const std::string said = "/tmp/hostile.err";
            fs::remove(saved);
            const int status =
                runToEnd(npt, {"read", saved, "--password", c.password, "--timeout", "30"}, said);
            const std::string err = textOf(said);
            // A read kept after a slow start says only how it ended.
            bool ok = status == (c.kept ? 0 : 1) && err.find(c.says) != std::string::npos &&
                      (!c.kept || err.find("Не прочитан весь обьем") == std::string::npos);
            ok =
                ok && (c.kept ? fs::exists(saved) && c.kept(readImage(saved)) : !fs::exists(saved));
            for (pid_t sim : sims) {
                ok = stopSimulator(sim) && ok;
            }
            ok = hidrawNodes(0) && ok;
            check(ok, std::string(c.what) + " (status " + std::to_string(status) + ")");
            if (!ok) {
                // Only lines with this prefix leave the guest's console.
                std::string line;
                for (std::istringstream lines(err); std::getline(lines, line);) {
                    std::printf("hid-kernel-check: npt said: %s\n", line.c_str());
                }
            }
        }
    }
    std::printf("hid-kernel-check: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
