// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a recording from a data file: messages, password step, fields and chart, and the
// promise that a failed load changes nothing.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace npt {
namespace {

using namespace npt::test;

struct Msg {
    std::string title;
    std::string text;
    MessageIcon icon;
};

std::vector<Msg> messagesOf(const ScriptedView& view) {
    std::vector<Msg> out;
    for (const auto& m : view.messages()) {
        out.push_back({m.title, m.text, m.icon});
    }
    return out;
}

void expectMessages(const ScriptedView& view, const std::vector<Msg>& expected) {
    const auto actual = messagesOf(view);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].title, expected[i].title) << "message " << i;
        EXPECT_EQ(actual[i].text, expected[i].text) << "message " << i;
        EXPECT_EQ(actual[i].icon, expected[i].icon) << "message " << i;
    }
}

// The texts as the doctor reads them, spelled out so that a slip in a shared constant shows.
const Msg kEmptyMemory{"Чтение данных датчика регистратора",
                       "Память датчика пустая (без паспортной части)!", MessageIcon::Information};
const Msg kWrongPassword{"Ошибка пароля!", "Неверный пароль! ФИО пациента будет скрыто!",
                         MessageIcon::Warning};

void expectShownRecording(const FormRig& rig) {
    const ChartModel& chart = rig.form.chart();
    EXPECT_EQ(chart.series1().count(), 4320u);
    EXPECT_EQ(chart.series2().count(), 4320u);
    EXPECT_EQ(rig.form.state().diameterTable.count, 4320);
    EXPECT_EQ(chart.period(), 1);
    EXPECT_FALSE(chart.series1().active());
    EXPECT_EQ(chart.series2().colour(), colours::kBlue);
}

TEST(LoadFlowTest, RecordingWithoutPasswordShowsPassportBatteryAndChart) {
    const fs::path file = writeImage(scratchDir("app") / "night.txt", makeImage());
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_EQ(rig.view.passwordPrompts(), 0);
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");
    EXPECT_EQ(rig.view.text(Control::Old), "47");
    EXPECT_EQ(rig.view.text(Control::TimeStart), "22:00");
    EXPECT_EQ(rig.view.text(Control::TimeNow), "21:30");
    EXPECT_EQ(rig.view.text(Control::Tscan), "10");
    EXPECT_EQ(rig.view.text(Control::Ubat), "2,90 В");
    // A load gives no battery warning, so the field loses any warning colour.
    EXPECT_EQ(rig.view.colour(Control::Ubat), std::nullopt);
    ASSERT_FALSE(rig.view.colourLog.empty());
    EXPECT_EQ(rig.view.colourLog.back().first, Control::Ubat);
    expectShownRecording(rig);
    EXPECT_DOUBLE_EQ(rig.form.chart().series1().ys()[0], 29.6);
    EXPECT_DOUBLE_EQ(rig.form.chart().series1().xs()[0], 22.0 / 24.0);
    EXPECT_GT(rig.view.chartChanges, 0);
    EXPECT_EQ(rig.view.chartSentBack, 1);
    EXPECT_GT(rig.view.repaints, 0);
}

TEST(LoadFlowTest, PasswordAnswers) {
    struct Case {
        const char* label;
        const char* stored;
        std::optional<std::string> answer;  // nothing: dialog closed without confirming
        bool nameShown;
    };
    const Case cases[] = {
        {"right", "abc", std::string("abc"), true},
        {"other letter case", "abc", std::string("ABC"), false},
        {"one more character", "abc", std::string("abcd"), false},
        {"one character fewer", "abc", std::string("ab"), false},
        {"empty", "abc", std::string(""), false},
        {"dismissed", "abc", std::nullopt, false},
        {"Cyrillic", "пароль", std::string("пароль"), true},
        {"ten characters", "0123456789", std::string("0123456789"), true},
        {"tenth character differs", "0123456789", std::string("0123456780"), false},
        {"not in the code page", "abc", std::string("ab\u4e2d"), false},
    };
    const fs::path dir = scratchDir("app");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path file =
            writeImage(dir / "pw.txt", makeImage(ImageOptions().withPassword(c.stored)));
        FormRig rig;
        rig.view.passwordAnswers.push_back(c.answer);
        ASSERT_TRUE(rig.form.loadRecording(file.string()));
        EXPECT_EQ(rig.view.passwordPrompts(), 1);
        if (c.nameShown) {
            EXPECT_TRUE(rig.view.messages().empty());
            EXPECT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");
        } else {
            expectMessages(rig.view, {kWrongPassword});
            EXPECT_EQ(rig.view.text(Control::Name), "");
            EXPECT_TRUE(rig.form.state().password.nameHidden);
        }
        EXPECT_EQ(rig.view.text(Control::Old), "47");
        EXPECT_EQ(rig.view.text(Control::Date), "08.12.26");
        EXPECT_EQ(rig.view.text(Control::TimeStart), "22:00");
        expectShownRecording(rig);
    }
}

TEST(LoadFlowTest, RightPasswordAfterWrongOneShowsNameAgain) {
    const fs::path file =
        writeImage(scratchDir("app") / "pw.txt", makeImage(ImageOptions().withPassword("пароль")));
    FormRig rig;
    rig.view.passwordAnswers = {std::string("нет"), std::string("пароль")};
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_EQ(rig.view.text(Control::Name), "");
    rig.view.clearMessages();
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");
    EXPECT_FALSE(rig.form.state().password.nameHidden);
}

TEST(LoadFlowTest, ErasedMemoryWarnsOfCalibrationAndMissingPassportTwice) {
    const fs::path file = writeImage(scratchDir("app") / "erased.txt", erasedImage());
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_EQ(rig.view.passwordPrompts(), 0);
    std::vector<Msg> expected{kEmptyMemory};
    for (int mm : {10, 15, 20, 25}) {
        expected.push_back({"Проверка калибровки датчика",
                            "Датчик не откалиброван на " + std::to_string(mm) + "мм!",
                            MessageIcon::Warning});
    }
    expected.push_back(kEmptyMemory);
    expectMessages(rig.view, expected);
    EXPECT_EQ(rig.view.focusLog, (std::vector<Control>{Control::Name, Control::Name}));

    expectShownRecording(rig);
    for (double y : rig.form.chart().series1().ys()) {
        ASSERT_DOUBLE_EQ(y, 19.6);
    }
    EXPECT_DOUBLE_EQ(rig.form.state().diameterTable.entries[4319], 19.6);
    // Shown as 50, but the image keeps the recorder's bytes.
    EXPECT_EQ(rig.form.state().memoryImage, erasedImage());
    // Fields the passport would fill keep the start-up texts.
    EXPECT_EQ(rig.view.text(Control::TimeStart), "22:00");
    EXPECT_EQ(rig.view.text(Control::Ubat), "57,60 В");
}

TEST(LoadFlowTest, WithoutPassportTimesComeFromTheFieldAndTheLastPeriod) {
    const fs::path dir = scratchDir("app");
    const fs::path erased = writeImage(dir / "erased.txt", erasedImage());
    const fs::path fiveSeconds =
        writeImage(dir / "five.txt", makeImage(ImageOptions().withPeriod(5)));
    FormRig rig;
    rig.view.setText(Control::TimeStart, "23:30");
    ASSERT_TRUE(rig.form.loadRecording(erased.string()));
    // No passport has set a period yet: every sample sits at the start time.
    const auto& xs = rig.form.chart().series1().xs();
    EXPECT_DOUBLE_EQ(xs.front(), 23.5 / 24);
    EXPECT_DOUBLE_EQ(xs.back(), 23.5 / 24);

    ASSERT_TRUE(rig.form.loadRecording(fiveSeconds.string()));
    EXPECT_EQ(rig.view.text(Control::Tscan), "5");
    ASSERT_TRUE(rig.form.loadRecording(erased.string()));
    EXPECT_DOUBLE_EQ(xs.front(), 22.0 / 24);
    EXPECT_NEAR(xs[1] - xs[0], 5.0 / 86400, 1e-12);
    EXPECT_NEAR(xs.back(), 22.0 / 24 + 4319 * 5.0 / 86400, 1e-9);
}

TEST(LoadFlowTest, WithoutPassportThePreviousPatientsNameAndAgeGo) {
    const fs::path dir = scratchDir("app");
    const fs::path patient = writeImage(dir / "patient.txt", makeImage());
    const fs::path noPassport =
        writeImage(dir / "nopass.txt", makeImage(ImageOptions().withoutPassport()));
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(patient.string()));
    ASSERT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");
    ASSERT_TRUE(rig.form.loadRecording(noPassport.string()));
    EXPECT_EQ(rig.view.text(Control::Name), "");
    EXPECT_EQ(rig.view.text(Control::Old), "");
    // The start time and the period that time the samples stay.
    EXPECT_EQ(rig.view.text(Control::TimeStart), "22:00");
    EXPECT_EQ(rig.view.text(Control::Tscan), "10");
    expectMessages(rig.view, {kEmptyMemory, kEmptyMemory});
}

TEST(LoadFlowTest, PassportWithErasedSamplesGivesNoEmptyMemoryMessage) {
    const fs::path file = writeImage(scratchDir("app") / "samples.txt",
                                     makeImage(ImageOptions().withSamples(kErasedByte)));
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_DOUBLE_EQ(rig.form.chart().series1().ys()[100], 19.6);
}

TEST(LoadFlowTest, LoadFileClickUsesTheChosenFileAndCancelChangesNothing) {
    const fs::path file = writeImage(scratchDir("app") / "night.txt", makeImage());
    FormRig rig;
    rig.view.openAnswers.push_back(file.string());
    rig.form.LoadFileClick();
    EXPECT_EQ(rig.view.text(Control::Name), "Иванов Иван Иванович");

    const auto image = rig.form.state().memoryImage;
    const auto fields = rig.view.fieldTexts();
    const auto revision = rig.form.chart().revision();
    rig.view.openAnswers.push_back(std::nullopt);
    rig.form.LoadFileClick();
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.view.passwordPrompts(), 0);
    EXPECT_EQ(rig.form.state().memoryImage, image);
    EXPECT_EQ(rig.view.fieldTexts(), fields);
    EXPECT_EQ(rig.form.chart().revision(), revision);
}

TEST(LoadFlowTest, CancelRightAfterStartUpAsksNothing) {
    FormRig rig;
    rig.view.openAnswers.push_back(std::nullopt);
    rig.form.LoadFileClick();
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.form.chart().series1().count(), 0u);
}

TEST(LoadFlowTest, FailedLoadLeavesEverythingAsItWas) {
    const fs::path dir = scratchDir("app");
    const fs::path good = writeImage(
        dir / "good.txt", makeImage(ImageOptions().withPassword("1234").withSamples(120)));
    writeAll(dir / "short.txt", std::vector<std::uint8_t>(MemoryImage::kSize, 0x11));
    writeAll(dir / "empty.txt", {});
    fs::create_directories(dir / "folder.txt");
    const fs::path bad[] = {dir / "short.txt", dir / "empty.txt", dir / "missing.txt",
                            dir / "folder.txt"};

    FormRig rig;
    rig.view.passwordAnswers.push_back(std::string("0000"));  // wrong: name hidden
    ASSERT_TRUE(rig.form.loadRecording(good.string()));
    rig.form.ZoomPlusClick();
    const auto image = rig.form.state().memoryImage;
    const PasswordState password = rig.form.state().password;
    const auto fields = rig.view.fieldTexts();
    const auto xs = rig.form.chart().series1().xs();
    const auto ys = rig.form.chart().series2().ys();
    const auto axis = rig.form.chart().axis(AxisId::Left);
    const auto revision = rig.form.chart().revision();
    const auto count = rig.form.state().diameterTable.count;

    for (const fs::path& path : bad) {
        SCOPED_TRACE(path.filename().string());
        rig.view.clearMessages();
        EXPECT_FALSE(rig.form.loadRecording(path.string()));
        ASSERT_EQ(rig.view.messages().size(), 1u);
        EXPECT_EQ(rig.view.messages()[0].title, kErrorTitle);
        EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Error);
        EXPECT_NE(rig.view.messages()[0].text.find(path.string()), std::string::npos)
            << rig.view.messages()[0].text;
        EXPECT_EQ(rig.view.passwordPrompts(), 1);
        EXPECT_EQ(rig.form.state().memoryImage, image);
        EXPECT_EQ(rig.form.state().password.nameHidden, password.nameHidden);
        EXPECT_EQ(rig.form.state().password.passwordWrong, password.passwordWrong);
        EXPECT_EQ(rig.form.state().password.buffer, password.buffer);
        EXPECT_EQ(rig.view.fieldTexts(), fields);
        EXPECT_EQ(rig.form.chart().series1().xs(), xs);
        EXPECT_EQ(rig.form.chart().series2().ys(), ys);
        EXPECT_EQ(rig.form.chart().axis(AxisId::Left), axis);
        EXPECT_EQ(rig.form.chart().revision(), revision);
        EXPECT_EQ(rig.form.state().diameterTable.count, count);
    }
}

TEST(LoadFlowTest, LongerFileLoadsFromItsFirst4481Bytes) {
    auto bytes = dataFileBytes(makeImage());
    bytes.resize(5000, 0x77);
    const fs::path file = scratchDir("app") / "long.txt";
    writeAll(file, bytes);
    FormRig rig;
    ASSERT_TRUE(rig.form.loadRecording(file.string()));
    EXPECT_EQ(rig.form.state().memoryImage, makeImage());
}

TEST(LoadFlowTest, UnreadableStartTimeStopsGraphBuilding) {
    const fs::path file =
        writeImage(scratchDir("app") / "nopass.txt", makeImage(ImageOptions().withoutPassport()));
    FormRig rig;
    rig.view.setText(Control::TimeStart, "xx:yy");
    const auto period = rig.form.chart().period();
    EXPECT_FALSE(rig.form.loadRecording(file.string()));
    const auto& messages = rig.view.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().title, kErrorTitle);
    EXPECT_EQ(messages.back().icon, MessageIcon::Error);
    EXPECT_NE(messages.back().text.find("xx:yy"), std::string::npos) << messages.back().text;
    EXPECT_EQ(rig.form.chart().series1().count(), 0u);
    EXPECT_EQ(rig.form.state().diameterTable.count, 0);
    // The steps after graph building did not run.
    EXPECT_TRUE(rig.form.chart().series1().active());
    EXPECT_EQ(rig.form.chart().period(), period);
    EXPECT_EQ(rig.view.chartSentBack, 0);
}

}  // namespace
}  // namespace npt
