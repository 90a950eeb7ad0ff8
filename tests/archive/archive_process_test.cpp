// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The archive used by several programs at once, and by one that is killed: each program a
// forked child with its own connection, on both kinds of archive.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <set>
#include <thread>

#include "archive/archive.h"
#include "archive_backends.h"
#include "night_maker.h"

namespace npt::archive {
namespace {

using test::nightFile;
using test::NightSpec;

// Night number k of a made-up set: twelve patients, nights on days 1 to 28.
std::vector<std::uint8_t> setNight(int k) {
    return nightFile(
        NightSpec().named("Пациент " + std::to_string(k % 12)).on(1 + k % 28).variantOf(k));
}

class ArchiveProcessTest : public test::BackendTest {
  protected:
    void SetUp() override {
        BackendTest::SetUp();
        if (!IsSkipped()) {
            Archive::open(location_, Archive::Open::Create);  // made before the children race
        }
    }

    // Forks a child that files nights first..last; each digest it filed goes to fd once its
    // transaction has committed. The child's exit status: 0, or 1 when the archive failed it.
    pid_t startFiling(int first, int last, int fd) const {
        const pid_t pid = ::fork();
        if (pid != 0) {
            return pid;
        }
        int status = 0;
        try {
            Archive a = Archive::open(location_, Archive::Open::Create);
            for (int k = first; k <= last; ++k) {
                const auto entry = nightEntryOf(setNight(k), std::nullopt);
                a.add(entry, NightSource::File, "n" + std::to_string(k), AnalysisParameters{});
                const std::string line = entry.sha256 + "\n";
                if (::write(fd, line.data(), line.size()) < 0) {
                    status = 1;
                }
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            status = 1;
        }
        ::_exit(status);
    }
};

std::set<std::string> digestsRead(int fd) {
    std::set<std::string> digests;
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    for (std::size_t at = 0; at + 64 <= text.size(); at += 65) {
        digests.insert(text.substr(at, 64));
    }
    return digests;
}

TEST_P(ArchiveProcessTest, WritersAtOnceNeitherDuplicateNorLoseANight) {
    // Four programs, each filing 30 nights of which it shares 20 with its neighbours.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    std::vector<pid_t> children;
    children.reserve(4);
    for (int c = 0; c < 4; ++c) {
        children.push_back(startFiling(c * 10, c * 10 + 29, pipeFds[1]));
    }
    ::close(pipeFds[1]);
    const auto reported = digestsRead(pipeFds[0]);
    ::close(pipeFds[0]);
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
    }
    Archive a = Archive::open(location_, Archive::Open::Existing);
    const auto nights = a.nights();
    std::set<std::string> filed;
    for (const auto& n : nights) {
        filed.insert(n.sha256);
    }
    EXPECT_EQ(nights.size(), 60U);  // nights 0..59, each once
    EXPECT_EQ(filed.size(), 60U);
    EXPECT_EQ(reported, filed);
    // Nor is a patient made twice by two programs filing nights of one name at once.
    EXPECT_EQ(a.patients().size(), 12U);
    EXPECT_TRUE(a.check().empty());
}

TEST_P(ArchiveProcessTest, AKilledImportLeavesEveryReportedNightInAndNoHalfNight) {
    std::mt19937 random(20261211);
    std::set<std::string> reported;
    for (int round = 0; round < 5; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = startFiling(round * 40, round * 40 + 199, pipeFds[1]);
        ::close(pipeFds[1]);
        // Killed at a random moment of its filing, in the middle of a transaction or not.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 400)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const auto filedNow = digestsRead(pipeFds[0]);
        ::close(pipeFds[0]);
        reported.insert(filedNow.begin(), filedNow.end());

        Archive a = Archive::open(location_, Archive::Open::Create);
        EXPECT_TRUE(a.check().empty()) << "round " << round;
        std::set<std::string> filed;
        for (const auto& n : a.nights()) {
            filed.insert(n.sha256);
            EXPECT_EQ(a.nightBytes(n.id).size(), 4481U);
        }
        for (const auto& digest : reported) {
            EXPECT_TRUE(filed.count(digest))
                << "a night reported as filed is lost, round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveProcessTest, ::testing::ValuesIn(test::kBackends),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace npt::archive
#endif
