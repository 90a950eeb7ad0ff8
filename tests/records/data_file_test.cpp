// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/data_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "os/file_error.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

std::vector<std::uint8_t> patternBytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 251 + 1);
    }
    return bytes;
}

MemoryImage patternImage() {
    return MemoryImage::fromBytes(patternBytes(MemoryImage::kSize));
}

// The load's error for path, or an empty text when it loaded.
std::string loadError(const std::string& path) {
    try {
        (void)readDataFile(path);
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(e.reason()), std::string::npos) << e.what();
        return e.reason();
    }
    return {};
}

TEST(DataFileTest, LoadByFileSize) {
    struct Case {
        const char* what;
        std::size_t size;
        bool loads;
        const char* sizeSaid = "";  // as the reason names the size
    };
    const Case cases[] = {
        {"exactly 4481 bytes", 4481, true},
        {"longer file: only its first 4481 bytes count", 5000, true},
        {"4480 bytes: the trailing byte is missing", 4480, false, "(4480 байт,"},
        {"one sample block short", 4448, false, "(4448 байт,"},
        {"empty file", 0, false, "(0 байт,"},
        {"one byte", 1, false, "(1 байт,"},
        {"two bytes", 2, false, "(2 байта,"},
        {"4234 bytes", 4234, false, "(4234 байта,"},
        {"4212 bytes", 4212, false, "(4212 байт,"},
    };
    const auto dir = scratchDir("records");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = (dir / ("night-" + std::to_string(c.size) + ".txt")).string();
        const auto content = patternBytes(c.size);
        writeAll(path, content);
        if (c.loads) {
            const MemoryImage image = readDataFile(path);
            EXPECT_TRUE(std::equal(image.bytes().begin(), image.bytes().end(), content.begin()));
        } else {
            const std::string reason = loadError(path);
            EXPECT_NE(reason.find(c.sizeSaid), std::string::npos) << reason;
        }
    }
}

TEST(DataFileTest, LoadOfWhatIsNotAReadableFile) {
    const auto dir = scratchDir("records");
    EXPECT_EQ(loadError((dir / "missing.txt").string()), "файл или папка не найдены");
    EXPECT_EQ(loadError((dir / "no-such-dir" / "night.txt").string()), "файл или папка не найдены");
    fs::create_directory(dir / "folder.txt");
    EXPECT_EQ(loadError((dir / "folder.txt").string()), "это папка, а не файл");
    writeAll(dir / "plain", {});
#ifdef _WIN32
    // Windows does not tell a file on the way from a missing folder.
    EXPECT_EQ(loadError((dir / "plain" / "night.txt").string()), "файл или папка не найдены");
#else
    EXPECT_EQ(loadError((dir / "plain" / "night.txt").string()), "в пути есть не папка");
#endif
}

#ifndef _WIN32
// Linux only: FIFOs, sockets and /dev (the Windows devices are in the os tests).
// The first block device under /dev, or an empty path when there is none.
fs::path someBlockDevice() {
    std::error_code error;
    for (const auto& e : fs::directory_iterator("/dev", error)) {
        if (e.is_block_file(error)) {
            return e.path();
        }
    }
    return {};
}

// Names that are not a regular file are refused before anything is read from them: a FIFO
// without a writer would block the load forever, /dev/zero would load as an all-zero night.
TEST(DataFileTest, LoadOfWhatIsNotARegularFile) {
    const auto dir = scratchDir("records");
    ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0600), 0);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir / "socket.txt").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", dir / "zero-link.txt");

    struct Case {
        fs::path path;
        const char* reason;
    };
    std::vector<Case> cases = {
        {dir / "fifo.txt", kFifoReason},        {dir / "socket.txt", kSocketReason},
        {"/dev/zero", kDeviceReason},           {"/dev/null", kDeviceReason},
        {dir / "zero-link.txt", kDeviceReason},
    };
    if (const fs::path block = someBlockDevice(); !block.empty()) {
        cases.push_back({block, kDeviceReason});
    } else {
        std::cout << "[ SKIPPED  ] block device: there is none under /dev here\n";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(loadError(c.path.string()), c.reason);
    }
    ::close(listening);
}
#endif

#ifndef _WIN32
// Linux only: Windows file permissions are ACLs, which chmod does not set.
TEST(DataFileTest, LoadOfAFileWithoutReadPermission) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root reads files regardless of their permissions";
    }
    const auto dir = scratchDir("records");
    const auto path = dir / "locked.txt";
    writeAll(path, patternBytes(kDataFileSize));
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(loadError(path.string()), "нет доступа");
}
#endif

TEST(DataFileTest, ReadOnlyFileLoads) {
    const auto dir = scratchDir("records");
    const auto path = dir / "archive.txt";
    writeAll(path, patternBytes(kDataFileSize));
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(readDataFile(path.string()), patternImage());
}

TEST(DataFileTest, SaveWrites4481BytesEndingInZero) {
    const auto dir = scratchDir("records");
    const auto path = dir / "night.txt";
    writeAll(path, std::vector<std::uint8_t>(6000, 0xAA));  // a longer file is replaced whole

    writeDataFile(path.string(), patternImage());
    const auto bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 4481u);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(MemoryImage::fromBytes(bytes), patternImage());
    EXPECT_EQ(readDataFile(path.string()), patternImage());
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.txt"}) << "no temporary file left";
}

#ifndef _WIN32
// Linux only: mode bits; on Windows a read-only file is refused (os tests).
TEST(DataFileTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
    const auto dir = scratchDir("records");
    const auto path = dir / "night.txt";
    writeAll(path, {1, 2, 3});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeDataFile(path.string(), patternImage());
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

// A failed save leaves the earlier file as it was and no temporary file beside it.
class FailedSaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = scratchDir("records");
        writeAll(dir_ / "night.txt", earlier_);
    }
    void expectEarlierFileIntact() {
        EXPECT_EQ(readAll(dir_ / "night.txt"), earlier_);
        EXPECT_EQ(entriesOf(dir_), std::set<std::string>{"night.txt"});
    }
    std::string saveError(const fs::path& path) {
        try {
            writeDataFile(path.string(), patternImage());
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            return e.reason();
        }
        ADD_FAILURE() << "save did not fail";
        return {};
    }

    fs::path dir_;
    const std::vector<std::uint8_t> earlier_ = {'o', 'l', 'd'};
};

#ifndef _WIN32
// Linux only: a file-size limit (rlimit) makes the write fail.
TEST_F(FailedSaveTest, WriteStoppedHalfway) {
    {
        const FileSizeLimit limit(1000);  // the disk takes only the first 1000 bytes
        saveError(dir_ / "night.txt");
    }
    expectEarlierFileIntact();
}
#endif

TEST_F(FailedSaveTest, TargetIsADirectory) {
    fs::create_directory(dir_ / "folder.txt");
    writeAll(dir_ / "folder.txt" / "inside", {7});
    EXPECT_EQ(saveError(dir_ / "folder.txt"), "это папка, а не файл");
    EXPECT_EQ(readAll(dir_ / "folder.txt" / "inside"), std::vector<std::uint8_t>{7});
    fs::remove_all(dir_ / "folder.txt");
    expectEarlierFileIntact();
}

#ifndef _WIN32
// Linux only: a folder made unwritable with chmod.
TEST_F(FailedSaveTest, DirectoryNotWritable) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root writes into any directory";
    }
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(saveError(dir_ / "night.txt"), "нет доступа");
    fs::permissions(dir_, fs::perms::owner_all);
    expectEarlierFileIntact();
}
#endif

}  // namespace
}  // namespace npt
