// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include <malloc.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/npt_command.h"
#ifdef _WIN32
// windows.h first: shellapi.h needs its types.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "os/windows_error.h"
#endif
#ifdef NPT_WITH_REPORT
#include "cli/report_command.h"
#endif

#ifdef _WIN32
namespace {
// The arguments as the user typed them, in UTF-8: the C runtime's argv holds them in the ANSI
// code page, where a Cyrillic file name is lost.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv + 1, argv + argc};
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(npt::utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}
}  // namespace

int main(int argc, char** argv) {
    // UTF-8 on the console, and the same bytes as on Linux into a pipe or a file: no "\r"
    // added before each "\n".
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(1, _O_BINARY);
    ::_setmode(2, _O_BINARY);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = utf8Arguments(argc, argv);
#else
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
#endif
#ifdef _WIN32
    const bool terminal = ::_isatty(2) != 0;
#else
    const bool terminal = ::isatty(2) != 0;
#endif
#ifdef NPT_WITH_REPORT
    return npt::runNpt(args, std::cout, std::cerr, npt::headlessReportWriter(), terminal,
                       npt::headlessStudyReportWriter());
#else
    return npt::runNpt(args, std::cout, std::cerr, {}, terminal);
#endif
}
