// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Every kind of file the application writes (the data file, the .xlsx workbook, the CSV table
// and the settings file) under the same rules: a failed write leaves the earlier file byte for
// byte and nothing beside it, with one message naming the chosen file and the reason; a write
// that succeeds respects the umask, the replaced file's mode and owner, symbolic links, and
// names as long as the file system allows.
#ifndef _WIN32
// Linux only, the whole file: its cases are termination signals, the umask, modes and owners,
// symbolic links, file-size limits, private mounts and O_TMPFILE; the Windows file layer has
// its own cases in the os tests.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <sstream>
#include <thread>

#include "app/settings_file.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "records/data_file.h"
#include "records/spreadsheet.h"
#include "support/child_process.h"
#include "support/export_fixture.h"
#include "support/scratch.h"

namespace npt {
namespace {

using namespace npt::test;

struct FileKind {
    const char* what;
    const char* extension;
    std::function<void(const std::string& path)> write;
    // Free blocks that hold part of the file but not all of it; 0 when it fits in one block.
    unsigned long partwayFreeBlocks;
};

MemoryImage patternImage() {
    MemoryImage image;
    for (std::size_t i = 0; i < MemoryImage::kSize; ++i) {
        image[i] = static_cast<std::uint8_t>(i % 251 + 1);
    }
    return image;
}

const std::vector<FileKind>& fileKinds() {
    static const std::vector<FileKind> kinds = {
        {"data file", ".txt", [](const std::string& p) { writeDataFile(p, patternImage()); }, 1},
        // The library's scratch data of a night's workbook takes about a megabyte.
        {"workbook", ".xlsx", [](const std::string& p) { writeXlsx(p, wholeNightTable()); }, 170},
        {"CSV table", ".csv", [](const std::string& p) { writeCsv(p, wholeNightTable()); }, 8},
        {"settings file", ".ini",
         [](const std::string& p) {
             IniSettingsFile({p, ""}).saveDoctorName("Иванова А. А.");
         },
         0},
    };
    return kinds;
}

const std::vector<std::uint8_t> kEarlier = {'o', 'l', 'd'};

// What is at path: its type, and for a file its mode and bytes; for a folder what it holds.
std::string stateOf(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return "missing";
    }
    std::ostringstream state;
    state << std::oct << info.st_mode;
    if (S_ISREG(info.st_mode)) {
        const auto bytes = readAll(path);
        state << " " << std::string(bytes.begin(), bytes.end());
    } else if (S_ISDIR(info.st_mode)) {
        for (const auto& name : entriesOf(path)) {
            state << " " << name;
        }
    }
    return state.str();
}

std::string joined(const std::set<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : "|") + name;
    }
    return text;
}

// How a failure is brought about, in the child that then makes the write.
struct FailureKind {
    const char* what;
    std::string reason;
    bool ownTmpfs;  // the case's folder is a fresh tmpfs, in a mount namespace of the child's own
    // Prepares the folder, which holds the target with its earlier content. Returns an empty
    // text when ready, "skip: why" when the case cannot be made here, else what went wrong.
    std::function<std::string(const fs::path& dir, const fs::path& target, const FileKind& kind)>
        arrange;
};

std::string skip(const std::string& why) {
    return "skip: " + why;
}

// As another user than root, so that permissions apply.
std::string asUnprivileged() {
    if (runningAsRoot() && !becomeNobody()) {
        return skip("cannot switch to the user nobody");
    }
    return {};
}

const std::vector<FailureKind>& failureKinds() {
    static const std::vector<FailureKind> kinds = {
        {"disk full", reasonForErrno(ENOSPC), true,
         [](const fs::path& dir, const fs::path&, const FileKind&) {
             return fillUpTo(dir, 0) ? "" : "cannot fill the disk";
         }},
        {"disk filling up partway", reasonForErrno(ENOSPC), true,
         [](const fs::path& dir, const fs::path&, const FileKind& kind) -> std::string {
             if (kind.partwayFreeBlocks == 0) {
                 return skip("the file fits in one block");
             }
             return fillUpTo(dir, kind.partwayFreeBlocks) ? "" : "cannot fill the disk";
         }},
        {"file-size limit", reasonForErrno(EFBIG), false,
         [](const fs::path&, const fs::path&, const FileKind&) {
             limitFileSize(16);  // every kind of file is longer
             return std::string();
         }},
        {"read-only disk", reasonForErrno(EROFS), true,
         [](const fs::path& dir, const fs::path&, const FileKind&) {
             const bool remounted =
                 ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
             return remounted ? "" : "cannot remount read-only";
         }},
        {"file the user may not write", kReadOnlyFileReason, false,
         [](const fs::path& dir, const fs::path& target, const FileKind&) {
             fs::permissions(dir, fs::perms::all);
             fs::permissions(
                 target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             return asUnprivileged();
         }},
        {"folder the user may not write", reasonForErrno(EACCES), false,
         [](const fs::path& dir, const fs::path& target, const FileKind&) {
             fs::permissions(target, fs::perms::all);
             fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
             return asUnprivileged();
         }},
        {"name of a folder", reasonForErrno(EISDIR), false,
         [](const fs::path&, const fs::path& target, const FileKind&) {
             fs::remove(target);
             fs::create_directory(target);
             writeAll(target / "inside", kEarlier);
             return std::string();
         }},
        {"name of a FIFO", kFifoReason, false,
         [](const fs::path&, const fs::path& target, const FileKind&) {
             fs::remove(target);
             return ::mkfifo(target.c_str(), 0644) == 0 ? "" : "cannot make a FIFO";
         }},
    };
    return kinds;
}

// Run in the child: arranges the failure, writes, and reports the message, whether the target
// is as it was, and what the folder holds, one per line.
std::string failedWrite(const FailureKind& failure, const FileKind& kind, const fs::path& dir) {
    if (failure.ownTmpfs) {
        const std::string why = mountPrivateTmpfs(dir, 8 << 20);
        if (!why.empty()) {
            return skip(why);
        }
    }
    const fs::path target = dir / (std::string("night") + kind.extension);
    writeAll(target, kEarlier);
    std::string problem = failure.arrange(dir, target, kind);
    if (!problem.empty()) {
        return problem;
    }
    const std::string before = stateOf(target);
    std::string message = "(no error)";
    try {
        kind.write(target.string());
    } catch (const FileError& e) {
        message = e.what();
    }
    const std::string after = stateOf(target);
    return message + "\n" + (after == before ? "intact" : "changed: " + after) + "\n" +
           joined(entriesOf(dir));
}

TEST(FileWritingTest, FailedWriteKeepsTheEarlierFileAndNamesTheReason) {
    const fs::path root = scratchDir("app");
    for (const FailureKind& failure : failureKinds()) {
        for (const FileKind& kind : fileKinds()) {
            SCOPED_TRACE(std::string(failure.what) + ", " + kind.what);
            const fs::path dir = root / (std::string(failure.what) + kind.extension);
            fs::create_directories(dir);
            const ChildResult child = runInChild([&] { return failedWrite(failure, kind, dir); });
            ASSERT_EQ(child.signal, 0) << "the write killed the process";
            if (child.report.starts_with("skip: ")) {
                std::cout << "[ SKIPPED  ] " << failure.what << ", " << kind.what << ": "
                          << child.report.substr(6) << "\n";
                continue;
            }
            std::istringstream lines(child.report);
            std::string message, state, entries;
            std::getline(lines, message);
            std::getline(lines, state);
            std::getline(lines, entries);
            const std::string target = (dir / (std::string("night") + kind.extension)).string();
            EXPECT_NE(message.find("«" + target + "»: " + failure.reason + "."), std::string::npos)
                << child.report;
            EXPECT_EQ(state, "intact");
            const std::string name = std::string("night") + kind.extension;
            EXPECT_TRUE(entries == name || entries == "filler|" + name) << entries;
        }
    }
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
}

// A termination signal while a file is replaced (Ctrl+C, a logout's SIGTERM, a closed terminal)
// ends the program as it would have, but only once the temporary file is gone: the earlier file
// stays and nothing is left beside it. In the window other threads run (the recorder's reader,
// the toolkit's), and the signal may reach any of them.
TEST(FileWritingTest, TerminationSignalWaitsUntilTheTemporaryFileIsGone) {
    const fs::path root = scratchDir("app");
    struct Case {
        const char* what;
        int signal;
        bool otherThread;
    };
    const Case cases[] = {
        {"SIGTERM to the writing thread", SIGTERM, false},
        {"SIGINT to another thread", SIGINT, true},
        {"SIGHUP to another thread", SIGHUP, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = root / std::to_string(c.signal);
        fs::create_directories(dir);
        const fs::path target = dir / "night.xlsx";
        writeAll(target, kEarlier);
        const ChildResult child = runInChild([&] {
            replaceFileAtomically(
                target.string(), "Не удалось сохранить", [&](const TemporaryFile& t) {
                    const std::vector<std::uint8_t> line(4096, 'x');
                    writeFully(t.fd, line);
                    if (c.otherThread) {
                        std::thread([&] { ::pthread_kill(::pthread_self(), c.signal); }).join();
                    } else {
                        ::raise(c.signal);
                    }
                    writeFully(t.fd, line);  // the write goes on to its end
                });
            return std::string("the write returned");
        });
        EXPECT_EQ(child.signal, c.signal) << child.report;
        EXPECT_EQ(readAll(target), kEarlier);
        EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.xlsx"});
    }
}

// Where files without a name cannot be had (a file system without them, or no /proc to reach
// one by name, as here), the temporary file is named from the start: written, refused or
// interrupted, it is gone afterwards all the same.
TEST(FileWritingTest, WithoutUnnamedFilesTheNamedTemporaryIsGoneAfterwards) {
    const fs::path dir = scratchDir("app");
    const ChildResult child = runInChild([&]() -> std::string {
        const std::string why = mountPrivateTmpfs("/proc", 1 << 20);
        if (!why.empty()) {
            return "skip: " + why;
        }
        std::string report;
        for (const FileKind& kind : fileKinds()) {
            kind.write((dir / (std::string("new") + kind.extension)).string());
        }
        report += joined(entriesOf(dir)) + "\n";
        const ChildResult limited = runInChild([&] {
            limitFileSize(16);
            try {
                writeXlsx((dir / "new.xlsx").string(), wholeNightTable());
            } catch (const FileError& e) {
                return std::string(e.reason());
            }
            return std::string("(no error)");
        });
        report += limited.report + "\n";
        const ChildResult interrupted = runInChild([&] {
            replaceFileAtomically((dir / "new.csv").string(), "", [](const TemporaryFile& t) {
                writeFully(t.fd, std::vector<std::uint8_t>(100, 'x'));
                ::raise(SIGTERM);
            });
            return std::string("the write returned");
        });
        return report + std::to_string(interrupted.signal) + "\n" + joined(entriesOf(dir));
    });
    if (child.report.starts_with("skip: ")) {
        GTEST_SKIP() << child.report.substr(6);
    }
    EXPECT_EQ(child.report, "new.csv|new.ini|new.txt|new.xlsx\n" + reasonForErrno(EFBIG) + "\n" +
                                std::to_string(SIGTERM) + "\nnew.csv|new.ini|new.txt|new.xlsx");
}

// A file written as this process: its mode, owner and content.
struct Written {
    mode_t mode;
    uid_t owner;
    gid_t group;
};

Written statOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
}

// Sets the umask for the life of the object.
class Umask {
  public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

  private:
    mode_t old_;
};

TEST(FileWritingTest, NewFileGetsWhatTheUmaskAllows) {
    const fs::path dir = scratchDir("app");
    for (const mode_t mask : {077, 027, 022, 002}) {
        const Umask umask(mask);
        for (const FileKind& kind : fileKinds()) {
            SCOPED_TRACE(std::string(kind.what) + ", umask " + std::to_string(mask));
            const fs::path target = dir / (std::string("new") + kind.extension);
            fs::remove(target);
            kind.write(target.string());
            EXPECT_EQ(statOf(target).mode, 0666 & ~mask);
        }
    }
}

// A first start may find no ~/.config either: every missing folder of the settings file's path
// is made, each with what the umask allows; a folder that is there keeps its mode.
TEST(FileWritingTest, SettingsFolderIsMadeWholeWithWhatTheUmaskAllows) {
    const fs::path dir = scratchDir("app");
    fs::create_directory(dir / "home");
    fs::permissions(dir / "home", fs::perms::owner_all);
    for (const mode_t mask : {077, 022, 002}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        fs::remove_all(dir / "home" / ".config");
        const Umask umask(mask);
        const fs::path file = dir / "home" / ".config" / "npt-desk" / "rdp.ini";
        IniSettingsFile({file.string(), ""}).saveDoctorName("Иванова А. А.");
        EXPECT_EQ(IniSettingsFile({file.string(), ""}).doctorName(), "Иванова А. А.");
        EXPECT_EQ(statOf(dir / "home" / ".config").mode, 0777 & ~mask);
        EXPECT_EQ(statOf(dir / "home" / ".config" / "npt-desk").mode, 0777 & ~mask);
        EXPECT_EQ(statOf(dir / "home").mode, 0700);
    }
    // A file where a folder should be is named in the message.
    writeAll(dir / "home" / "plain", kEarlier);
    const std::string file = (dir / "home" / "plain" / "npt-desk" / "rdp.ini").string();
    try {
        IniSettingsFile({file, ""}).saveDoctorName("Иванова А. А.");
        ADD_FAILURE() << "saved under a file";
    } catch (const FileError& e) {
        EXPECT_EQ(e.what(), "Не удалось сохранить настройки в «" + file +
                                "»: " + reasonForErrno(ENOTDIR) + ".");
    }
}

TEST(FileWritingTest, ReplacedFileKeepsItsModeOwnerAndGroup) {
    const fs::path dir = scratchDir("app");
    const Umask umask(077);  // the replaced file's mode wins over the umask
    for (const FileKind& kind : fileKinds()) {
        SCOPED_TRACE(kind.what);
        const fs::path target = dir / (std::string("night") + kind.extension);
        writeAll(target, kEarlier);
        ::chmod(target.c_str(), 0664);
        if (runningAsRoot()) {
            ASSERT_EQ(::chown(target.c_str(), 4321, 4322), 0);
        }
        const Written before = statOf(target);
        kind.write(target.string());
        const Written after = statOf(target);
        EXPECT_NE(readAll(target), kEarlier);
        EXPECT_EQ(after.mode, 0664);
        EXPECT_EQ(after.owner, before.owner);
        EXPECT_EQ(after.group, before.group);
    }
    if (!runningAsRoot()) {
        std::cout << "[ SKIPPED  ] another owner: only root can give a file away to test it\n";
    }
}

TEST(FileWritingTest, SymbolicLinkWritesTheFileItPointsTo) {
    const fs::path dir = scratchDir("app");
    for (const FileKind& kind : fileKinds()) {
        SCOPED_TRACE(kind.what);
        const fs::path files = dir / (std::string("files") + kind.extension);
        const fs::path links = dir / (std::string("links") + kind.extension);
        fs::create_directories(files);
        fs::create_directories(links);
        const std::string name = std::string("night") + kind.extension;
        writeAll(files / name, kEarlier);
        fs::create_symlink("../" + files.filename().string() + "/" + name, links / "link");
        fs::create_symlink("link", links / "chain");  // a link to a link
        fs::create_symlink("../" + files.filename().string() + "/new", links / "dangling");

        kind.write((links / "chain").string());
        EXPECT_NE(readAll(files / name), kEarlier);
        kind.write((links / "dangling").string());  // creates the file the link names
        EXPECT_TRUE(fs::is_regular_file(files / "new"));

        EXPECT_TRUE(fs::is_symlink(links / "link"));
        EXPECT_TRUE(fs::is_symlink(links / "chain"));
        EXPECT_TRUE(fs::is_symlink(links / "dangling"));
        EXPECT_EQ(entriesOf(files), (std::set<std::string>{name, "new"}));
        EXPECT_EQ(entriesOf(links), (std::set<std::string>{"link", "chain", "dangling"}));
    }
}

TEST(FileWritingTest, LongestNamesAreSaved) {
    const fs::path dir = scratchDir("app");
    const long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 20);
    for (const FileKind& kind : fileKinds()) {
        const std::size_t room = static_cast<std::size_t>(nameMax) - std::strlen(kind.extension);
        std::string cyrillic;
        while (cyrillic.size() + 2 <= room) {
            cyrillic += "ж";  // two bytes: the temporary name must not cut one in half
        }
        for (const std::string& stem : {std::string(room, 'n'), cyrillic}) {
            SCOPED_TRACE(std::string(kind.what) + ", " + std::to_string(stem.size()) + " bytes");
            const fs::path sub = dir / std::to_string(stem.size());
            fs::create_directories(sub);
            const std::string name = stem + kind.extension;
            kind.write((sub / name).string());  // a new file
            kind.write((sub / name).string());  // and replacing it
            EXPECT_EQ(entriesOf(sub), std::set<std::string>{name});
            fs::remove_all(sub);
        }
    }
}

}  // namespace
}  // namespace npt
#endif
