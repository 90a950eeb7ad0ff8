// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// npt-recorder-sim: plugs a simulated recorder's radio adapter into the kernel through /dev/uhid
// (vendor 0x1915, product 0x007B, 32-byte input and output reports without report IDs) and
// answers the application's commands until interrupted, then unplugs it.
//
//   npt-recorder-sim [--memory FILE] [--battery VALUE] [--report-interval MS]
//                    [--unplug-after N [--come-back-after MS]]
//                    [--input-report-size N] [--leftover data|closing] [--drop-block N]
//                    [--pause-after N --pause MS]
//   npt-recorder-sim --help | --version
//
// --memory takes a recording's data file (its first 4480 bytes are the flash); without it the
// recorder holds the demonstration night, whose name "ДЕМОНСТРАЦИЯ" a passport write leaves as it
// is (so that nothing read from it passes for a patient's). --battery is the raw battery value
// (default 3300, shown as 2,90 V). --report-interval paces the reports of an answer (default 1 ms).
// --unplug-after unplugs the adapter once it has sent N reports in all (in the middle of a read,
// say), and --come-back-after plugs it in again that many milliseconds later.
//
// Faults of a misbehaving recorder or adapter: --input-report-size makes the adapter declare input
// reports of N bytes (the recorder still sends 32); --leftover sends a data block or a closing
// block before the acknowledgement of every read; --drop-block leaves block N (1-138) out of every
// read; --pause-after with --pause holds an answer for MS milliseconds after its first N reports.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <deque>
#include <iostream>
#include <optional>
#include <string>

#include "hid/poll_loop.h"
#include "npt_version.h"
#include "os/file_error.h"
#include "recorder/example_night.h"
#include "recorder_sim/simulated_recorder.h"
#include "recorder_sim/uhid_device.h"
#include "records/data_file.h"

namespace {

using namespace npt;
using namespace npt::hid;
using namespace std::chrono_literals;

constexpr const char* kUsage =
    "Использование: npt-recorder-sim [--memory ФАЙЛ] [--battery ЗНАЧЕНИЕ] "
    "[--report-interval МС] [--unplug-after N [--come-back-after МС]]\n"
    "       [--input-report-size N] [--leftover data|closing] [--drop-block N]\n"
    "       [--pause-after N --pause МС]\n"
    "       npt-recorder-sim --help | --version\n";

constexpr const char* kHelp =
    "npt-recorder-sim — имитация радиоадаптера датчика-регистратора (USB HID 1915:007B)\n"
    "через /dev/uhid: отвечает на команды программы, как датчик, до Ctrl+C, затем отключается.\n"
    "Нужны модуль ядра uhid (sudo modprobe uhid) и право записи в /dev/uhid (root).\n"
    "\n"
    "Ключи:\n"
    "  --memory ФАЙЛ           память датчика из записи (.txt); без ключа — встроенная\n"
    "                          демонстрационная ночь: ФИО «ДЕМОНСТРАЦИЯ», которое запись\n"
    "                          паспорта не меняет\n"
    "  --battery ЗНАЧЕНИЕ      код напряжения батареи, 0–65535; по умолчанию 3300 (2,90 В)\n"
    "  --report-interval МС    пауза между отчётами одного ответа, 0–10000; по умолчанию 1\n"
    "  --unplug-after N        отключить адаптер после N отправленных отчётов (посреди чтения)\n"
    "  --come-back-after МС    после такого отключения подключить его снова через МС мс\n"
    "  --help                  эта справка\n"
    "  --version               версия программы\n"
    "\n"
    "Неисправности, чтобы проверить на них программу:\n"
    "  --input-report-size N   адаптер объявляет входные отчёты по N байт, 1–64 (датчик шлёт 32)\n"
    "  --leftover data|closing перед ответом на чтение — оставшийся блок данных или завершающий\n"
    "  --drop-block N          пропускать блок N (1–138) при каждом чтении\n"
    "  --pause-after N         после N отчётов ответа сделать паузу --pause МС (0–600000)\n"
    "\n"
    "Код завершения: 0 — остановлен; 1 — /dev/uhid недоступен или запись не прочитана;\n"
    "2 — неверный вызов.\n";

struct Options {
    std::optional<std::string> memory;
    long battery = 3300;
    // One report per millisecond, as the adapter's USB interrupt endpoint delivers them: sent
    // faster, they would overrun the kernel's queue of 64 reports per reader.
    long reportIntervalMs = 1;
    long unplugAfter = -1;
    long comeBackAfterMs = -1;
    long inputReportBytes = static_cast<long>(kAdapterReportSize);
    RecorderFaults::Leftover leftover = RecorderFaults::Leftover::None;
    long dropBlock = -1;
    long pauseAfter = -1;
    long pauseMs = 0;
};

std::optional<long> number(const char* text, long min, long max) {
    long value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const char* value = argv[++i];
        std::optional<long> n;
        if (flag == "--memory") {
            options.memory = value;
        } else if (flag == "--battery" && (n = number(value, 0, 65535))) {
            options.battery = *n;
        } else if (flag == "--report-interval" && (n = number(value, 0, 10000))) {
            options.reportIntervalMs = *n;
        } else if (flag == "--unplug-after" && (n = number(value, 0, 1000000))) {
            options.unplugAfter = *n;
        } else if (flag == "--come-back-after" && (n = number(value, 0, 600000))) {
            options.comeBackAfterMs = *n;
        } else if (flag == "--input-report-size" && (n = number(value, 1, 64))) {
            options.inputReportBytes = *n;
        } else if (flag == "--leftover" && std::strcmp(value, "data") == 0) {
            options.leftover = RecorderFaults::Leftover::DataBlock;
        } else if (flag == "--leftover" && std::strcmp(value, "closing") == 0) {
            options.leftover = RecorderFaults::Leftover::ClosingBlock;
        } else if (flag == "--drop-block" && (n = number(value, 1, 138))) {
            options.dropBlock = *n;
        } else if (flag == "--pause-after" && (n = number(value, 1, 1000000))) {
            options.pauseAfter = *n;
        } else if (flag == "--pause" && (n = number(value, 0, 600000))) {
            options.pauseMs = *n;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

UhidDevice::Identity adapterIdentity(const Options& options) {
    return {"npt recorder radio adapter (simulated)", kAdapterVendorId, kAdapterProductId, 0x0100,
            adapterReportDescriptor(static_cast<std::size_t>(options.inputReportBytes))};
}

// Carries the recorder's answers out on the uhid device, one step after another.
class Radio {
  public:
    Radio(PollLoop& loop, UhidDevice& device, SimulatedRecorder& recorder, const Options& options)
        : loop_(loop),
          device_(device),
          recorder_(recorder),
          identity_(adapterIdentity(options)),
          unplugAfter_(options.unplugAfter),
          comeBackAfter_(options.comeBackAfterMs) {}

    void takeEvent() {
        auto output = device_.takeEvent();
        if (!output || output->empty()) {
            return;
        }
        // The kernel hands the report over with its report-ID byte; the adapter never sees it.
        std::span<const std::uint8_t> payload(*output);
        if (payload.size() > kAdapterReportSize) {
            payload = payload.subspan(1);
        }
        for (const RecorderStep& step : recorder_.answer(payload)) {
            steps_.push_back(step);
        }
        next();
    }

  private:
    void next() {
        if (stepPending_ || steps_.empty()) {
            return;
        }
        stepPending_ = true;
        const auto delay = std::chrono::ceil<std::chrono::milliseconds>(steps_.front().delay);
        loop_.startTimer(delay, false, [this] {
            stepPending_ = false;
            const RecorderStep step = steps_.front();
            steps_.pop_front();
            perform(step);
            next();
        });
    }

    void perform(const RecorderStep& step) {
        switch (step.kind) {
            case RecorderStep::Report:
                device_.sendInput(step.block);
                if (++sent_ == unplugAfter_) {
                    unplug();
                }
                break;
            case RecorderStep::Unplug:
                unplug();
                break;
            case RecorderStep::Replug:
                device_.create(identity_);
                break;
        }
    }

    void unplug() {
        device_.destroy();
        steps_.clear();
        if (comeBackAfter_ >= 0) {
            loop_.startTimer(std::chrono::milliseconds(comeBackAfter_), false,
                             [this] { device_.create(identity_); });
        }
    }

    PollLoop& loop_;
    UhidDevice& device_;
    SimulatedRecorder& recorder_;
    const UhidDevice::Identity identity_;
    std::deque<RecorderStep> steps_;
    bool stepPending_ = false;
    long sent_ = 0;
    const long unplugAfter_;
    const long comeBackAfter_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kUsage << '\n' << kHelp;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "npt-recorder-sim " << npt::kVersion << '\n' << npt::kLicenseNotice;
        return 0;
    }
    const auto options = parse(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    MemoryImage flash = demonstrationNight();
    if (options->memory) {
        try {
            flash = readDataFile(*options->memory);
        } catch (const FileError& e) {
            std::cerr << "npt-recorder-sim: " << e.what() << "\n";
            return 1;
        }
    }
    SimulatedRecorder recorder(flash, static_cast<std::uint16_t>(options->battery));
    recorder.keepsOwnName = !options->memory;
    recorder.faults.reportInterval = std::chrono::milliseconds(options->reportIntervalMs);
    recorder.faults.inputReportBytes = static_cast<std::size_t>(options->inputReportBytes);
    recorder.faults.leftover = options->leftover;
    recorder.faults.dropBlock = static_cast<int>(options->dropBlock);
    recorder.faults.stallAfterReports = static_cast<int>(options->pauseAfter);
    recorder.faults.stallFor = std::chrono::milliseconds(options->pauseMs);

    UhidDevice device;
    if (device.fd() < 0) {
        if (device.error() == ENOENT) {
            std::cerr << "npt-recorder-sim: нет устройства /dev/uhid: модуль ядра uhid не "
                         "загружен (sudo modprobe uhid)\n";
        } else if (device.error() == EACCES || device.error() == EPERM) {
            std::cerr << "npt-recorder-sim: нет права записи в /dev/uhid: запустите программу "
                         "от имени root\n";
        } else {
            std::cerr << "npt-recorder-sim: /dev/uhid не открывается: "
                      << reasonForErrno(device.error()) << "\n";
        }
        return 1;
    }

    // SIGINT and SIGTERM arrive as readable data, so the loop ends in order and unplugs.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);

    if (!device.create(adapterIdentity(*options))) {
        std::cerr << "npt-recorder-sim: ядро не создало устройство: "
                  << reasonForErrno(device.error()) << "\n";
        return 1;
    }
    std::cout << "Датчик подключён (1915:007B). Остановка: Ctrl+C." << std::endl;

    PollLoop loop;
    Radio radio(loop, device, recorder, *options);
    loop.watchReady(device.fd(), [&] { radio.takeEvent(); });
    loop.watchReady(signalFd, [&] { loop.quit(); });
    loop.run();

    device.destroy();
    ::close(signalFd);
    std::cout << "Датчик отключён." << std::endl;
    return 0;
}
