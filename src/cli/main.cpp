// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include <malloc.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/npt_command.h"
#ifdef NPT_WITH_REPORT
#include "cli/report_command.h"
#endif

int main(int argc, char** argv) {
    // The tool lives for one command. Writing a workbook compresses each of its parts with
    // fresh buffers of a few hundred kilobytes; handing them back to the kernel after every part
    // and faulting them in again cost about as much as the compression, so keep them.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    // A reader that closes the pipe early is a failed output like any other: the write returns
    // EPIPE and the tool says so and exits with 1, instead of dying silently of the signal.
    std::signal(SIGPIPE, SIG_IGN);
    // The same for a file-size limit: standard output redirected into a file that reaches it
    // fails with EFBIG, said in one line with the exit status 1, as for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef NPT_WITH_REPORT
    return npt::runNpt(args, std::cout, std::cerr, npt::offscreenReportWriter());
#else
    return npt::runNpt(args, std::cout, std::cerr);
#endif
}
