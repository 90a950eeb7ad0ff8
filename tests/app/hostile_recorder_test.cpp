// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Recorders and adapters that misbehave (the rows of hostile_recorder_fixture.h), read through
// the real controller and reader thread over the in-process platform in the window's session:
// the scripted view, with the completion check on real timers as in the window. The same rows
// read by `npt read` are the command-line tool's tests.
//
// Also the doctor pressing "Чтение" a second time while the demonstration recorder answers.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/link_texts.h"
#include "hostile_recorder_fixture.h"
#include "link_fixture.h"

namespace npt {
namespace {

using namespace npt::test;

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
