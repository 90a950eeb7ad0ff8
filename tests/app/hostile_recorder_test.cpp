// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Recorders and adapters that misbehave, read through the real controller and reader thread over
// the in-process platform: each row once in the window's session (the scripted view, with the
// completion check on real timers as in the window) and once through `npt read`. Only the
// recorder's memory, block for block, may be kept; whatever is not kept, the doctor is told why.
//
// Also the doctor pressing "Чтение" a second time while the demonstration recorder answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/link_texts.h"
#include "cli/read_command.h"
#include "link_fixture.h"

namespace npt {
namespace {

using namespace npt::test;
using Seen = std::pair<std::string, std::string>;  // title, text
namespace lt = link_texts;

constexpr std::uint16_t kBattery = 3300;  // no battery warning
const Seen kIncomplete{lt::kReadErrorTitle, lt::kIncompleteText};
const Seen kOverlong{lt::kReadErrorTitle, lt::kOverlongText};
const Seen kWrongPassword{kWrongPasswordTitle, kWrongPasswordText};
const std::string kPatient = "Иванов Иван Иванович";

// The image a whole read of flash brings: the acknowledgement with the battery, the flash's
// blocks 1-138, the closing block.
MemoryImage asRead(const MemoryImage& flash) {
    MemoryImage image = flash;
    auto bytes = image.bytes();
    std::fill(bytes.begin(), bytes.begin() + 32, 0);
    std::fill(bytes.begin() + 139 * 32, bytes.end(), 0);
    bytes[0] = 0xFE;
    bytes[1] = 0xFE;
    image.setWord(ImageOffsets::kBattery, kBattery);
    bytes[139 * 32] = 0xFE;
    bytes[139 * 32 + 1] = 0xFF;
    return image;
}

// The same with the patient's name hidden, as saved without the password.
MemoryImage withoutName(MemoryImage image) {
    std::fill(image.bytes().begin() + ImageOffsets::kPassportLead,
              image.bytes().begin() + ImageOffsets::kName + ImageOffsets::kNameLength, 0);
    return image;
}

struct Hostile {
    std::string name;
    ImageOptions memory;  // the recorder's flash
    std::function<void(hid::RecorderFaults&)> fault;
    std::optional<std::string> typed;  // the password the doctor types when asked
    bool twoAdapters = false;          // a second adapter, hearing another recorder
    int reports = 140;                 // reaching the window; 0: the adapter is not claimed
    // In the window: the messages on the adapter, the read and the password, in order; the
    // indicator; the name shown.
    std::vector<Seen> said;
    std::optional<Rgb> indicator;
    std::optional<std::string> nameShown;
    std::optional<std::string> nameAtFirstCheck;  // of a read checked twice
    // What "В файл" and `npt read` keep (nothing: both refuse), and why the window refuses.
    std::function<MemoryImage(const MemoryImage& flash)> kept;
    const char* refusal = lt::kReadIncompleteSaveText;
    std::string toolSays;  // part of what `npt read` says on stderr
};

std::vector<Hostile> hostileRecorders() {
    using Leftover = hid::RecorderFaults::Leftover;
    const auto whole = [](const MemoryImage& flash) { return asRead(flash); };
    std::vector<Hostile> rows;

    Hostile h;
    h.name = "InputReportsOf31Bytes";
    h.fault = [](auto& f) { f.inputReportBytes = 31; };
    h.reports = 0;
    h.said = {{lt::kAdapterTitle, lt::unsupportedAdapter(33, 32)}};
    h.toolSays = "передаёт ответы датчика отчётами по 32 байта";
    rows.push_back(h);

    // 140 reports, every block one place off: the passport gone, the curve shifted.
    h = {};
    h.name = "LeftoverDataBlockBeforeTheAcknowledgementAndABlockLost";
    h.fault = [](auto& f) {
        f.leftover = Leftover::DataBlock;
        f.dropBlock = 70;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "первым пришёл не блок подтверждения датчика";
    rows.push_back(h);

    h = {};
    h.name = "LeftoverClosingBlockBeforeTheAcknowledgementAndABlockLost";
    h.fault = [](auto& f) {
        f.leftover = Leftover::ClosingBlock;
        f.dropBlock = 70;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "первым пришёл не блок подтверждения датчика";
    rows.push_back(h);

    // No acknowledgement arms a check: the window waits, blue, as for a recorder that does not
    // answer.
    h = {};
    h.name = "NoAcknowledgement";
    h.fault = [](auto& f) {
        f.leftover = Leftover::DataBlock;
        f.acknowledgementLost = true;
    };
    h.indicator = colours::kBlue;
    h.refusal = lt::kReadNotOverText;
    h.toolSays = "датчик не подтвердил команду чтения: получено блоков 140";
    rows.push_back(h);

    h = {};
    h.name = "ClosingBlockLostAndAnotherInItsPlace";
    h.fault = [](auto& f) {
        f.closingBlockLost = true;
        f.extraBlocks = 1;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "140-м пришёл не завершающий блок";
    rows.push_back(h);

    h = {};
    h.name = "ABlockLost";
    h.fault = [](auto& f) { f.dropBlock = 70; };
    h.reports = 139;
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "чтение неполное: получено блоков 139 из 140";
    rows.push_back(h);

    h = {};
    h.name = "ABlockTwice";
    h.fault = [](auto& f) { f.duplicateBlock = 70; };
    h.reports = 141;
    h.said = {kOverlong};
    h.indicator = colours::kRed;
    h.toolSays = "чтение неверное: получено блоков 141 вместо 140, и 140-м пришёл не завершающий";
    rows.push_back(h);

    // The first 140 blocks are the memory: said, but kept.
    h = {};
    h.name = "BlocksAfterTheClosingBlock";
    h.fault = [](auto& f) { f.extraBlocks = 3; };
    h.reports = 143;
    h.said = {kOverlong};
    h.indicator = colours::kRed;
    h.nameShown = kPatient;
    h.kept = whole;
    h.toolSays = "после завершающего блока пришло лишних блоков: 3";
    rows.push_back(h);

    // The first check finds one block and must not ask for the password, whose bytes have not
    // come; the second, whole one asks once, and the right password keeps the name.
    h = {};
    h.name = "PauseAfterTheAcknowledgement";
    h.memory = ImageOptions().withPassword("1234");
    h.fault = [](auto& f) {
        f.stallAfterReports = 1;
        f.stallFor = 1500ms;
    };
    h.typed = "1234";
    h.said = {kIncomplete};
    h.indicator = colours::kGreen;
    h.nameShown = kPatient;
    h.kept = whole;
    rows.push_back(h);

    h.name = "PauseAfterTheAcknowledgementWithoutPassword";
    h.memory = ImageOptions();
    h.typed.reset();
    rows.push_back(h);

    // Here the password has come by the first check, but that check is not of a whole read:
    // it asks nothing and shows no name yet.
    h.name = "PauseAfterThePassport";
    h.memory = ImageOptions().withPassword("1234");
    h.typed = "1234";
    h.fault = [](auto& f) {
        f.stallAfterReports = 10;
        f.stallFor = 1500ms;
    };
    h.nameAtFirstCheck = "";
    rows.push_back(h);

    // The 22nd letter «я» is 0xFF at offset 100, which the passport-presence test reads as
    // erased flash: the name must go from the file all the same.
    h = {};
    h.name = "NameEndingInYaWithoutItsPassword";
    h.memory = ImageOptions().withName("Александрова Анастасия").withPassword("1234");
    h.typed = "";
    h.said = {kWrongPassword};
    h.indicator = colours::kGreen;
    h.nameShown = "";
    h.kept = [](const MemoryImage& flash) { return withoutName(asRead(flash)); };
    h.toolSays = kWrongPasswordText;
    rows.push_back(h);

    h = {};
    h.name = "TwoAdapters";
    h.twoAdapters = true;
    h.said = {{lt::kAdapterTitle, lt::kSeveralAdaptersText}};
    h.indicator = colours::kGreen;
    h.nameShown = kPatient;
    h.kept = whole;
    h.toolSays = lt::kSeveralAdaptersText;
    rows.push_back(h);

    return rows;
}

void PrintTo(const Hostile& h, std::ostream* out) {
    *out << h.name;
}

// The recorder a second adapter hears: another patient's night.
MemoryImage otherNight() {
    return makeImage(ImageOptions().withName("Сидоров Сидор Сидорович").withSamples(60));
}

class HostileRecorder : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileRecorder, InTheWindow) {
    const Hostile& h = GetParam();
    LinkRig rig;
    rig.recorder = hid::SimulatedRecorder(makeImage(h.memory), kBattery);
    if (h.fault) {
        h.fault(rig.recorder.faults);
    }
    rig.view.runTimersOn(rig.loop);
    std::vector<std::string> namesAtChecks;
    rig.view.onTimer = [&rig, &namesAtChecks](TimerId timer) {
        if (timer == TimerId::Timer1) {
            rig.form->Timer1Timer();
        } else {
            rig.form->Timer2Timer();
            namesAtChecks.push_back(rig.view.text(Control::Name));
        }
    };
    hid::SimulatedRecorder other(otherNight());
    std::optional<hid::SimulatedRecorderDevice> second;
    if (h.reports == 0) {
        rig.start(false);
        rig.adapter.emplace(rig.platform, rig.recorder);
        ASSERT_TRUE(rig.pump([&rig] { return !rig.view.messages().empty(); }));
        EXPECT_EQ(rig.state().recorderDevice, nullptr);
        EXPECT_EQ(rig.hid->NumCheckedOutDevices(), 0);
        EXPECT_FALSE(rig.view.visible(Control::ReadData));
    } else {
        rig.start();
        if (h.twoAdapters) {
            second.emplace(rig.platform, other);
            ASSERT_TRUE(rig.pump([&rig] { return !rig.view.messages().empty(); }));
        }
        if (h.typed) {
            rig.view.passwordAnswers.push_back(*h.typed);
        }
        rig.form->ReadDataClick();
        if (second) {
            // The other adapter hears its own recorder too; nothing of it may reach the read.
            rig.platform.sendInput(second->id(), markerBlock(0xFF));
        }
        ASSERT_TRUE(rig.pump(
            [&] { return rig.delivered >= h.reports && !rig.view.timerRunning(TimerId::Timer2); },
            20s))
            << rig.delivered << " reports";
        EXPECT_EQ(rig.view.colour(Control::OpenIndicator), h.indicator);
        EXPECT_EQ(rig.view.passwordPrompts(), h.typed && h.kept ? 1 : 0);
        EXPECT_TRUE(rig.view.passwordAnswers.empty());
        if (h.nameShown) {
            EXPECT_EQ(rig.view.text(Control::Name), *h.nameShown);
        }
        if (h.nameAtFirstCheck) {
            ASSERT_EQ(namesAtChecks.size(), 2u);
            EXPECT_EQ(namesAtChecks.front(), *h.nameAtFirstCheck);
        }
    }
    std::vector<Seen> said;
    for (const auto& m : rig.view.messages()) {
        if (m.title == lt::kAdapterTitle || m.title == lt::kReadErrorTitle ||
            m.title == kWrongPasswordTitle) {
            said.emplace_back(m.title, m.text);
        }
    }
    EXPECT_EQ(said, h.said);
    if (h.reports == 0) {
        return;
    }

    // "В файл", as a recording and as a table.
    const fs::path dir = scratchDir("app");
    rig.view.clearMessages();
    const bool saved = rig.form->saveDataFile((dir / "night.txt").string());
    const bool exported = rig.form->exportCsv((dir / "night.csv").string());
    if (h.kept) {
        ASSERT_TRUE(saved && exported);
        EXPECT_EQ(readAll(dir / "night.txt"), dataFileBytes(h.kept(rig.recorder.flash())));
    } else {
        EXPECT_FALSE(saved || exported);
        const CollectedMessage refused{lt::kSaveTitle, h.refusal, MessageIcon::Warning,
                                       MessageButtons::Ok};
        ASSERT_EQ(rig.view.messages().size(), 2u);
        for (const CollectedMessage& m : rig.view.messages()) {
            EXPECT_EQ(std::tie(m.title, m.text, m.icon, m.buttons),
                      std::tie(refused.title, refused.text, refused.icon, refused.buttons));
        }
        EXPECT_TRUE(entriesOf(dir).empty());
    }
}

TEST_P(HostileRecorder, ThroughNptRead) {
    const Hostile& h = GetParam();
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder(makeImage(h.memory), kBattery);
    if (h.fault) {
        h.fault(recorder.faults);
    }
    hid::SimulatedRecorder other(otherNight());
    std::optional<hid::SimulatedRecorderDevice> adapter, second;
    adapter.emplace(platform, recorder);
    if (h.twoAdapters) {
        second.emplace(platform, other);
    }
    const fs::path file = scratchDir("cli") / "night.txt";
    std::ostringstream out, err;
    const int status = readRecorder({file.string(), h.typed, 5s}, platform, out, err);
    const std::string said = err.str();
    EXPECT_NE(said.find(h.toolSays), std::string::npos) << said;
    if (h.kept) {
        ASSERT_EQ(status, 0) << said;
        EXPECT_EQ(out.str(),
                  "Память датчика прочитана (140 блоков) и сохранена в «" + file.string() + "».\n");
        EXPECT_EQ(readAll(file), dataFileBytes(h.kept(recorder.flash())));
        // A slow read is checked twice; only how it ended is said.
        EXPECT_EQ(said.find(lt::kIncompleteText), std::string::npos) << said;
    } else {
        EXPECT_EQ(status, 1);
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(fs::exists(file));
        // One line names why nothing was kept.
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(h.reports == 0 ? "не используется" : "запись не сохранена"),
                  std::string::npos)
            << said;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileRecorder, ::testing::ValuesIn(hostileRecorders()),
                         [](const auto& info) { return info.param.name; });

// "Чтение" pressed again at the demonstration recorder's pace (it wakes 150 ms after the command,
// then sends a block every 5 ms): before the recorder has answered, the command goes out again,
// and the recorder's second answer, after the whole first one, is not taken; while the answer
// comes in, or its check is pending, the click is not taken. Either way one whole read, one
// password prompt, no box.
TEST(SecondReadClick, NeitherCorruptsTheReadNorAsksTwice) {
    struct Case {
        const char* when;
        std::chrono::milliseconds after;  // the second click, after the first
        bool firstUnanswered;             // the recorder did not hear the first command
        std::size_t commands;             // read commands written
        int reports;                      // reports reaching the window
    };
    const Case cases[] = {
        {"before the recorder answers", 50ms, false, 2, 280},
        {"after an unanswered command", 300ms, true, 2, 140},
        {"while the answer comes in", 400ms, false, 1, 140},
        {"between the closing block and the check", 950ms, false, 1, 140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        LinkRig rig;
        rig.recorder = hid::SimulatedRecorder(makeImage(ImageOptions().withPassword("1234")));
        rig.recorder.faults.stallBeforeAnswer = 150ms;
        rig.recorder.faults.reportInterval = 5ms;
        rig.recorder.faults.neverAcknowledge = c.firstUnanswered;
        rig.view.runTimersOn(rig.loop);
        rig.view.onTimer = [&rig](TimerId timer) {
            timer == TimerId::Timer1 ? rig.form->Timer1Timer() : rig.form->Timer2Timer();
        };
        rig.start();
        rig.view.passwordAnswers.push_back("1234");
        rig.form->ReadDataClick();
        rig.loop.startTimer(c.after, false, [&rig] {
            rig.recorder.faults.neverAcknowledge = false;
            rig.form->ReadDataClick();
        });
        ASSERT_TRUE(rig.pump(
            [&] {
                return rig.written().size() == c.commands && rig.delivered >= c.reports &&
                       !rig.view.timerRunning(TimerId::Timer2);
            },
            10s))
            << rig.delivered << " reports";
        rig.loop.processEvents(0ms);
        EXPECT_EQ(rig.delivered, c.reports);
        EXPECT_TRUE(rig.view.messages().empty()) << rig.view.messages().front().text;
        EXPECT_EQ(rig.view.passwordPrompts(), 1);
        EXPECT_EQ(rig.view.colour(Control::OpenIndicator), colours::kGreen);
        EXPECT_EQ(rig.view.text(Control::Name), kPatient);
        EXPECT_EQ(rig.view.text(Control::Old), "47");
        EXPECT_EQ(rig.state().blockCounter, 140);
        EXPECT_EQ(rig.state().memoryImage, asRead(rig.recorder.flash()));
    }
}

}  // namespace
}  // namespace npt
