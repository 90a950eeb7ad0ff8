#pragma once
// `npt read`: the recorder's memory read through the radio adapter exactly as "Чтение" reads it
// (the window's own read session, with the tool's view and real timers on a poll loop), and
// saved as a data file.
#include <chrono>
#include <ostream>
#include <string>

#include "hid/hid_platform.h"

namespace npt {

struct ReadOptions {
    std::string file;                  // the data file to save (.txt)
    std::string password;              // typed when the recording asks for one; empty: none
    std::chrono::seconds timeout{30};  // for the adapter to appear, and for the recorder to answer
};

// Waits for the adapter, reads, checks and saves. The session's messages go to err, one line
// each; the result line to out. 0 when the whole memory was read and saved; 1 when no adapter
// appeared, it could not be used (no access, a refused command), the recorder did not answer,
// the read was incomplete or the file could not be saved (the reason on err).
int readRecorder(const ReadOptions& options, hid::HidPlatform& platform, std::ostream& out,
                 std::ostream& err);

}  // namespace npt
