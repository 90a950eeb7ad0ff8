// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The file layer with the names doctors give files: Cyrillic folders and names, written,
// read back, replaced and named in messages, on Linux and on Windows alike.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/regular_file.h"
#include "os/save_target.h"
#include "os/utf8_path.h"
#include "os/windows_error.h"

namespace npt {
namespace {

namespace fs = std::filesystem;

// A fresh folder "Пациенты" for the running test, its name as UTF-8.
std::string patientsFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path dir = fs::path(NPT_TEST_OUTPUT_DIR) / "os" / info->name() / u8"Пациенты";
    fs::remove_all(dir);
    fs::create_directories(dir);
    return utf8FromPath(dir);
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(pathFromUtf8(dir))) {
        names.push_back(utf8FromPath(e.path().filename()));
    }
    return names;
}

TEST(Utf8PathTest, CyrillicTextSurvivesTheRoundTrip) {
    const std::string name = "Пациенты/Иванов И.И. 10.12.26.txt";
    const fs::path path = pathFromUtf8(name);
    EXPECT_EQ(utf8FromPath(path), name);
    EXPECT_EQ(utf8FromPath(path.filename()), "Иванов И.И. 10.12.26.txt");
}

TEST(FileLayerTest, CyrillicFileIsWrittenReadBackAndReplaced) {
    const std::string dir = patientsFolder();
    const std::string file = dir + "/Иванов И.И. 10.12.26.txt";
    writeFileAtomically(file, bytesOf("первая ночь"), "Не удалось сохранить файл");
    EXPECT_EQ(readRegularFile(file, "Не удалось открыть файл"), bytesOf("первая ночь"));
    // What another program sees under that name: the file itself, no mangled twin.
    EXPECT_TRUE(std::ifstream(pathFromUtf8(file), std::ios::binary).good());

    writeFileAtomically(file, bytesOf("вторая"), "Не удалось сохранить файл");
    EXPECT_EQ(readRegularFile(file, ""), bytesOf("вторая"));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Иванов И.И. 10.12.26.txt"});
}

TEST(FileLayerTest, WriterReachesTheTemporaryFileByItsName) {
    // The spreadsheet library opens the temporary file by name while it is held open.
    const std::string dir = patientsFolder();
    const std::string file = dir + "/Петров.xlsx";
    replaceFileAtomically(file, "", [](const TemporaryFile& temp) {
        std::ofstream out(pathFromUtf8(temp.path), std::ios::binary | std::ios::trunc);
        out << "книга";
    });
    EXPECT_EQ(readRegularFile(file, ""), bytesOf("книга"));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Петров.xlsx"});
}

TEST(FileLayerTest, FailedWriterLeavesTheOldFileAndNoTemporary) {
    const std::string dir = patientsFolder();
    const std::string file = dir + "/Сидоров.csv";
    writeFileAtomically(file, bytesOf("старое"), "");
    EXPECT_THROW(replaceFileAtomically(file, "Не удалось сохранить таблицу",
                                       [&](const TemporaryFile& temp) {
                                           writeFully(temp.fd, bytesOf("полови"));
                                           throwFileError(file, "Не удалось сохранить таблицу",
                                                          "книга записана с ошибкой");
                                       }),
                 FileError);
    EXPECT_EQ(readRegularFile(file, ""), bytesOf("старое"));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Сидоров.csv"});
}

TEST(FileLayerTest, ErrorsNameTheCyrillicPathAndTheReason) {
    const std::string dir = patientsFolder();
    const struct Case {
        const char* what;
        std::string path;
        std::string reason;
    } cases[] = {
        {"a missing file", dir + "/Нет такого.txt", reasonForErrno(ENOENT)},
        {"a folder", dir, reasonForErrno(EISDIR)},
    };
    for (const Case& c : cases) {
        try {
            readRegularFile(c.path, "Не удалось открыть файл");
            ADD_FAILURE() << c.what << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.reason(), c.reason) << c.what;
            EXPECT_EQ(std::string(e.what()),
                      "Не удалось открыть файл «" + c.path + "»: " + c.reason + ".")
                << c.what;
        }
    }
    try {
        writeFileAtomically(dir + "/Нет папки/ночь.txt", bytesOf("x"), "Не удалось сохранить файл");
        ADD_FAILURE() << "written into a missing folder";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), reasonForErrno(ENOENT));
        EXPECT_EQ(e.path(), dir + "/Нет папки/ночь.txt");
    }
}

#ifdef _WIN32
TEST(WindowsFileTest, ReadOnlyFileIsNotReplaced) {
    const std::string dir = patientsFolder();
    const std::string file = dir + "/Архив.txt";
    writeFileAtomically(file, bytesOf("архив"), "");
    fs::permissions(pathFromUtf8(file),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);  // the read-only attribute
    try {
        writeFileAtomically(file, bytesOf("новое"), "Не удалось сохранить файл");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), kReadOnlyFileReason);
    }
    fs::permissions(pathFromUtf8(file), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(readRegularFile(file, ""), bytesOf("архив"));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Архив.txt"});
}

TEST(WindowsFileTest, FileHeldOpenByAnotherProgramIsKept) {
    // A program that opened the file without letting it be deleted (as the C library's fopen
    // and spreadsheet programs do) keeps it from being replaced; the doctor is told so.
    const std::string dir = patientsFolder();
    const std::string file = dir + "/Иванов.csv";
    writeFileAtomically(file, bytesOf("старое"), "");
    std::ifstream holder(pathFromUtf8(file), std::ios::binary);
    ASSERT_TRUE(holder.good());
    try {
        writeFileAtomically(file, bytesOf("новое"), "Не удалось сохранить таблицу");
        ADD_FAILURE() << "a file held open was replaced";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), "файл открыт другой программой");
    }
    holder.close();
    EXPECT_EQ(readRegularFile(file, ""), bytesOf("старое"));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Иванов.csv"});
}

TEST(WindowsFileTest, DeviceNamesAreRefused) {
    const std::string dir = patientsFolder();
    for (const std::string& device : {std::string("NUL"), std::string("CON"), dir + "\\COM1"}) {
        try {
            readRegularFile(device, "");
            ADD_FAILURE() << device << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.reason(), kDeviceReason) << device;
        }
        try {
            writeFileAtomically(device, bytesOf("x"), "");
            ADD_FAILURE() << device << " was written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.reason(), kDeviceReason) << device;
        }
    }
    EXPECT_TRUE(namesIn(dir).empty());
}

TEST(WindowsFileTest, WindowsErrorsHaveRussianReasons) {
    const struct {
        unsigned long code;
        std::string reason;
    } cases[] = {
        {ERROR_SHARING_VIOLATION, "файл открыт другой программой"},
        {ERROR_ACCESS_DENIED, reasonForErrno(EACCES)},
        {ERROR_DISK_FULL, reasonForErrno(ENOSPC)},
        {ERROR_PATH_NOT_FOUND, reasonForErrno(ENOENT)},
        {ERROR_FILENAME_EXCED_RANGE, reasonForErrno(ENAMETOOLONG)},
        {ERROR_WRITE_PROTECT, reasonForErrno(EROFS)},
        {ERROR_INVALID_NAME, "недопустимое имя файла или папки"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reasonForWindowsError(c.code), c.reason) << c.code;
    }
}

TEST(WindowsFileTest, PathPartsSplitAtEitherSeparator) {
    EXPECT_EQ(directoryOf("C:\\Пациенты\\ночь.txt"), "C:\\Пациенты");
    EXPECT_EQ(baseNameOf("C:\\Пациенты\\ночь.txt"), "ночь.txt");
    EXPECT_EQ(directoryOf("C:\\ночь.txt"), "C:\\");
    EXPECT_EQ(directoryOf("Z:/tmp/ночь.txt"), "Z:/tmp");
}
#endif

}  // namespace
}  // namespace npt
