// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Saving through the "В файл" button: the data file, the workbook, refused names and failures.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace npt {
namespace {

using namespace npt::test;

// A rig with a recording loaded from dir/source.txt.
struct LoadedRig : FormRig {
    explicit LoadedRig(const fs::path& dir, const ImageOptions& options = {},
                       const std::optional<std::string>& password = std::nullopt) {
        const fs::path source = writeImage(dir / "source.txt", makeImage(options));
        if (password) {
            view.passwordAnswers.push_back(password);
        }
        EXPECT_TRUE(form.loadRecording(source.string()));
        view.clearMessages();
    }
};

TEST(SaveFlowTest, DataFileByExtensionWhateverItsCase) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir, ImageOptions().withSamples(kErasedByte));
    for (const char* name : {"a.txt", "b.TXT", "c.Txt"}) {
        SCOPED_TRACE(name);
        rig.view.saveAnswers.push_back((dir / name).string());
        rig.form.SaveFileDataClick();
        EXPECT_TRUE(rig.view.messages().empty());
        const auto bytes = readAll(dir / name);
        ASSERT_EQ(bytes.size(), kDataFileSize);
        EXPECT_EQ(bytes, dataFileBytes(makeImage(ImageOptions().withSamples(kErasedByte))));
    }
    // Loading the saved file gives the same image back, unwritten samples still 0xFF.
    FormRig again;
    ASSERT_TRUE(again.form.loadRecording((dir / "a.txt").string()));
    EXPECT_EQ(again.form.state().memoryImage, rig.form.state().memoryImage);
    EXPECT_EQ(again.form.state().memoryImage[ImageOffsets::kSamples], kErasedByte);
}

TEST(SaveFlowTest, WorkbookByExtensionBeeps) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    rig.view.saveAnswers.push_back((dir / "table.XLSX").string());
    rig.form.SaveFileDataClick();
    EXPECT_TRUE(rig.view.messages().empty());
    const auto bytes = readAll(dir / "table.XLSX");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 'P');  // a zip container
    EXPECT_EQ(bytes[1], 'K');
    EXPECT_EQ(rig.view.beeps(), 1);
}

TEST(SaveFlowTest, EdfByExtensionNamesThePatientOnlyWhenShown) {
    struct Case {
        const char* what;
        std::optional<std::string> password;  // typed at the load
        std::string patientField;
    };
    const Case cases[] = {
        {"no password", std::nullopt, "X M X Ivanov_Ivan_Ivanovich"},
        {"the right one", std::string("1234"), "X M X Ivanov_Ivan_Ivanovich"},
        {"a wrong one", std::string("9999"), "X M X X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = scratchDir("app");
        const ImageOptions options =
            c.password ? ImageOptions().withPassword("1234") : ImageOptions();
        LoadedRig rig(dir, options, c.password);
        rig.view.saveAnswers.push_back((dir / "night.EDF").string());
        rig.form.SaveFileDataClick();
        EXPECT_TRUE(rig.view.messages().empty());
        const auto bytes = readAll(dir / "night.EDF");
        ASSERT_GT(bytes.size(), 256u);
        const std::string file(bytes.begin(), bytes.end());
        EXPECT_EQ(file.substr(0, 8), "0       ");
        EXPECT_EQ(file.substr(8, c.patientField.size() + 1), c.patientField + " ");
        if (c.patientField.ends_with(" X")) {
            EXPECT_EQ(file.find("Ivanov"), std::string::npos);
        }
    }

    // A name typed since for the next patient's passport is not this night's.
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    rig.view.setText(Control::Name, "Петров Пётр Петрович");
    ASSERT_TRUE(rig.form.exportEdf((dir / "night.edf").string()));
    const auto bytes = readAll(dir / "night.edf");
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_EQ(file.substr(8, 8), "X M X X ");
    EXPECT_EQ(file.find("Petrov"), std::string::npos);
}

TEST(SaveFlowTest, WorkbookWithUnreadableStartTimeIsNotWritten) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    rig.view.setText(Control::TimeStart, "25:99");
    rig.view.saveAnswers.push_back((dir / "table.xlsx").string());
    rig.form.SaveFileDataClick();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Error);
    EXPECT_NE(rig.view.messages()[0].text.find("25:99"), std::string::npos);
    EXPECT_EQ(rig.view.beeps(), 0);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"source.txt"});
}

TEST(SaveFlowTest, OtherNamesWriteNothingButWarn) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    for (const char* name : {"night.dat", "night", "night.txt.bak", "dir.txt/night"}) {
        SCOPED_TRACE(name);
        rig.view.clearMessages();
        rig.view.saveAnswers.push_back((dir / name).string());
        rig.form.SaveFileDataClick();
        ASSERT_EQ(rig.view.messages().size(), 1u);
        EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Warning);
        EXPECT_NE(rig.view.messages()[0].text.find((dir / name).string()), std::string::npos);
    }
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"source.txt"});
}

TEST(SaveFlowTest, CancelledDialogDoesNothing) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    rig.view.saveAnswers.push_back(std::nullopt);
    rig.form.SaveFileDataClick();
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"source.txt"});
}

TEST(SaveFlowTest, HiddenNameIsNotSaved) {
    // The second name's 22nd letter «я» is 0xFF at offset 100, which the passport-presence test
    // takes for erased flash: the name must go all the same.
    for (const char* name : {"Иванов Иван Иванович", "Александрова Анастасия"}) {
        SCOPED_TRACE(name);
        const fs::path dir = scratchDir("app");
        const ImageOptions options = ImageOptions().withPassword("1234").withName(name);
        LoadedRig rig(dir, options, std::string("9999"));
        ASSERT_TRUE(rig.form.state().password.nameHidden);
        // "Чтение" without an adapter clears NameHidden, as the window's state table has it;
        // the password typed still did not match.
        rig.form.ReadDataClick();
        ASSERT_TRUE(rig.form.saveDataFile((dir / "hidden.txt").string()));
        const auto bytes = readAll(dir / "hidden.txt");
        ASSERT_EQ(bytes.size(), kDataFileSize);
        const auto original = dataFileBytes(makeImage(options));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const bool nameArea = i >= ImageOffsets::kPassportLead && i <= 101;
            ASSERT_EQ(bytes[i], nameArea ? 0 : original[i]) << "byte " << i;
        }

        // Reloaded with the right password: a passport with an empty name, no empty-memory
        // message.
        FormRig again;
        again.view.passwordAnswers.push_back(std::string("1234"));
        ASSERT_TRUE(again.form.loadRecording((dir / "hidden.txt").string()));
        EXPECT_TRUE(again.view.messages().empty());
        EXPECT_EQ(again.view.text(Control::Name), "");
        EXPECT_EQ(again.view.text(Control::Old), "47");
    }
}

TEST(SaveFlowTest, HidingTheNameNeverMakesUpAPassport) {
    // A protected recorder read before any passport was written: its erased lead byte stays, or
    // the file would claim a passport of erased bytes; the name bytes go, as they always do.
    const fs::path dir = scratchDir("app");
    const ImageOptions options = ImageOptions().withoutPassport().withPassword("1234");
    LoadedRig rig(dir, options, std::string("9999"));
    ASSERT_TRUE(rig.form.state().password.nameHidden);
    ASSERT_TRUE(rig.form.saveDataFile((dir / "saved.txt").string()));
    auto expected = dataFileBytes(makeImage(options));
    std::fill(expected.begin() + ImageOffsets::kName, expected.begin() + 102, 0);
    EXPECT_EQ(readAll(dir / "saved.txt"), expected);

    FormRig again;
    again.view.passwordAnswers.push_back(std::string("1234"));
    again.form.loadRecording((dir / "saved.txt").string());
    ASSERT_FALSE(again.view.messages().empty());
    EXPECT_EQ(again.view.messages()[0].text, "Память датчика пустая (без паспортной части)!");
}

TEST(SaveFlowTest, SaveOverADirectoryShowsError) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    fs::create_directories(dir / "folder.txt");
    EXPECT_FALSE(rig.form.saveDataFile((dir / "folder.txt").string()));
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Error);
    EXPECT_NE(rig.view.messages()[0].text.find((dir / "folder.txt").string()), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt"));
}

#ifndef _WIN32
// Linux only: a file-size limit and a folder made unwritable with chmod.
TEST(SaveFlowTest, WriteFailingPartwayKeepsTheExistingFile) {
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    const std::vector<std::uint8_t> old{1, 2, 3};
    writeAll(dir / "old.txt", old);
    {
        FileSizeLimit limit(1000);  // the disk "fills up" after 1000 bytes
        EXPECT_FALSE(rig.form.saveDataFile((dir / "old.txt").string()));
    }
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_NE(rig.view.messages()[0].text.find((dir / "old.txt").string()), std::string::npos)
        << rig.view.messages()[0].text;
    EXPECT_EQ(readAll(dir / "old.txt"), old);
    EXPECT_EQ(entriesOf(dir), (std::set<std::string>{"old.txt", "source.txt"}));
}

TEST(SaveFlowTest, SaveIntoReadOnlyDirectoryKeepsTheExistingFile) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    const fs::path dir = scratchDir("app");
    LoadedRig rig(dir);
    const fs::path ro = dir / "ro";
    fs::create_directories(ro);
    writeAll(ro / "old.txt", {1, 2, 3});
    fs::permissions(ro, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(rig.form.saveDataFile((ro / "old.txt").string()));
    fs::permissions(ro, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(readAll(ro / "old.txt"), (std::vector<std::uint8_t>{1, 2, 3}));
}

#endif

// The save and report dialogs offer the night's file by the patient and the study date in the
// folder a file was last chosen in; the open dialog opens in that folder. A withheld name is
// never offered: the date alone then.
TEST(SaveFlowTest, FileDialogsOfferTheNightsNameInTheFolderUsedLast) {
    const fs::path dir = scratchDir("app");
    const std::string folder = dir.string();
    const fs::path night = writeImage(dir / "night.txt", makeImage());
    const fs::path protectedNight =
        writeImage(dir / "protected.txt", makeImage(ImageOptions().withPassword("1234")));
    FormRig rig;
    rig.view.openAnswers.push_back(std::nullopt);
    rig.form.LoadFileClick();
    EXPECT_EQ(rig.view.openFolder, "") << "nothing chosen yet: the dialog's own folder";

    rig.view.openAnswers.push_back(night.string());
    rig.form.LoadFileClick();
    rig.view.saveAnswers.push_back(std::nullopt);
    rig.form.SaveFileDataClick();
    // The folder and the name joined by the system's separator.
    const auto inFolder = [&](const std::string& name) {
        return folder + (fs::path("a") / "b").string().substr(1, 1) + name;
    };
    EXPECT_EQ(rig.view.saveProposal, inFolder("Иванов_И_И_08.12.26.txt"));
    rig.view.reportAnswers.push_back(std::nullopt);
    rig.form.SaveReportClick();
    EXPECT_EQ(rig.view.reportProposal, inFolder("Иванов_И_И_08.12.26.pdf"));

    // A file saved elsewhere moves the folder there.
    fs::create_directory(dir / "saved");
    rig.view.saveAnswers.push_back((dir / "saved" / "copy.txt").string());
    rig.form.SaveFileDataClick();
    rig.view.openAnswers.push_back(protectedNight.string());
    rig.view.passwordAnswers.push_back("0000");
    rig.form.LoadFileClick();
    EXPECT_EQ(rig.view.openFolder, (dir / "saved").string());
    ASSERT_TRUE(rig.form.state().password.nameHidden);
    // The name typed over a hidden one is not offered either.
    rig.view.setText(Control::Name, "Петров Пётр");
    rig.view.saveAnswers.push_back(std::nullopt);
    rig.form.SaveFileDataClick();
    EXPECT_EQ(rig.view.saveProposal, inFolder("08.12.26.txt"));
}

}  // namespace
}  // namespace npt
