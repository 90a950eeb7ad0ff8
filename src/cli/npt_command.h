#pragma once
// The command-line tool: the window's load flow without a window, and its read of the recorder.
//
//   npt show FILE [--password TEXT] [--json]
//   npt export FILE OUT.xlsx|OUT.csv [--password TEXT]
//   npt read OUT.txt [--password TEXT] [--timeout S]
//   npt --help | --version
//
// Exit status: 0 done; 1 the recording could not be loaded, the table not saved, the output
// not written, or the recorder not read whole (read_command.h); 2 wrong usage (among it an
// export onto the recording itself). Every message is
// one line on err, in Russian; names in it are escaped so that one stays one line.
#include <ostream>
#include <string>
#include <vector>

namespace npt {

int runNpt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace npt
