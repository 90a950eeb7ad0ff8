#pragma once
// The command-line tool: the window's load flow without a window.
//
//   npt show FILE [--password TEXT] [--json]
//   npt export FILE OUT.xlsx|OUT.csv [--password TEXT]
//
// Exit status: 0 done, 1 the recording could not be loaded or exported, 2 wrong usage.
#include <ostream>
#include <string>
#include <vector>

namespace npt {

int runNpt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace npt
