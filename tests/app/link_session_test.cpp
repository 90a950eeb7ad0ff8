// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sessions with the recorder, from the click to what the doctor sees: the window's
// behaviour, the real controller and reader thread, and the simulated recorder behind the
// in-process platform. One table: each scenario acts, then is judged by the messages in order,
// the indicator, the beeps and the fields, and by what survives (image, password state).
#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <utility>

#include "app/link_texts.h"
#include "link_fixture.h"
#include "recorder/battery.h"
#include "recorder/passport_entry.h"

namespace npt {
namespace {

using namespace npt::test;

// A box as the doctor meets it: every part is given, so that a box with the right words but
// another icon or other buttons fails its row.
struct Seen {
    Seen(std::string title, std::string text, MessageIcon icon, MessageButtons buttons)
        : title(std::move(title)), text(std::move(text)), icon(icon), buttons(buttons) {}
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    constexpr const char* icons[] = {"no icon", "information", "warning", "error"};
    *out << "«" << seen.title << "» «" << seen.text << "» " << icons[static_cast<int>(seen.icon)]
         << (seen.buttons == MessageButtons::Ok ? " OK" : " Yes/No");
}

constexpr auto kOk = MessageButtons::Ok;
constexpr auto kWarning = MessageIcon::Warning;
constexpr auto kInformation = MessageIcon::Information;
namespace lt = link_texts;

constexpr int kReadTop = 488;
constexpr int kWriteTop = 14;

struct Scenario {
    std::string name;
    std::function<void(LinkRig&)> session;
    std::vector<Seen> messages{};
    std::optional<Rgb> indicator{};
    std::optional<int> top{};
    int beeps = 0;
    std::map<Control, std::string> fields{};
    std::function<void(LinkRig&)> survives{};
    bool buttonsShown = true;  // ReadData, WriteData and the indicator at the end
};

const Seen kIncomplete{lt::kReadErrorTitle, lt::kIncompleteText, kWarning, kOk};
const Seen kOverlong{lt::kReadErrorTitle, lt::kOverlongText, kWarning, kOk};
const Seen kWrongPassword{kWrongPasswordTitle, kWrongPasswordText, kWarning, kOk};
const Seen kWriteQuestion{lt::kQuestionTitle, lt::kWriteQuestion, kWarning, MessageButtons::YesNo};
const Seen kStartQuestion{lt::kQuestionTitle, lt::kStartQuestion, kWarning, MessageButtons::YesNo};
const Seen kStartsAt22{lt::kStartedTitle, lt::kStartsAt22Text, kWarning, kOk};
const Seen kStartedNow{lt::kStartedTitle, lt::kStartedNowText, kWarning, kOk};
const Seen kNoCommand{lt::kNoCommandTitle, lt::kNoCommandText, kWarning, kOk};
const Seen kReadCut{lt::kReadCutTitle, lt::kReadCutText, kWarning, kOk};
const Seen kWriteCut{lt::kWriteCutTitle, lt::kWriteCutText, kWarning, kOk};
Seen batteryWarning(battery::Warning w) {
    return {battery::kWarningTitle, battery::warningText(w), kInformation, kOk};
}

const std::map<Control, std::string> kRecorderPassport = {{Control::Name, "Иванов Иван Иванович"},
                                                          {Control::Old, "47"},
                                                          {Control::Date, "08.12.26"},
                                                          {Control::TimeNow, "21:30"},
                                                          {Control::TimeStart, "22:00"},
                                                          {Control::TimeEnd, "10:00"},
                                                          {Control::Ubat, "2,90 В"}};

std::map<Control, std::string> with(std::map<Control, std::string> fields,
                                    const std::map<Control, std::string>& changes) {
    for (const auto& [c, text] : changes) {
        fields[c] = text;
    }
    return fields;
}

// The flash as the read brought it: the acknowledgement with the battery, the recorder's
// blocks 1-138, the closing block.
void expectWholeImage(const LinkRig& r) {
    const MemoryImage& image = r.state().memoryImage;
    const MemoryImage& flash = r.recorder.flash();
    EXPECT_TRUE(std::equal(image.bytes().begin() + 32, image.bytes().begin() + 139 * 32,
                           flash.bytes().begin() + 32))
        << "blocks 1-138";
    EXPECT_EQ(image[0], 0xFE);
    EXPECT_EQ(image[1], 0xFE);
    EXPECT_EQ(image.word(2), r.recorder.battery());
    EXPECT_EQ(image[139 * 32], 0xFE);
    EXPECT_EQ(image[139 * 32 + 1], 0xFF);
}

// The last passport report written to the adapter.
std::vector<std::uint8_t> passportSent(const LinkRig& r) {
    // Reverse iterators rather than a reversed view: the checker's compiler cannot read the
    // standard library's range views.
    const auto written = r.written();
    for (auto report = written.rbegin(); report != written.rend(); ++report) {
        if (report->size() == 33 && (*report)[1] == 0x43 && (*report)[12] != 0x41) {
            return *report;
        }
    }
    ADD_FAILURE() << "no passport report written";
    return std::vector<std::uint8_t>(33, 0);
}

// A write at hh:mm, confirmed, then read back: the passport's last three bytes as sent, and the
// fields the read shows.
struct WriteThenRead {
    std::string name;
    int hour = 0, minute = 0;
    bool at22 = true;  // the start at 22:00 confirmed; else the recording starts at once
    int programByte = 0, delayHigh = 0, delayLow = 0;
    std::map<Control, std::string> readBack{};
    std::string password{};
};

Scenario writeThenRead(const WriteThenRead& c) {
    Scenario s;
    s.name = c.name;
    s.session = [c](LinkRig& r) {
        r.clock.moment = {2026, 12, 9, c.hour, c.minute, 0};
        r.start();
        r.write("Петров Пётр Петрович", "52", c.at22, c.password);
        ASSERT_TRUE(r.receive(6));  // ack, closing block, block 1, echo, programmed
        const auto sent = passportSent(r);
        EXPECT_EQ(sent[30], c.programByte) << "programming time";
        EXPECT_EQ(sent[31], c.delayHigh);
        EXPECT_EQ(sent[32], c.delayLow);
        if (!c.password.empty()) {
            r.view.passwordAnswers.push_back(c.password);
        }
        r.read();
        r.fire(TimerId::Timer2);
    };
    s.messages = {kWriteQuestion, kStartQuestion, c.at22 ? kStartsAt22 : kStartedNow};
    s.indicator = colours::kGreen;
    s.top = kReadTop - 139;
    s.beeps = 2;
    s.fields = with({{Control::Name, "Петров Пётр Петрович"},
                     {Control::Old, "52"},
                     {Control::Date, "09.12.26"},
                     {Control::Ubat, "2,90 В"}},
                    c.readBack);
    s.survives = [](LinkRig& r) { EXPECT_FALSE(r.state().password.nameHidden); };
    return s;
}

Scenario batteryAtRead(int level, const char* shown, std::optional<Rgb> colour,
                       battery::Warning warning) {
    Scenario s;
    s.name = "Battery" + std::to_string(level);
    s.session = [level](LinkRig& r) {
        r.recorder.setBattery(static_cast<std::uint16_t>(level));
        r.start();
        r.read();
        r.fire(TimerId::Timer2);
    };
    if (warning != battery::Warning::None) {
        s.messages = {batteryWarning(warning)};
    }
    s.indicator = colours::kGreen;
    s.top = kReadTop - 139;
    s.beeps = 2;
    s.fields = {{Control::Ubat, shown}};
    s.survives = [colour](LinkRig& r) {
        EXPECT_EQ(r.view.colour(Control::Ubat), colour);
        EXPECT_EQ(r.state().batteryLevel, r.recorder.battery());
    };
    return s;
}

// "Запись" refused or called off before anything is sent.
Scenario refusedWrite(std::string name, const std::string& patient, const std::string& age,
                      const std::deque<MessageAnswer>& answers,
                      const std::optional<std::string>& password, std::vector<Seen> messages,
                      std::optional<Control> focus) {
    Scenario s;
    s.name = std::move(name);
    s.session = [=](LinkRig& r) {
        r.start();
        ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(makeImage()), "night.txt"));
        r.view.setText(Control::Name, patient);
        r.view.setText(Control::Old, age);
        r.view.questionAnswers = answers;
        if (password) {
            r.view.passwordAnswers.push_back(*password);
        }
        r.form->WriteDataClick();
        // Nothing was sent, so nothing is awaited: a report now stays out of the loaded night.
        std::array<std::uint8_t, 32> stray{};
        stray.fill(0x55);
        r.platform.sendInput(r.adapter->id(), stray);
        ASSERT_TRUE(r.receive(1));
    };
    s.messages = std::move(messages);
    s.indicator = colours::kGreen;
    s.top = kReadTop;
    s.survives = [focus](LinkRig& r) {
        EXPECT_TRUE(r.written().empty()) << "nothing reaches the recorder";
        EXPECT_EQ(r.state().memoryImage, makeImage()) << "the night shown can still be saved";
        EXPECT_TRUE(r.view.questionAnswers.empty() && r.view.passwordAnswers.empty());
        if (focus) {
            ASSERT_FALSE(r.view.focusLog.empty());
            EXPECT_EQ(r.view.focusLog.back(), *focus);
        }
    };
    return s;
}

std::vector<std::uint8_t> wideOutputDescriptor() {
    std::vector<std::uint8_t> d = hid::adapterReportDescriptor();
    // The second Report Count (the output report's) from 32 to 64 bytes.
    const auto output = std::find(d.begin() + 16, d.end(), 0x95);
    *(output + 1) = 0x40;
    return d;
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> table;

    table.push_back({.name = "CompleteRead",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.read();
                             r.fire(TimerId::Timer2);
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop - 139,
                     .beeps = 2,  // the closing block, and the end of the check
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             expectWholeImage(r);
                             EXPECT_EQ(r.state().blockCounter, 140);
                             EXPECT_EQ(r.view.passwordPrompts(), 0) << "no password stored";
                             EXPECT_EQ(r.form->chart().series2().count(), 4320u);
                             EXPECT_FALSE(r.view.timerRunning(TimerId::Timer2));
                             // Armed by the acknowledgement, not restarted by each block after it.
                             EXPECT_EQ(r.view.timerStarts[TimerId::Timer2], 1);
                             EXPECT_EQ(r.view.timerIntervals[TimerId::Timer2], 1000);
                             EXPECT_EQ(r.written().size(), 1u) << "the read command alone";
                         }});

    table.push_back({.name = "PasswordRight",
                     .session =
                         [](LinkRig& r) {
                             r.recorder = hid::SimulatedRecorder(
                                 makeImage(ImageOptions().withPassword("Ключ")));
                             r.start();
                             r.view.passwordAnswers.push_back("Ключ");
                             r.read();
                             r.fire(TimerId::Timer2);
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop - 139,
                     .beeps = 2,
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.view.passwordPrompts(), 1);
                             EXPECT_FALSE(r.state().password.passwordWrong);
                             expectWholeImage(r);
                         }});

    table.push_back({.name = "PasswordWrong",
                     .session =
                         [](LinkRig& r) {
                             r.recorder = hid::SimulatedRecorder(
                                 makeImage(ImageOptions().withPassword("Ключ")));
                             r.start();
                             r.view.passwordAnswers.push_back("ключ");  // another letter case
                             r.read();
                             r.fire(TimerId::Timer2);
                         },
                     .messages = {kWrongPassword},
                     .indicator = colours::kGreen,
                     .top = kReadTop - 139,
                     .beeps = 2,
                     .fields = with(kRecorderPassport, {{Control::Name, ""}}),
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_TRUE(r.state().password.nameHidden);
                             // Withheld from the screen only: the image keeps the name until saved.
                             expectWholeImage(r);
                         }});

    table.push_back({.name = "FewerThan140Blocks",
                     .session =
                         [](LinkRig& r) {
                             r.recorder.faults.dropBlock = 50;
                             r.start();
                             r.read(139);
                             r.fire(TimerId::Timer2);
                         },
                     .messages = {kIncomplete},
                     .indicator = colours::kRed,
                     .top = kReadTop - 138,
                     .beeps = 2,
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.state().blockCounter, 139);
                             const auto& image = r.state().memoryImage.bytes();
                             const auto& flash = r.recorder.flash().bytes();
                             EXPECT_TRUE(std::equal(image.begin() + 50 * 32,
                                                    image.begin() + 51 * 32,
                                                    flash.begin() + 51 * 32))
                                 << "the blocks after the missing one moved up";
                         }});

    table.push_back({.name = "MoreThan140Blocks",
                     .session =
                         [](LinkRig& r) {
                             r.recorder.faults.extraBlocks = 3;
                             r.start();
                             r.read(143);
                             r.fire(TimerId::Timer2);
                         },
                     .messages = {kOverlong},
                     .indicator = colours::kRed,
                     .top = kReadTop - 139,
                     .beeps = 2,
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.state().blockCounter, 143);
                             expectWholeImage(r);  // the blocks after the image are not stored
                         }});

    table.push_back(
        {"KeyPressDuringRead",
         [](LinkRig& r) {
             r.start();
             r.form->ReadDataClick();
             ASSERT_TRUE(r.receive(60));
             r.form->FormKeyDown();
             ASSERT_TRUE(r.receive(80));
             // Sample bytes now stand where the password is kept: an incomplete read asks
             // nothing and shows no name.
             r.fire(TimerId::Timer2);
         },
         {kIncomplete},
         colours::kRed,
         kReadTop - 79,
         2,
         {{Control::Name, ""}},
         [](LinkRig& r) {
             EXPECT_EQ(r.state().blockCounter, 80);
             // Overwritten from the start: block 0 holds the 61st report.
             const auto& image = r.state().memoryImage.bytes();
             const auto& flash = r.recorder.flash().bytes();
             EXPECT_TRUE(std::equal(image.begin(), image.begin() + 32, flash.begin() + 60 * 32));
         }});

    table.push_back({.name = "TransferSlowerThanOneSecond",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.read(100);
                             r.fire(TimerId::Timer2);  // one second after the acknowledgement
                             EXPECT_EQ(r.view.colour(Control::OpenIndicator), colours::kRed);
                             ASSERT_TRUE(r.receive(40));
                             // The first report after the check armed it again.
                             r.fire(TimerId::Timer2);
                         },
                     .messages = {kIncomplete},
                     .indicator = colours::kGreen,
                     .top = kReadTop - 139,
                     .beeps = 3,  // the first check, the closing block, the second check
                     .fields = kRecorderPassport,
                     .survives = [](LinkRig& r) { expectWholeImage(r); }});

    table.push_back(
        {.name = "ReportsArriveWhileTheIncompleteBoxIsOpen",
         .session =
             [](LinkRig& r) {
                 r.start();
                 r.read(100);
                 r.view.whileBoxOpen = [&r] { ASSERT_TRUE(r.receive(40)); };
                 r.fire(TimerId::Timer2);
                 EXPECT_EQ(r.view.colour(Control::OpenIndicator), colours::kRed)
                     << "the check's verdict, though all 140 came while its box was open";
                 // Armed again by the reports handled inside the box.
                 r.fire(TimerId::Timer2);
             },
         .messages = {kIncomplete},
         .indicator = colours::kGreen,
         .top = kReadTop - 139,
         .beeps = 3,
         .fields = kRecorderPassport,
         .survives = [](LinkRig& r) { expectWholeImage(r); }});

    table.push_back({.name = "ReportsArriveWhileThePasswordDialogIsOpen",
                     .session =
                         [](LinkRig& r) {
                             // Only the surplus of an overlong read can still come once the
                             // check has found the read whole and asks for the password.
                             r.recorder = hid::SimulatedRecorder(
                                 makeImage(ImageOptions().withPassword("1234")));
                             r.recorder.faults.stallAfterReports = 140;
                             r.recorder.faults.stallFor = 50ms;
                             r.recorder.faults.extraBlocks = 3;
                             r.start();
                             r.read(140);
                             r.view.passwordAnswers.push_back("1234");
                             r.view.whileBoxOpen = [&r] { ASSERT_TRUE(r.receive(3)); };
                             r.fire(TimerId::Timer2);
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop - 139,
                     .beeps = 2,
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             expectWholeImage(r);
                             EXPECT_EQ(r.view.passwordPrompts(), 1);
                             EXPECT_FALSE(r.state().password.passwordWrong);
                         }});

    table.push_back({.name = "NoAcknowledgement",
                     .session =
                         [](LinkRig& r) {
                             r.recorder.faults.neverAcknowledge = true;
                             r.start();
                             r.form->ReadDataClick();
                             r.platform.settle();
                             r.loop.processEvents(0ms);
                         },
                     .indicator = colours::kBlue,
                     .top = kReadTop,
                     .fields = {{Control::Name, ""}, {Control::Old, ""}},
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_FALSE(r.view.timerRunning(TimerId::Timer2)) << "no check armed";
                             EXPECT_EQ(r.state().memoryImage, MemoryImage());
                             EXPECT_EQ(r.delivered, 0);
                         }});

    // Another USB device plugged in while a session awaits the recorder: the scan it causes
    // finds the adapter again, and must not paint the indicator a finished session's green.
    for (const bool writing : {false, true}) {
        table.push_back(
            {writing ? "DevicePluggedWhileAWriteAwaitsTheRecorder"
                     : "DevicePluggedWhileAReadAwaitsTheRecorder",
             [writing](LinkRig& r) {
                 r.recorder.faults.neverAcknowledge = true;
                 r.start();
                 if (writing) {
                     r.write("Петров Пётр Петрович", "52", true);
                 } else {
                     r.form->ReadDataClick();
                 }
                 auto keyboard = hid::SimulatedHidPlatform::DeviceSpec{};
                 keyboard.attributes.VendorID = 0x046D;
                 keyboard.reportDescriptor = hid::adapterReportDescriptor();
                 r.platform.plug(keyboard);
                 ASSERT_TRUE(r.pump([&r] { return r.hid->Count() == 2; }));
                 r.loop.processEvents(0ms);
             },
             writing ? std::vector<Seen>{kWriteQuestion, kStartQuestion} : std::vector<Seen>{},
             colours::kBlue,
             writing ? kWriteTop : kReadTop,
             0,
             {},
             [](LinkRig& r) { EXPECT_TRUE(r.state().recorderPresent); }});
    }

    table.push_back({.name = "AckMarkerWithNoCommandIssued",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.platform.sendInput(r.adapter->id(), markerBlock(0xFE));
                             ASSERT_TRUE(r.receive(1));
                         },
                     .messages = {kNoCommand},
                     .indicator = colours::kGreen,
                     .top = kReadTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_FALSE(r.state().ackFlag);
                             ASSERT_FALSE(r.view.focusLog.empty());
                             EXPECT_EQ(r.view.focusLog.back(), Control::ReadData);
                             EXPECT_TRUE(r.written().empty());
                         }});

    table.push_back({.name = "UnplugMidRead",
                     .session =
                         [](LinkRig& r) {
                             // Pulled out while the recorder pauses after 60 blocks: the reports
                             // still queued at an unplug are lost, as with a real node.
                             r.recorder.faults.stallAfterReports = 60;
                             r.recorder.faults.stallFor = std::chrono::hours(1);
                             r.start();
                             r.form->ReadDataClick();
                             ASSERT_TRUE(r.receive(60));
                             r.adapter->unplug();
                             ASSERT_TRUE(r.gone());
                             // The interrupted read is not ended: its check still comes.
                             r.fire(TimerId::Timer2);
                         },
                     .messages = {kIncomplete},
                     .indicator = colours::kRed,
                     .top = std::nullopt,
                     .beeps = 1,  // no closing block came
                     .fields = kRecorderPassport,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.state().recorderDevice, nullptr);
                             EXPECT_EQ(r.hid->Count(), 0u) << "the stale adapter is checked in";
                         },
                     .buttonsShown = false});

    table.push_back({.name = "UnplugMidWrite",
                     .session =
                         [](LinkRig& r) {
                             // Gone after the closing block and block 1 of the password's answer.
                             r.recorder.faults.stallAfterReports = 2;
                             r.recorder.faults.stallFor = std::chrono::hours(1);
                             r.start();
                             r.write("Петров Пётр Петрович", "52", true);
                             ASSERT_TRUE(r.receive(3));
                             r.adapter->unplug();
                             ASSERT_TRUE(r.gone());
                         },
                     .messages = {kWriteQuestion, kStartQuestion},
                     .indicator = colours::kBlue,
                     .top = kWriteTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.delivered, 3);
                             EXPECT_TRUE(r.view.timerRunning(TimerId::Timer1)) << "still sliding";
                             r.fire(TimerId::Timer1);
                             r.fire(TimerId::Timer1);
                             EXPECT_EQ(r.view.top(Control::OpenIndicator), kWriteTop + 2);
                         },
                     .buttonsShown = false});

    table.push_back({.name = "FailedWrite",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.platform.failWrites(r.adapter->id(), 1, EIO);
                             r.form->ReadDataClick();
                         },
                     .messages = {{lt::kSendTitle,
                                   "Команда не передана датчику: ошибка ввода-вывода на "
                                   "адаптере радиоканала; подключите его заново.",
                                   MessageIcon::None, kOk}},
                     .indicator = colours::kBlue,
                     .top = kReadTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.state().lastSendError, EIO);
                             EXPECT_EQ(r.state().memoryImage, MemoryImage())
                                 << "reset all the same";
                         }});

    table.push_back(
        {"AdapterWithoutAccess",
         [](LinkRig& r) {
             r.start(false);
             auto spec = hid::SimulatedHidPlatform::DeviceSpec{};
             spec.attributes.VendorID = kAdapterVendorId;
             spec.attributes.ProductID = kAdapterProductId;
             spec.reportDescriptor = hid::adapterReportDescriptor();
             spec.accessible = false;
             r.platform.plug(spec);
             ASSERT_TRUE(r.pump([&r] { return r.state().recorderDevice != nullptr; }));
             r.form->ReadDataClick();
         },
         {{lt::kSendTitle, std::string("Команда не передана датчику: ") + lt::kNoAccessReason + ".",
           MessageIcon::None, kOk}},
         colours::kBlue,
         kReadTop,
         0,
         {},
         [](LinkRig& r) { EXPECT_EQ(r.state().lastSendError, EACCES); }});

    table.push_back({.name = "AdapterWithAnotherReportLength",
                     .session =
                         [](LinkRig& r) {
                             r.start(false);
                             auto spec = hid::SimulatedHidPlatform::DeviceSpec{};
                             spec.attributes.VendorID = kAdapterVendorId;
                             spec.attributes.ProductID = kAdapterProductId;
                             spec.reportDescriptor = wideOutputDescriptor();
                             r.platform.plug(spec);
                             ASSERT_TRUE(r.pump([&r] { return !r.view.messages().empty(); }));
                             // A later scan offers it again, but does not say it again.
                             auto keyboard = hid::SimulatedHidPlatform::DeviceSpec{};
                             keyboard.attributes.VendorID = 0x046D;
                             keyboard.reportDescriptor = hid::adapterReportDescriptor();
                             r.platform.plug(keyboard);
                             ASSERT_TRUE(r.pump([&r] { return r.hid->Count() == 2; }));
                             r.loop.processEvents(0ms);
                         },
                     .messages = {{lt::kAdapterTitle, lt::unsupportedAdapter(65), kWarning, kOk}},
                     .indicator = colours::kGreen,
                     .top = std::nullopt,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.state().recorderDevice, nullptr);
                             EXPECT_EQ(r.hid->NumCheckedOutDevices(), 0);
                         },
                     .buttonsShown = false});

    table.push_back({.name = "PlugAndUnplug",
                     .session =
                         [](LinkRig& r) {
                             r.start(false);
                             EXPECT_FALSE(r.view.visible(Control::ReadData))
                                 << "no HID device at all: no adapter";
                             r.adapter.emplace(r.platform, r.recorder);
                             ASSERT_TRUE(r.claimed());
                             EXPECT_TRUE(r.view.visible(Control::ReadData));
                             EXPECT_TRUE(r.view.visible(Control::WriteData));
                             r.adapter->unplug();
                             ASSERT_TRUE(r.gone());
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop,
                     .buttonsShown = false});

    table.push_back(writeThenRead({.name = "WriteAt2130",
                                   .hour = 21,
                                   .minute = 30,
                                   .at22 = true,
                                   .programByte = 215,
                                   .delayHigh = 0,
                                   .delayLow = 30,
                                   .readBack = {{Control::TimeNow, "21:30"},
                                                {Control::TimeStart, "22:00"},
                                                {Control::TimeEnd, "10:00"}}}));
    // 150.5 tenths go out as 150: the programming time reads back as 15:00, the start as
    // 15:00 plus 417 minutes.
    table.push_back(writeThenRead({.name = "WriteAt1503",
                                   .hour = 15,
                                   .minute = 3,
                                   .at22 = true,
                                   .programByte = 150,
                                   .delayHigh = 1,
                                   .delayLow = 161,
                                   .readBack = {{Control::TimeNow, "15:00"},
                                                {Control::TimeStart, "21:57"},
                                                {Control::TimeEnd, "09:57"}}}));
    table.push_back(writeThenRead({.name = "WriteAt2300WithPassword",
                                   .hour = 23,
                                   .minute = 0,
                                   .at22 = true,
                                   .programByte = 230,
                                   .delayHigh = 5,
                                   .delayLow = 100,
                                   .readBack = {{Control::TimeNow, "23:00"},
                                                {Control::TimeStart, "22:00"},
                                                {Control::TimeEnd, "10:00"}},
                                   .password = "Ключ7"}));
    table.push_back(writeThenRead({.name = "WriteAt2200",
                                   .hour = 22,
                                   .minute = 0,
                                   .at22 = true,
                                   .programByte = 220,
                                   .delayHigh = 5,
                                   .delayLow = 160,
                                   .readBack = {{Control::TimeNow, "22:00"},
                                                {Control::TimeStart, "22:00"},
                                                {Control::TimeEnd, "10:00"}}}));
    // 08:05 is 80.83 tenths, sent as 81: 08:06.
    table.push_back(writeThenRead({.name = "WriteStartingNow",
                                   .hour = 8,
                                   .minute = 5,
                                   .at22 = false,
                                   .programByte = 81,
                                   .delayHigh = 0,
                                   .delayLow = 0,
                                   .readBack = {{Control::TimeNow, "08:06"},
                                                {Control::TimeStart, "08:06"},
                                                {Control::TimeEnd, "20:06"}}}));

    table.push_back({.name = "WriteShowsTheStartWindowBeforeTheRead",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.write("Петров Пётр Петрович", "52", false, "пароль");
                             ASSERT_TRUE(r.receive(6));
                             const auto password = r.written().at(1);
                             EXPECT_EQ(password[1], 0xEF) << "«п» in the code page";
                             EXPECT_EQ(password[7], 0xFF) << "after the six letters";
                             EXPECT_EQ(r.written().size(), 3u) << "passport, password twice";
                             EXPECT_EQ(r.written().at(2), password);
                         },
                     .messages = {kWriteQuestion, kStartQuestion, kStartedNow},
                     .indicator = colours::kGreen,
                     .top = kWriteTop,
                     .fields = {{Control::Date, "09.12.26"},
                                {Control::TimeNow, "08:05"},
                                {Control::TimeStart, "08:05"},
                                {Control::TimeEnd, "20:05"},
                                {Control::Ubat, "2,90 В"}},
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_FALSE(r.view.timerRunning(TimerId::Timer1));
                             EXPECT_EQ(r.view.timerStarts[TimerId::Timer1], 1);
                             EXPECT_EQ(r.view.timerIntervals[TimerId::Timer1], 16)
                                 << "a visible slide";
                             EXPECT_EQ(r.state().outputReport[1], 0x43) << "the last command";
                         }});

    table.push_back(
        {.name = "WriteTakesAwayTheAnalysisOfTheNightShown",
         .session =
             [](LinkRig& r) {
                 r.start();
                 r.read();
                 r.fire(TimerId::Timer2);
                 ASSERT_TRUE(r.state().nightAnalysis);
                 r.write("Петров Пётр Петрович", "52", true);
                 ASSERT_TRUE(r.receive(6));
             },
         .messages = {kWriteQuestion, kStartQuestion, kStartsAt22},
         .indicator = colours::kGreen,
         .top = kWriteTop,
         .beeps = 2,
         .fields = {{Control::Name, "Петров Пётр Петрович"}, {Control::Date, "09.12.26"}},
         .survives =
             [](LinkRig& r) {
                 // The curve went with the closing block; the previous patient's night
                 // must not stay behind it, nor go into a report under the new name.
                 EXPECT_EQ(r.form->chart().series2().count(), 0u);
                 EXPECT_FALSE(r.state().nightAnalysis);
                 EXPECT_FALSE(r.view.analysisShown().recording);
             }});

    const std::string patient = "Петров Пётр Петрович";
    const auto check = [](const std::string& text) {
        return Seen{lt::kPassportCheckTitle, text, kInformation, kOk};
    };
    const std::deque<MessageAnswer> yesYes = {MessageAnswer::Yes, MessageAnswer::Yes};
    table.push_back(refusedWrite("WriteWithoutName", "", "52", {}, {}, {check(lt::kNoNameText)},
                                 Control::Name));
    table.push_back(refusedWrite("WriteWithoutAge", patient, "", {}, {}, {check(lt::kNoAgeText)},
                                 Control::Old));
    table.push_back(refusedWrite("WriteNameOutsideTheCodePage", "Łukasz Nowak", "52", {}, {},
                                 {check(*passport_entry::nameProblem("Ł"))}, Control::Name));
    const std::string yaAt22 = "Константинопольский Ая";  // "я" is the 22nd character
    table.push_back(refusedWrite("WriteNameWithYaAt22ndPlace", yaAt22, "52", {}, {},
                                 {check(*passport_entry::nameProblem(yaAt22))}, Control::Name));
    table.push_back(refusedWrite("WriteAgeAboveOneByte", patient, "256", {}, {},
                                 {check(passport_entry::kAgeProblem)}, Control::Old));
    table.push_back(refusedWrite("WriteAgeNotWhole", patient, "4,5", {}, {},
                                 {check(passport_entry::kAgeProblem)}, Control::Old));
    table.push_back(refusedWrite("WriteAnsweredNo", patient, "52", {MessageAnswer::No}, {},
                                 {kWriteQuestion}, std::nullopt));
    table.push_back(
        refusedWrite("WritePasswordWithYa", patient, "52", yesYes, "моя",
                     {kWriteQuestion, kStartQuestion, check(*passport_entry::passwordProblem("я"))},
                     std::nullopt));
    table.push_back({.name = "WritePasswordDialogClosed",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.write("Петров Пётр Петрович", "52", true, std::nullopt);
                             EXPECT_EQ(r.view.colour(Control::OpenIndicator), colours::kBlue)
                                 << "the passport went out";
                             ASSERT_TRUE(r.receive(6));
                         },
                     .messages = {kWriteQuestion, kStartQuestion, kStartsAt22},
                     .indicator = colours::kGreen,
                     .top = kWriteTop,
                     .fields = {{Control::Name, "Петров Пётр Петрович"}, {Control::Ubat, "2,90 В"}},
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(passportSent(r)[26], 52) << "the age";
                             const auto password = r.written().at(1);
                             EXPECT_TRUE(std::all_of(password.begin() + 1, password.begin() + 12,
                                                     [](std::uint8_t b) { return b == 0xFF; }))
                                 << "no password: ten 0xFF bytes and the pad";
                             EXPECT_TRUE(r.recorder.flash().passwordAbsent());
                         }});

    table.push_back({.name = "WrongEcho",
                     .session =
                         [](LinkRig& r) {
                             r.recorder.faults.wrongEcho = true;
                             r.start();
                             r.write("Петров Пётр Петрович", "52", true);
                             ASSERT_TRUE(r.receive(6));
                         },
                     .messages = {kWriteQuestion, kStartQuestion},
                     .indicator = colours::kBlue,
                     .top = kWriteTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_TRUE(r.state().programmedFlag)
                                 << "tested again on every report";
                             EXPECT_FALSE(r.view.timerRunning(TimerId::Timer1));
                         }});

    table.push_back(
        {"LowBatteryAtWriteAndRead",
         [](LinkRig& r) {
             r.recorder.setBattery(2800);
             r.start();
             r.write("Петров Пётр Петрович", "52", true);
             ASSERT_TRUE(r.receive(6));
             EXPECT_EQ(r.view.colour(Control::Ubat), std::nullopt) << "not recoloured at the write";
             r.read();
             r.fire(TimerId::Timer2);
         },
         {kWriteQuestion, kStartQuestion, kStartsAt22, batteryWarning(battery::Warning::Flat),
          batteryWarning(battery::Warning::Flat)},
         colours::kGreen,
         kReadTop - 139,
         2,
         {{Control::Ubat, "2,46 В"}},
         [](LinkRig& r) { EXPECT_EQ(r.view.colour(Control::Ubat), colours::kRed); }});

    table.push_back(batteryAtRead(3300, "2,90 В", std::nullopt, battery::Warning::None));
    table.push_back(batteryAtRead(2901, "2,55 В", std::nullopt, battery::Warning::None));
    table.push_back(batteryAtRead(2900, "2,55 В", colours::kYellow, battery::Warning::NearlyFlat));
    table.push_back(batteryAtRead(2800, "2,46 В", colours::kRed, battery::Warning::Flat));
    table.push_back(batteryAtRead(0, "0,00 В", colours::kRed, battery::Warning::Flat));

    table.push_back({.name = "PlugDuringPrinting",
                     .session =
                         [](LinkRig& r) {
                             r.start(false);
                             r.view.onPrint = [&r] {
                                 r.adapter.emplace(r.platform, r.recorder);
                                 EXPECT_TRUE(r.claimed());
                                 EXPECT_FALSE(r.view.visible(Control::ReadData)) << "not on paper";
                                 EXPECT_FALSE(r.view.visible(Control::OpenIndicator));
                                 return PrintOutcome::Printed;
                             };
                             r.form->PrintGrafClick();
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_EQ(r.view.prints, 1);
                             EXPECT_TRUE(r.view.visible(Control::LoadFile));
                             EXPECT_TRUE(r.view.visible(Control::Ubat));
                         }});

    table.push_back({.name = "UnplugDuringPrinting",
                     .session =
                         [](LinkRig& r) {
                             r.start();
                             r.view.setVisible(Control::Filter_plus, false);
                             r.view.onPrint = [&r] {
                                 r.adapter->unplug();
                                 EXPECT_TRUE(r.gone());
                                 return PrintOutcome::Printed;
                             };
                             r.form->PrintGrafClick();
                         },
                     .indicator = colours::kGreen,
                     .top = kReadTop,
                     .survives =
                         [](LinkRig& r) {
                             EXPECT_TRUE(r.view.visible(Control::SaveFileData));
                             EXPECT_FALSE(r.view.visible(Control::Filter_plus)) << "as it was";
                         },
                     .buttonsShown = false});

    table.push_back(
        {.name = "FileLoadDuringRead",
         .session =
             [](LinkRig& r) {
                 r.start();
                 r.form->ReadDataClick();
                 ASSERT_TRUE(r.receive(60));
                 // The rest of the read arrives while the load's first box is open.
                 r.view.passwordAnswers.push_back("1234");
                 r.view.whileBoxOpen = [&r] { ASSERT_TRUE(r.receive(80)); };
                 const MemoryImage loaded =
                     makeImage(ImageOptions().withPassword("1234").withName("Сидоров С. С."));
                 ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
                 EXPECT_EQ(r.state().memoryImage, loaded);
             },
         .messages = {kReadCut},
         .indicator = colours::kRed,  // not read: not the green of a complete read
         .top = kReadTop - 59,        // where the 60th block had raised it
         .beeps = 0,                  // the closing block is not taken: no beep
         .fields = {{Control::Name, "Сидоров С. С."}},
         .survives =
             [](LinkRig& r) {
                 EXPECT_FALSE(r.view.timerRunning(TimerId::Timer2)) << "no check comes";
                 EXPECT_EQ(r.form->chart().series2().count(), 4320u);
                 EXPECT_EQ(r.delivered, 140);
             }});

    // A load while the write awaits its confirmation: the recorder's echo must not reach the
    // loaded recording, nor may the indicator tell of a confirmed write.
    const MemoryImage loaded = makeImage(ImageOptions().withName("Сидоров С. С."));
    table.push_back(
        {.name = "FileLoadWhileTheWriteAwaitsItsConfirmation",
         .session =
             [loaded](LinkRig& r) {
                 r.start();
                 r.write("Петров Пётр Петрович", "52", true);
                 ASSERT_TRUE(r.receive(3));  // ack, closing block, block 1
                 ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
                 ASSERT_TRUE(r.receive(3));  // the echo and the programmed marker
                 // A second load has no session left to end, and says nothing of it.
                 ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
             },
         .messages = {kWriteQuestion, kStartQuestion, kWriteCut},
         .indicator = colours::kRed,
         .top = kWriteTop,  // where the slide stood
         .beeps = 0,
         .fields = {{Control::Name, "Сидоров С. С."}},
         .survives =
             [loaded](LinkRig& r) {
                 EXPECT_EQ(r.state().memoryImage, loaded);
                 EXPECT_FALSE(r.view.timerRunning(TimerId::Timer1));
                 EXPECT_EQ(r.written().size(), 3u) << "passport, password twice";
             }});
    table.push_back(
        {.name = "FileLoadBeforeTheWriteIsAcknowledged",
         .session =
             [loaded](LinkRig& r) {
                 r.start();
                 r.write("Петров Пётр Петрович", "52", true);
                 ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
                 ASSERT_TRUE(r.receive(1));  // the acknowledgement of the passport
             },
         .messages = {kWriteQuestion, kStartQuestion, kWriteCut},  // the late one is not asked
         .indicator = colours::kRed,
         .top = kWriteTop,
         .fields = {{Control::Name, "Сидоров С. С."}},
         .survives =
             [loaded](LinkRig& r) {
                 EXPECT_EQ(r.state().memoryImage, loaded);
                 EXPECT_EQ(r.written().size(), 1u) << "no password over a loaded file";
             }});

    // After a load, reports that no session awaits never reach the loaded recording: the
    // recorder's acknowledgement is answered as one no command asked for, the rest is dropped.
    const MemoryImage protectedNight =
        makeImage(ImageOptions().withPassword("1234").withName("Сидоров С. С."));
    const auto strays = [](LinkRig& r) {
        std::array<std::uint8_t, 32> data{};
        data.fill(0x55);
        for (const auto& block : {markerBlock(0xFE), data, markerBlock(0xFF), markerBlock(0xFD)}) {
            r.platform.sendInput(r.adapter->id(), block);
        }
        ASSERT_TRUE(r.receive(4));
    };
    table.push_back({.name = "AckMarkerAfterALoadWithNoCommandIssued",
                     .session =
                         [loaded, strays](LinkRig& r) {
                             r.start();
                             ASSERT_TRUE(
                                 r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
                             strays(r);
                         },
                     .messages = {kNoCommand},
                     .indicator = colours::kGreen,
                     .top = kReadTop,
                     .fields = {{Control::Name, "Сидоров С. С."}, {Control::Ubat, "2,90 В"}},
                     .survives =
                         [loaded](LinkRig& r) {
                             EXPECT_EQ(r.state().memoryImage, loaded);
                             ASSERT_FALSE(r.view.focusLog.empty());
                             EXPECT_EQ(r.view.focusLog.back(), Control::ReadData);
                             EXPECT_TRUE(r.written().empty());
                         }});
    table.push_back(
        {.name = "StrayReportsAfterALoadThatFollowedARead",
         .session =
             [protectedNight, strays](LinkRig& r) {
                 r.start();
                 r.read();
                 r.fire(TimerId::Timer2);
                 r.form->FormKeyDown();  // the next block would land in block 0
                 r.view.passwordAnswers.push_back("1234");
                 ASSERT_TRUE(r.form->loadRecordingBytes(dataFileBytes(protectedNight), "x.txt"));
                 strays(r);
             },
         .messages = {kNoCommand},
         .indicator = colours::kGreen,  // the read's own verdict
         .top = kReadTop - 139,
         .beeps = 2,  // the read's, none for the stray closing block
         .fields = {{Control::Name, "Сидоров С. С."}},
         .survives =
             [protectedNight](LinkRig& r) {
                 EXPECT_EQ(r.state().memoryImage, protectedNight);
                 EXPECT_EQ(r.view.passwordPrompts(), 1) << "asked by the load alone";
                 EXPECT_FALSE(r.view.timerRunning(TimerId::Timer2)) << "no check";
                 EXPECT_EQ(r.form->chart().series2().count(), 4320u);
                 EXPECT_TRUE(r.state().nightAnalysis);
             }});
    // The loaded night has no password, so its own passport would pass the write's echo test.
    table.push_back({.name = "StrayReportsAfterALoadThatFollowedAWrite",
                     .session =
                         [loaded, strays](LinkRig& r) {
                             r.start();
                             r.write("Петров Пётр Петрович", "52", true);
                             ASSERT_TRUE(r.receive(6));
                             ASSERT_TRUE(
                                 r.form->loadRecordingBytes(dataFileBytes(loaded), "x.txt"));
                             strays(r);
                         },
                     .messages = {kWriteQuestion, kStartQuestion, kStartsAt22, kNoCommand},
                     .indicator = colours::kGreen,
                     .top = kWriteTop,
                     .fields = {{Control::Name, "Сидоров С. С."}},
                     .survives =
                         [loaded](LinkRig& r) {
                             EXPECT_EQ(r.state().memoryImage, loaded);
                             EXPECT_EQ(r.written().size(), 3u) << "no password report to a stray";
                             EXPECT_FALSE(r.view.timerRunning(TimerId::Timer1));
                         }});

    return table;
}

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.name;
}

class LinkSession : public ::testing::TestWithParam<Scenario> {};

TEST_P(LinkSession, WhatTheDoctorSeesAndWhatSurvives) {
    const Scenario& s = GetParam();
    LinkRig rig;
    s.session(rig);
    if (HasFatalFailure()) {
        return;
    }
    std::vector<Seen> seen;
    for (const auto& m : rig.view.messages()) {
        seen.emplace_back(m.title, m.text, m.icon, m.buttons);
    }
    EXPECT_EQ(seen, s.messages);
    EXPECT_EQ(rig.view.colour(Control::OpenIndicator), s.indicator);
    if (s.top) {
        EXPECT_EQ(rig.view.top(Control::OpenIndicator), s.top);
    }
    for (Control c : {Control::ReadData, Control::WriteData, Control::OpenIndicator}) {
        EXPECT_EQ(rig.view.visible(c), s.buttonsShown) << controlName(c);
    }
    EXPECT_EQ(rig.view.beeps(), s.beeps);
    for (const auto& [control, text] : s.fields) {
        EXPECT_EQ(rig.view.text(control), text) << controlName(control);
    }
    if (s.survives) {
        s.survives(rig);
    }
}

// "Запись" empties the image to take the recorder's echo, while the chart still shows the night
// before until the echo comes: parameters changed meanwhile analyse the night shown, not the
// emptied image.
TEST(LinkAnalysisTest, ParametersAnalyseTheNightShownWhileAWriteRefillsTheImage) {
    LinkRig rig;
    rig.start();
    ASSERT_TRUE(rig.form->loadRecording(std::string(NPT_EXAMPLES_DIR) + "/night.txt"));
    rig.write("Петров Пётр Петрович", "52", true);
    ASSERT_EQ(rig.written().size(), 1u) << "the passport went out";
    ASSERT_EQ(rig.state().memoryImage, MemoryImage()) << "the image awaits the echo";
    AnalysisParameters p;
    p.min_duration_s = 10 * 60;
    ASSERT_EQ(rig.form->setAnalysisParameters(p), std::nullopt);
    EXPECT_EQ(rig.view.analysisShown().analysis.episodes.size(), 5u);
}

TEST(LinkTextsTest, AnAdaptersReportLengthIsCountedInProperRussian) {
    for (const auto& [length, said] :
         std::vector<std::pair<int, std::string>>{{1, "отчётами по 1 байту,"},
                                                  {21, "отчётами по 21 байту,"},
                                                  {64, "отчётами по 64 байта,"},
                                                  {65, "отчётами по 65 байт,"},
                                                  {111, "отчётами по 111 байт,"}}) {
        EXPECT_NE(lt::unsupportedAdapter(static_cast<std::uint16_t>(length)).find(said),
                  std::string::npos)
            << said;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LinkSession, ::testing::ValuesIn(scenarios()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace npt
