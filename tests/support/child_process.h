// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running part of a test in a forked child: with the process-wide settings a file write must
// cope with (a file-size limit with the default SIGXFSZ action, another user, a private mount
// namespace) without changing them for the rest of the test run. The child reports back one
// text; its file-system changes outside a private mount stay visible to the parent.
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace npt::test {

struct ChildResult {
    std::string report;  // what the child's body returned
    int signal = 0;      // the signal that killed it, 0 when it exited
};

// Runs body in a forked child and returns what it returned. Nothing after body runs in the
// child: it ends with _exit, leaving the parent's test framework alone.
inline ChildResult runInChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return {"pipe failed", 0};
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        const char* at = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t n = ::write(pipeFds[1], at, left);
            if (n <= 0) {
                break;
            }
            at += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    ChildResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            result.report.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

// In a child: no file may grow beyond limit bytes, and SIGXFSZ keeps its default action
// (killing the process) unless the code under test handles it.
inline void limitFileSize(rlim_t limit) {
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit lowered{};
    ::getrlimit(RLIMIT_FSIZE, &lowered);
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
}

// In a child running as root: become the unprivileged user "nobody", so that file permissions
// apply. Returns false when that is not possible.
inline bool becomeNobody() {
    constexpr uid_t kNobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// In a child: mounts a fresh tmpfs of size bytes on dir, in a mount namespace of the child's
// own, so that nothing of it is seen outside. An empty text when done, else why not.
// Without root, a user namespace of its own (where the machine allows it) lends the rights.
inline std::string mountPrivateTmpfs(const std::string& dir, std::size_t size) {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return std::string("no private mount namespace here: ") + std::strerror(errno);
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("mounts cannot be made private: ") + std::strerror(errno);
    }
    const std::string options = "size=" + std::to_string(size) + ",mode=0777";
    if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        return std::string("no tmpfs can be mounted: ") + std::strerror(errno);
    }
    return {};
}

// Fills the file system holding dir with a file "filler" until only freeBlocks blocks are
// left. False when it cannot.
inline bool fillUpTo(const std::string& dir, unsigned long freeBlocks) {
    struct statvfs info {};
    if (::statvfs(dir.c_str(), &info) != 0 || info.f_bavail < freeBlocks) {
        return false;
    }
    const std::string block(info.f_bsize, 'f');
    std::ofstream filler(dir + "/filler", std::ios::binary);
    for (unsigned long i = 0; i < info.f_bavail - freeBlocks; ++i) {
        filler.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    filler.close();
    return filler.good() && ::statvfs(dir.c_str(), &info) == 0 && info.f_bavail == freeBlocks;
}

}  // namespace npt::test
