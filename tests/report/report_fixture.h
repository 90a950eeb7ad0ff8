// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the report tests share: Qt's drawing without a screen, made once for the whole run, and
// the PDF read back with poppler-utils when they are installed.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "report/headless_platform.h"

namespace npt::test {

inline void ensureApplication() {
    // Never destroyed: tearing Qt down among the program's static destructors crashes.
    if (QGuiApplication::instance() == nullptr) {
        useHeadlessPlatform();
        static int argc = 1;
        static char name[] = "report_tests";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

inline bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string output(const std::string& command) {
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

}  // namespace npt::test
