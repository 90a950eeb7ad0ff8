// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An open file descriptor that closes itself: for the file layer's reads and the transport's
// device nodes, so that no early return leaves a descriptor open.
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace npt {

class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) {
#ifdef _WIN32
            ::_close(fd_);
#else
            ::close(fd_);
#endif
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const {
        return fd_;
    }

  private:
    int fd_;
};

}  // namespace npt
