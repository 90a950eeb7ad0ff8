// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for tests that touch the file system: a fresh directory per test under the build
// tree, whole-file reads and writes, and a file-size limit that makes writes fail even for root
// (Linux: Windows has no such limit).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace npt::test {

namespace fs = std::filesystem;

// An empty directory named after the running test; left behind for inspection.
inline fs::path scratchDir(const char* layer) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    fs::path dir = fs::path(NPT_TEST_OUTPUT_DIR) / layer / name;
    if (fs::exists(dir)) {
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (!e.is_symlink()) {  // a link's permissions are its target's, if it has one
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
            }
        }
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    }
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline std::vector<std::uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeAll(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::set<std::string> entriesOf(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::u8string name = e.path().filename().u8string();  // UTF-8 on every system
        names.insert(std::string(name.begin(), name.end()));
    }
    return names;
}

#ifdef _WIN32
// Windows: the tests run as a user whom file permissions bind.
inline bool runningAsRoot() {
    return false;
}
#else
inline bool runningAsRoot() {
    return ::geteuid() == 0;
}

// While alive, no regular file can grow beyond limit bytes: a write past it fails with EFBIG
// instead of raising SIGXFSZ. Makes writes fail even for root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};
#endif

}  // namespace npt::test
