// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the spreadsheet library's own English error lines from reaching the user.
//
// The library prints to standard error by itself, in the middle of writing a workbook, when a
// write fails (a full disk, a file-size limit); the user is told once, in Russian, by the
// caller. The lines cannot be avoided by checking inputs first, because they come from the
// disk, so while an object of this class lives, the process's standard error descriptor points
// to /dev/null. Only the library's calls run inside: the application writes nothing to
// standard error while a workbook is written (the window logs nothing, and the command-line
// tool prints its messages after the export has returned), and the descriptor is back, with
// anything buffered flushed on both sides, before an error reaches the caller.
#include <mutex>

namespace npt {

class SilencedStderr {
  public:
    SilencedStderr();
    ~SilencedStderr();
    SilencedStderr(const SilencedStderr&) = delete;
    SilencedStderr& operator=(const SilencedStderr&) = delete;

  private:
    // Two workbooks written at once on different threads would otherwise put the descriptors
    // back in the wrong order; the lock guards the process's descriptor 2 and saved_.
    std::unique_lock<std::mutex> lock_;
    int saved_ = -1;  // the real standard error, while it is diverted
};

}  // namespace npt
