// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/read_command.h"

#include <algorithm>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"
#include "cli/plain_text.h"
#include "cli/tool_view.h"
#include "hid/hid_device.h"
#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"

namespace npt {

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// How long the recorder may stay silent before the read counts as over although its closing
// block never came (after a check), or no acknowledgement came to arm one. Well above the
// one-second check: a recorder that pauses that long in the middle of its answer is still read.
constexpr auto kQuiet = 3s;
// The end of the transfer is awaited at least this long: its check alone takes a second, and a
// pause may hold it up to kQuiet.
constexpr std::chrono::seconds kTransferAtLeast{10};
constexpr int kBlocks = kBlocksInRead;

std::string line(const CollectedMessage& m) {
    return "npt: " + plain::escaped(m.title) + ": " + plain::escaped(m.text) + "\n";
}

std::string seconds(std::chrono::seconds s) {
    return std::to_string(s.count()) + " с";
}

// Why the image the last check judged is not the recorder's memory.
std::string readProblem(const ReadCheck& check) {
    const std::string count = std::to_string(check.blocks);
    if (check.blocks < kBlocks) {
        return "чтение неполное: получено блоков " + count + " из " + std::to_string(kBlocks);
    }
    std::string misplaced;
    if (!check.acknowledgementFirst) {
        misplaced = "первым пришёл не блок подтверждения датчика";
    }
    if (!check.closingLast) {
        misplaced +=
            (misplaced.empty() ? "" : " и ") + std::string("140-м пришёл не завершающий блок");
    }
    if (check.overlong()) {
        return "чтение неверное: получено блоков " + count + " вместо " + std::to_string(kBlocks) +
               ", и " + misplaced;
    }
    return "чтение неполное: получено блоков " + count + " из " + std::to_string(kBlocks) +
           ", но " + misplaced + ": блоки памяти стоят не на своих местах";
}

}  // namespace

int readRecorder(const ReadOptions& options, hid::HidPlatform& platform, std::ostream& out,
                 std::ostream& err) {
    hid::PollLoop loop;
    hid::THidDeviceController controller(loop, platform);
    ToolView view(options.password);
    view.runTimersOn(loop);
    SystemClock clock;
    TTMForm form(view, clock, nullptr, &controller);
    // The messages each completion check gave, as [first, end) in the collected ones: a slow
    // transfer is checked more than once, and only the last check says how the read ended.
    std::vector<std::pair<std::size_t, std::size_t>> checks;
    view.onTimer = [&](TimerId timer) {
        if (timer == TimerId::Timer1) {
            form.Timer1Timer();
        } else {
            const std::size_t first = view.messages().size();
            form.Timer2Timer();
            checks.emplace_back(first, view.messages().size());
        }
    };
    // Counts the reports as they come, to tell when the recorder has fallen silent.
    SteadyClock::time_point lastReport{};
    int reports = 0;
    const hid::THidDataEvent handler = controller.OnDeviceData();
    controller.SetOnDeviceData([&](hid::THidDevice& device, std::uint8_t id,
                                   const std::uint8_t* data, std::uint16_t size) {
        ++reports;
        lastReport = SteadyClock::now();
        handler(device, id, data, size);
    });
    form.FormCreate();
    std::optional<NightFiling> filing;
    if (options.archive) {
        filing.emplace(*options.archive);
        form.setNightFiling(&*filing);
    }
    const FormState& state = form.state();
    // The messages outside the checks, and those of the last check when the read is kept. An
    // earlier check of a slow transfer was superseded; what the check of a refused read says
    // (its battery, its calibration) is of an image that is not the recorder's memory.
    const auto printMessages = [&](bool withLastCheck = false) {
        for (std::size_t i = 0; i < view.messages().size(); ++i) {
            const auto check = std::find_if(checks.begin(), checks.end(), [i](const auto& span) {
                return i >= span.first && i < span.second;
            });
            if (check == checks.end() || (withLastCheck && check + 1 == checks.end())) {
                err << line(view.messages()[i]);
            }
        }
    };

    // The adapter with its reader reading (what the recorder sends before is lost), or the
    // reason it cannot be used: said as soon as it is plugged in, or at the read command when
    // it may not be written.
    const auto usable = [&] {
        const hid::THidDevice* device = state.recorderDevice;
        return device != nullptr && (device->IsReading() || !device->HasReadWriteAccess());
    };
    loop.runUntil(
        [&] { return usable() || (state.recorderDevice == nullptr && !view.messages().empty()); },
        options.timeout);
    if (!usable()) {
        printMessages();
        if (view.messages().empty()) {
            err << "npt: read: адаптер радиоканала не найден за " << seconds(options.timeout)
                << ": подключите его к разъёму USB (правило udev «70-npt-recorder.rules» даёт к "
                   "нему доступ)\n";
        }
        return 1;
    }

    form.ReadDataClick();
    if (state.lastSendError != 0) {
        printMessages();  // the refusal, with the way to access where that is the reason
        return 1;
    }
    if (!loop.runUntil([&] { return reports > 0; }, options.timeout)) {
        err << "npt: read: датчик не ответил на команду чтения за " << seconds(options.timeout)
            << ": проверьте, что он включён и лежит рядом с адаптером\n";
        return 1;
    }
    // Over once no check is pending and the recorder has finished: after a check, the closing
    // block has come or the recorder has fallen silent (a slow transfer is checked again, as in
    // the window); without any check, no acknowledgement came and the recorder has fallen
    // silent.
    loop.runUntil(
        [&] {
            const bool quiet = SteadyClock::now() - lastReport > kQuiet;
            return !view.timerRunning(TimerId::Timer2) &&
                   (checks.empty() ? quiet : (!state.ackFlag || quiet));
        },
        std::max(options.timeout, kTransferAtLeast));
    const ReadCheck& check = state.read.lastCheck;
    printMessages(!checks.empty() && check.whole());
    if (checks.empty()) {
        err << "npt: read: датчик не подтвердил команду чтения: получено блоков "
            << state.blockCounter
            << ", но ни один не начинался меткой подтверждения; запись не сохранена, повторите "
               "чтение\n";
        return 1;
    }
    if (!check.whole()) {
        err << "npt: read: " << readProblem(check) << "; запись не сохранена, повторите чтение\n";
        return 1;
    }
    if (check.overlong()) {
        err << "npt: read: после завершающего блока пришло лишних блоков: "
            << check.blocks - kBlocks << "; в запись они не вошли\n";
    }
    const std::size_t before = view.messages().size();
    if (!form.saveDataFile(options.file)) {
        for (std::size_t i = before; i < view.messages().size(); ++i) {
            err << "npt: " << plain::escaped(view.messages()[i].text) << "\n";
        }
        return 1;
    }
    out << "Память датчика прочитана (" << kBlocks << " блоков) и сохранена в «"
        << plain::escaped(options.file) << "».\n";
    if (const auto night = form.filedNight()) {
        out << "Ночь сохранена в архиве пациентов: ночь № " << *night << ".\n";
    }
    return 0;
}

}  // namespace npt
