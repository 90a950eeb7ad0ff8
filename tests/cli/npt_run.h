// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The npt tool run in process, with what it printed on stdout and stderr.
#include <sstream>
#include <string>
#include <vector>

#include "cli/npt_command.h"

namespace npt::test {

struct NptRun {
    int status;
    std::string out;
    std::string err;
};

inline NptRun npt(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runNpt(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace npt::test
