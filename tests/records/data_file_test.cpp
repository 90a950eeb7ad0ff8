#include "records/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "records/file_error.h"
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
    };
    const Case cases[] = {
        {"exactly 4481 bytes", 4481, true},
        {"longer file: only its first 4481 bytes count", 5000, true},
        {"4480 bytes: the trailing byte is missing", 4480, false},
        {"one sample block short", 4448, false},
        {"empty file", 0, false},
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
            EXPECT_NE(reason.find(std::to_string(c.size) + " байт"), std::string::npos) << reason;
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
    EXPECT_EQ(loadError((dir / "plain" / "night.txt").string()), "в пути есть не папка");
}

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

TEST(DataFileTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
    const auto dir = scratchDir("records");
    const auto path = dir / "night.txt";
    writeAll(path, {1, 2, 3});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeDataFile(path.string(), patternImage());
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

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

TEST_F(FailedSaveTest, WriteStoppedHalfway) {
    {
        const FileSizeLimit limit(1000);  // the disk takes only the first 1000 bytes
        saveError(dir_ / "night.txt");
    }
    expectEarlierFileIntact();
}

TEST_F(FailedSaveTest, TargetIsADirectory) {
    fs::create_directory(dir_ / "folder.txt");
    writeAll(dir_ / "folder.txt" / "inside", {7});
    EXPECT_EQ(saveError(dir_ / "folder.txt"), "это папка, а не файл");
    EXPECT_EQ(readAll(dir_ / "folder.txt" / "inside"), std::vector<std::uint8_t>{7});
    fs::remove_all(dir_ / "folder.txt");
    expectEarlierFileIntact();
}

TEST_F(FailedSaveTest, DirectoryNotWritable) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root writes into any directory";
    }
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(saveError(dir_ / "night.txt"), "нет доступа");
    fs::permissions(dir_, fs::perms::owner_all);
    expectEarlierFileIntact();
}

}  // namespace
}  // namespace npt
