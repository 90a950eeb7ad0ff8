// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shut-down of the window, and the settings file that keeps the doctor's name.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <fstream>
#include <functional>
#include <iostream>

#include "app/settings_file.h"
#include "form_fixture.h"
#include "os/file_error.h"

namespace npt {
namespace {

using namespace npt::test;

std::string readText(const fs::path& path) {
    const auto bytes = readAll(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const fs::path& path, const std::string& text) {
    writeAll(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class MemorySettings : public SettingsStore {
  public:
    std::optional<std::string> stored;
    std::optional<AnalysisParameters> parameters;
    int parameterWrites = 0;
    bool failWrite = false;
    std::optional<std::string> doctorName() const override { return stored; }
    void saveDoctorName(const std::string& name) override {
        failIfAsked();
        stored = name;
    }
    std::optional<AnalysisParameters> analysisParameters() const override { return parameters; }
    void saveAnalysisParameters(const AnalysisParameters& p) override {
        failIfAsked();
        parameters = p;
        ++parameterWrites;
    }

  private:
    void failIfAsked() const {
        if (failWrite) {
            throw FileError("/ro/rdp.ini", "нет доступа", "Не удалось сохранить «/ro/rdp.ini».");
        }
    }
};

TEST(FormCreateTest, FillsFieldsFromClockAndDefaults) {
    ScriptedView view;
    TTMForm form(view, testClock(), nullptr);
    form.FormCreate();
    EXPECT_EQ(view.text(Control::VName), "введите ФИО врача");
    EXPECT_EQ(view.text(Control::Tscan), "10");
    EXPECT_EQ(view.text(Control::Date), "09.12.26");
    EXPECT_EQ(view.text(Control::TimeNow), "08:05");
    EXPECT_EQ(view.text(Control::TimeStart), "22:00");
    EXPECT_EQ(view.text(Control::TimeEnd), "10:00");
    EXPECT_EQ(view.colour(Control::OpenIndicator), colours::kGreen);
    EXPECT_TRUE(view.messages().empty());
    // The patient's name fits the passport, the age two digits; the sample period, the study's
    // times and date and the battery voltage are never typed in.
    EXPECT_EQ(view.maxLengths[Control::Name], 23);
    EXPECT_EQ(view.maxLengths[Control::Old], 2);
    EXPECT_EQ(view.maxLengths[Control::Tscan], 2);
    for (Control shown : {Control::Tscan, Control::TimeStart, Control::TimeEnd, Control::Date,
                          Control::TimeNow, Control::Ubat}) {
        EXPECT_TRUE(view.readOnly[shown]) << controlName(shown);
    }
    EXPECT_FALSE(view.enabled[Control::Tscan]);
    // No command has gone to the recorder, the image is all zeros and no password is held.
    EXPECT_FALSE(form.state().recorderPresent);
    EXPECT_EQ(form.state().outputReport[1], 0x00);
    EXPECT_EQ(form.state().memoryImage, MemoryImage());
    for (std::uint8_t b : form.state().password.buffer) {
        EXPECT_EQ(b, 0xFF);
    }
}

TEST(FormCreateTest, DoctorNameComesFromSettingsAndGoesBackOnDestroy) {
    MemorySettings settings;
    settings.stored = "Сидоров С. С.";
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    EXPECT_EQ(view.text(Control::VName), "Сидоров С. С.");

    view.setText(Control::VName, "Кузнецова А. В.");
    form.FormDestroy();
    EXPECT_EQ(settings.stored, "Кузнецова А. В.");
    EXPECT_TRUE(view.messages().empty());
}

TEST(FormCreateTest, FailingSettingsStoreIsReportedOnDestroy) {
    MemorySettings settings;
    settings.failWrite = true;
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.FormDestroy();
    ASSERT_EQ(view.messages().size(), 1u);
    EXPECT_EQ(view.messages()[0].icon, MessageIcon::Warning);
    EXPECT_NE(view.messages()[0].text.find("/ro/rdp.ini"), std::string::npos);
}

TEST(FormCreateTest, ChangedAnalysisParametersAreKeptAndTheirLossReportedOnce) {
    AnalysisParameters stored;
    stored.threshold_mm = 4.0;
    AnalysisParameters changed = stored;
    changed.min_duration_s = 600;
    for (bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "the file cannot be written" : "written");
        MemorySettings settings;
        settings.parameters = stored;
        settings.failWrite = fail;
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        EXPECT_EQ(form.state().analysisParameters, stored);
        ASSERT_EQ(form.setAnalysisParameters(changed), std::nullopt);
        form.FormDestroy();
        if (fail) {
            ASSERT_EQ(view.messages().size(), 1u);
            EXPECT_NE(view.messages()[0].text.find("ФИО врача и параметры анализа"),
                      std::string::npos)
                << view.messages()[0].text;
        } else {
            EXPECT_TRUE(view.messages().empty());
            EXPECT_EQ(settings.parameters, changed);
            EXPECT_EQ(settings.parameterWrites, 1);
        }
    }
}

TEST(FormCreateTest, FormDestroyWithRealFileInUnwritablePlaceIsReported) {
    const fs::path dir = scratchDir("app");
    // A directory where the file should be: no rename can replace it, even for root.
    fs::create_directories(dir / "rdp.ini");
    IniSettingsFile settings({(dir / "rdp.ini").string(), ""});
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    form.FormDestroy();
    ASSERT_EQ(view.messages().size(), 1u);
    EXPECT_NE(view.messages()[0].text.find((dir / "rdp.ini").string()), std::string::npos)
        << view.messages()[0].text;
}

TEST(IniSettingsFileTest, DoctorNameSurvivesRestarts) {
    const fs::path dir = scratchDir("app");
    IniSettingsFile settings({(dir / "rdp.ini").string(), ""});
    EXPECT_EQ(settings.doctorName(), std::nullopt);

    // Without a file the default is shown and written back at shutdown.
    {
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        EXPECT_EQ(view.text(Control::VName), kDefaultDoctorName);
        form.FormDestroy();
    }
    EXPECT_EQ(settings.doctorName(), kDefaultDoctorName);
    {
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        view.setText(Control::VName, "Орлова Е. Г.");
        form.FormDestroy();
        EXPECT_TRUE(view.messages().empty());
    }
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    EXPECT_EQ(view.text(Control::VName), "Орлова Е. Г.");
}

TEST(IniSettingsFileTest, FolderOfTheLastChosenFileSurvivesRestarts) {
    const fs::path dir = scratchDir("app");
    const fs::path night = writeImage(dir / "night.txt", makeImage());
    IniSettingsFile settings({(dir / "rdp.ini").string(), ""});
    {
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        view.openAnswers.push_back(night.string());
        form.LoadFileClick();
        form.FormDestroy();
    }
    EXPECT_NE(readText(dir / "rdp.ini").find("[files]\nfolder=" + dir.string() + "\n"),
              std::string::npos)
        << readText(dir / "rdp.ini");
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    view.openAnswers.push_back(std::nullopt);
    form.LoadFileClick();
    EXPECT_EQ(view.openFolder, dir.string());
    view.saveAnswers.push_back(std::nullopt);
    form.SaveFileDataClick();
    EXPECT_EQ(view.saveProposal, (dir / "09.12.26.txt").string()) << "today, nobody's name";
}

TEST(IniSettingsFileTest, RoundTripKeepsOtherSectionsAndKeys) {
    const fs::path dir = scratchDir("app");
    const fs::path file = dir / "rdp.ini";
    writeText(file, "[window]\nleft=10\n[tools]\nedit2=x\nedit1=старое\n[print]\ncopies=2\n");
    IniSettingsFile settings({file.string(), ""});
    EXPECT_EQ(settings.doctorName(), "старое");
    settings.saveDoctorName("Новиков Н. Н.");
    EXPECT_EQ(IniSettingsFile({file.string(), ""}).doctorName(), "Новиков Н. Н.");
    const std::string text = readText(file);
    for (const char* kept : {"[window]", "left=10", "edit2=x", "[print]", "copies=2"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " lost:\n" << text;
    }
    EXPECT_EQ(text.find("старое"), std::string::npos) << text;
}

TEST(IniSettingsFileTest, ReadsWindows1251LegacyFile) {
    const fs::path dir = scratchDir("app");
    const fs::path file = dir / "rdp.ini";
    std::vector<std::uint8_t> bytes;
    const std::string head = "[tools]\r\nedit1=";
    bytes.insert(bytes.end(), head.begin(), head.end());
    const auto name = cp1251::encode("Петров П. П.").value();
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
    writeAll(file, bytes);
    EXPECT_EQ(IniSettingsFile({file.string(), ""}).doctorName(), "Петров П. П.");
}

TEST(IniSettingsFileTest, LegacyFileIsReadUntilTheNewOneExists) {
    const fs::path dir = scratchDir("app");
    writeText(dir / "legacy.ini", "[tools]\nedit1=Старый\n[window]\nleft=3\n");
    const fs::path config = dir / "config";
    IniSettingsFile settings({(config / "rdp.ini").string(), (dir / "legacy.ini").string()});
    EXPECT_EQ(settings.doctorName(), "Старый");
    settings.saveDoctorName("Новый");
    EXPECT_EQ(settings.doctorName(), "Новый");
    EXPECT_NE(readText(dir / "legacy.ini").find("Старый"), std::string::npos);
    // The first save in the new place carries the rest of the old file over.
    EXPECT_NE(readText(config / "rdp.ini").find("left=3"), std::string::npos)
        << readText(config / "rdp.ini");
}

// A FIFO left under the settings file's name must not hold up the start of the window.
#ifndef _WIN32
// Linux only: a FIFO in the file's place.
TEST(IniSettingsFileTest, FifoInPlaceOfTheFileIsNotReadFrom) {
    const fs::path dir = scratchDir("app");
    ASSERT_EQ(::mkfifo((dir / "rdp.ini").c_str(), 0600), 0);
    IniSettingsFile settings({(dir / "rdp.ini").string(), ""});
    EXPECT_EQ(settings.doctorName(), std::nullopt);
    try {
        settings.saveDoctorName("Новиков Н. Н.");
        ADD_FAILURE() << "a FIFO was written to";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), kFifoReason);
    }
    EXPECT_TRUE(fs::is_fifo(dir / "rdp.ini"));
}
#endif

// A settings file that cannot be read (one far larger than any settings file, one the user may
// not read) gives the defaults, says so when the window opens, and is never replaced: closing
// says the settings were not saved, and the file stays byte for byte.
TEST(IniSettingsFileTest, FileThatCannotBeReadIsSaidAndLeftAsItIs) {
    const fs::path dir = scratchDir("app");
    struct Case {
        const char* what;
        std::function<void(const fs::path& file)> make;
        std::string reason;
    };
    const std::string head = "[tools]\nedit1=Орлова Е. Г.\n";
    const std::vector<Case> cases = {
        {"64 MB",
         [&](const fs::path& file) {
             writeText(file, head);
             fs::resize_file(file, 64u << 20);  // sparse: costs no disk
         },
         "размер больше 64 КБ"},
        {"one byte more than 64 KB",
         [&](const fs::path& file) {
             writeText(file, head + std::string(kSettingsMaxBytes - head.size() + 1, ';'));
         },
         "размер больше 64 КБ"},
        {"no permission to read",
         [&](const fs::path& file) {
             writeText(file, head);
             fs::permissions(file, fs::perms::owner_write);
         },
         "нет доступа"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir / "rdp.ini";
        fs::remove(file);
        c.make(file);
        if (c.reason == "нет доступа" && runningAsRoot()) {
            std::cout << "[ SKIPPED  ] " << c.what << ": root may read any file\n";
            continue;
        }
#ifdef _WIN32
        if (c.reason == "нет доступа") {
            continue;  // Linux only: chmod does not take the right to read on Windows
        }
#endif
        const auto before = fs::file_size(file);
        IniSettingsFile settings({file.string(), ""});
        ScriptedView view;
        TTMForm form(view, testClock(), &settings);
        form.FormCreate();
        EXPECT_EQ(view.text(Control::VName), kDefaultDoctorName);
        form.FormShow();
        ASSERT_EQ(view.messages().size(), 1u);
        EXPECT_EQ(view.messages()[0].text,
                  "Настройки не прочитаны из «" + file.string() + "»: " + c.reason +
                      ". ФИО врача и параметры анализа — по умолчанию; файл оставлен как есть, и "
                      "настройки в него не запишутся.");
        view.setText(Control::VName, "Новиков Н. Н.");
        form.FormDestroy();
        ASSERT_EQ(view.messages().size(), 2u);
        EXPECT_EQ(view.messages()[1].text,
                  "Не удалось сохранить настройки в «" + file.string() + "»: " + c.reason +
                      " — файл не прочитан и оставлен как есть. ФИО врача при следующем запуске "
                      "придётся ввести заново.");
        EXPECT_EQ(fs::file_size(file), before);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        std::string start(head.size(), '\0');
        std::ifstream(file, std::ios::binary).read(start.data(), std::streamsize(start.size()));
        EXPECT_EQ(start, head);
    }
    // Up to the limit a file is a settings file like any other.
    const fs::path file = dir / "rdp.ini";
    writeText(file, head + std::string(kSettingsMaxBytes - head.size(), ';'));
    IniSettingsFile settings({file.string(), ""});
    EXPECT_EQ(settings.doctorName(), "Орлова Е. Г.");
    EXPECT_TRUE(settings.readingProblems().empty());
}

TEST(SettingsLocationTest, BesideExecutableWhenWritableAndNotInstalledElseConfigDir) {
    const fs::path dir = scratchDir("app");
    const auto writable = chooseSettingsLocation(dir.string(), "/cfg");
    EXPECT_EQ(writable.path, dir.string() + "/rdp.ini");
    EXPECT_EQ(writable.legacyPath, "");

    // Installed into a system directory, the program leaves it alone even where root may write.
    const auto installed = chooseSettingsLocation(dir.string(), "/cfg", dir.string());
    EXPECT_EQ(installed.path, "/cfg/rdp.ini");
    EXPECT_EQ(installed.legacyPath, dir.string() + "/rdp.ini");

    const auto missing = chooseSettingsLocation((dir / "absent").string(), "/cfg");
    EXPECT_EQ(missing.path, "/cfg/rdp.ini");
    EXPECT_EQ(missing.legacyPath, (dir / "absent").string() + "/rdp.ini");

#ifndef _WIN32
    // Linux only: a folder made unwritable with chmod (Windows keeps that in ACLs).
    if (!runningAsRoot()) {
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
        const auto readOnly = chooseSettingsLocation(dir.string(), "/cfg");
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(readOnly.path, "/cfg/rdp.ini");
        EXPECT_EQ(readOnly.legacyPath, dir.string() + "/rdp.ini");
    }
#endif
}

#ifdef _WIN32
TEST(SettingsLocationTest, WindowsFoldersOfTheProgramAndTheUser) {
    // The test program runs from its build folder, whatever the current folder is.
    std::error_code error;
    EXPECT_TRUE(fs::equivalent(fs::u8path(executableDirectory()),
                               fs::path(NPT_TEST_OUTPUT_DIR).parent_path() / "tests" / "app",
                               error))
        << executableDirectory();
    // The roaming application data of the user, npt-desk's own folder in it.
    const fs::path config = fs::u8path(userConfigDirectory());
    EXPECT_EQ(config.filename(), "npt-desk");
    EXPECT_TRUE(fs::is_directory(config.parent_path())) << userConfigDirectory();
    const char* appData = std::getenv("APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_TRUE(fs::equivalent(config.parent_path(), fs::path(appData), error));
}
#endif

}  // namespace
}  // namespace npt
