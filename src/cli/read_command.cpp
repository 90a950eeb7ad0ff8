#include "cli/read_command.h"

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"
#include "cli/plain_text.h"
#include "hid/hid_device.h"
#include "hid/hid_device_controller.h"
#include "hid/poll_loop.h"

namespace npt {

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// After the completion check, how long the recorder may stay silent before the read counts as
// over although its closing block never came.
constexpr auto kQuietAfterCheck = 1500ms;
constexpr int kBlocks = static_cast<int>(MemoryImage::kBlockCount);

std::string line(const CollectedMessage& m) {
    return "npt: " + plain::escaped(m.title) + ": " + plain::escaped(m.text) + "\n";
}

std::string seconds(std::chrono::seconds s) {
    return std::to_string(s.count()) + " с";
}

}  // namespace

int readRecorder(const ReadOptions& options, hid::HidPlatform& platform, std::ostream& out,
                 std::ostream& err) {
    hid::PollLoop loop;
    hid::THidDeviceController controller(loop, platform);
    BatchView view(options.password);
    view.runTimersOn(loop);
    SystemClock clock;
    TTMForm form(view, clock, nullptr, &controller);
    int checks = 0;
    view.onTimer = [&](TimerId timer) {
        if (timer == TimerId::Timer1) {
            form.Timer1Timer();
        } else {
            form.Timer2Timer();
            ++checks;
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
    const FormState& state = form.state();
    const auto printMessages = [&] {
        for (const CollectedMessage& m : view.messages()) {
            err << line(m);
        }
    };

    // The adapter with its reader reading (what the recorder sends before is lost), or the
    // reason it cannot be used: said as soon as it is plugged in, or at the read command when
    // it may not be written.
    const auto usable = [&] {
        const hid::THidDevice* device = state.recorderDevice;
        return device != nullptr && (device->IsReading() || !device->HasReadWriteAccess());
    };
    loop.runUntil([&] { return usable() || !view.messages().empty(); }, options.timeout);
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
    // Over once a check has run with none pending, and the closing block has come or the
    // recorder has fallen silent. A slow transfer is checked again, as in the window.
    loop.runUntil(
        [&] {
            return checks > 0 && !view.timerRunning(TimerId::Timer2) &&
                   (!state.ackFlag || SteadyClock::now() - lastReport > kQuietAfterCheck);
        },
        options.timeout + 2s);
    printMessages();
    if (checks == 0 || state.blockCounter != kBlocks) {
        err << "npt: read: чтение неполное: получено блоков " << state.blockCounter << " из "
            << kBlocks << "; запись не сохранена, повторите чтение\n";
        return 1;
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
    return 0;
}

}  // namespace npt
