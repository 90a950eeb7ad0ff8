// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// `npt read` against the simulated recorder behind the in-process platform: a whole read saved,
// each way it ends without a file, and every misbehaving recorder of the window's table. Real
// timers: every read waits out its one-second check.
#include "cli/read_command.h"

#include <gtest/gtest.h>

#include "archive/archive.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "form_fixture.h"
#include "hid/simulated/simulated_platform.h"
#include "hostile_recorder_fixture.h"
#include "recorder_sim/simulated_recorder.h"
#include "recorder_sim/simulated_recorder_device.h"
#include "records/data_file.h"

namespace npt {
namespace {

using namespace npt::test;
using namespace std::chrono_literals;

struct ReadRun {
    int status;
    std::string out;
    std::string err;
};

class NptReadTest : public ::testing::Test {
  protected:
    hid::SimulatedHidPlatform platform;
    hid::SimulatedRecorder recorder{makeImage(ImageOptions().withPassword("1234")), 2900};
    const std::string file = (scratchDir("cli") / "night.txt").string();

    ReadRun read(const std::optional<std::string>& password, std::chrono::seconds timeout = 10s,
                 const std::optional<std::string>& archive = std::nullopt) {
        std::ostringstream out, err;
        const int status = readRecorder({file, password, timeout, archive}, platform, out, err);
        return {status, out.str(), err.str()};
    }
};

TEST_F(NptReadTest, AWholeReadIsCheckedAndSavedAsTheWindowWouldSaveIt) {
    hid::SimulatedRecorderDevice adapter(platform, recorder);
    const ReadRun r = read("1234");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Память датчика прочитана (140 блоков) и сохранена в «" + file + "».\n");
    // The battery of 2900 is near the end: said, but no failure.
    EXPECT_EQ(r.err,
              "npt: Проверка батареи датчика: ВНИМАНИЕ! Батарея близка к разрядке! Возможны "
              "сбои при стирании и записи!\n");
    const MemoryImage saved = readDataFile(file);
    EXPECT_TRUE(std::equal(saved.bytes().begin() + 32, saved.bytes().begin() + 139 * 32,
                           recorder.flash().bytes().begin() + 32));
    EXPECT_EQ(saved.word(2), 2900);
    EXPECT_EQ(saved[139 * 32 + 1], 0xFF);
}

TEST_F(NptReadTest, AWholeReadIsFiledInTheArchiveAndIdentifiedByItsPassword) {
    hid::SimulatedRecorderDevice adapter(platform, recorder);
    const std::string location =
        (std::filesystem::path(file).parent_path() / "archive.sqlite").string();
    const ReadRun r = read("1234", 10s, location);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Ночь сохранена в архиве пациентов: ночь № 1."), std::string::npos);
    auto a = archive::Archive::open(location, archive::Archive::Open::Existing);
    const auto nights = a.nights();
    ASSERT_EQ(nights.size(), 1U);
    EXPECT_EQ(nights[0].source, archive::NightSource::Recorder);
    EXPECT_EQ(nights[0].patientName, std::optional<std::string>("Иванов Иван Иванович"));
    // The archive keeps the memory as read; the file, as the window saves it, likewise here.
    EXPECT_EQ(a.nightBytes(1), readAll(file));
}

TEST_F(NptReadTest, WithoutThePasswordTheNameIsLeftOutOfTheFile) {
    // No --password is not a wrong one: the tool says the recording is protected instead.
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt,
         "npt: Пароль не указан: Запись защищена паролем; без --password ФИО "
         "пациента скрыто.\n"},
        {"4321", "npt: Ошибка пароля!: Неверный пароль! ФИО пациента будет скрыто!\n"},
    };
    for (const auto& [password, said] : cases) {
        SCOPED_TRACE(password.value_or("(none)"));
        hid::SimulatedRecorderDevice adapter(platform, recorder);
        const ReadRun r = read(password);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.substr(0, said.size()), said);
        const MemoryImage saved = readDataFile(file);
        EXPECT_EQ(saved[ImageOffsets::kName], 0x00);
        EXPECT_EQ(saved[ImageOffsets::kSamples], recorder.flash()[ImageOffsets::kSamples]);
    }
}

TEST_F(NptReadTest, EndsWithoutAFileWhenTheReadCannotBeHad) {
    using Adapter = std::optional<hid::SimulatedRecorderDevice>;
    struct Case {
        const char* name;
        std::function<void(hid::SimulatedHidPlatform&, hid::SimulatedRecorder&, Adapter&)> arrange;
        const char* said;
    };
    const Case cases[] = {
        {"no adapter", [](auto&, auto&, auto&) {}, "адаптер радиоканала не найден за 1 с"},
        {"no access",
         [](hid::SimulatedHidPlatform& p, auto&, auto&) {
             hid::SimulatedHidPlatform::DeviceSpec spec;
             spec.attributes.VendorID = kAdapterVendorId;
             spec.attributes.ProductID = kAdapterProductId;
             spec.reportDescriptor = hid::adapterReportDescriptor();
             spec.accessible = false;
             p.plug(spec);
         },
         "70-npt-recorder.rules"},
        {"no answer",
         [](hid::SimulatedHidPlatform& p, hid::SimulatedRecorder& r, Adapter& a) {
             r.faults.neverAcknowledge = true;
             a.emplace(p, r);
         },
         "датчик не ответил на команду чтения за 1 с"},
        {"a block lost",
         [](hid::SimulatedHidPlatform& p, hid::SimulatedRecorder& r, Adapter& a) {
             r.faults.dropBlock = 70;
             a.emplace(p, r);
         },
         "чтение неполное: получено блоков 139 из 140"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hid::SimulatedHidPlatform platform;
        hid::SimulatedRecorder recorder{makeImage()};
        Adapter adapter;
        c.arrange(platform, recorder, adapter);
        std::ostringstream out, err;
        EXPECT_EQ(readRecorder({file, "", 1s, std::nullopt}, platform, out, err), 1);
        EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(fs::exists(file));
    }
}

// The recorders and adapters that misbehave, each read by `npt read` as the window's own
// session reads them (app's HostileRecorder.InTheWindow): the same memory kept, or no file and
// one line saying why.
class HostileRecorder : public ::testing::TestWithParam<Hostile> {};

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
    const int status = readRecorder({file.string(), h.typed, 5s, std::nullopt}, platform, out, err);
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

}  // namespace
}  // namespace npt
