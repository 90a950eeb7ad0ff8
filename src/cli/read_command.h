// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `npt read`: the recorder's memory read through the radio adapter exactly as "Чтение" reads it
// (the window's own read session, with the tool's view and real timers on a poll loop), and
// saved as a data file.
#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "hid/hid_platform.h"

namespace npt {

struct ReadOptions {
    std::string file;                     // the data file to save (.txt)
    std::optional<std::string> password;  // typed when the recording asks; none: not given
    // Each of three waits apart: for the adapter to appear, for the recorder to answer the read
    // command, and for the transfer to end (at least 10 s: its check alone takes a second).
    std::chrono::seconds timeout{30};
    // The patient archive the whole read is filed in, as the window files it; none: not filed.
    std::optional<std::string> archive;
};

// Waits for the adapter, reads, checks and saves. The session's messages go to err, one line
// each, those of a check that a later one superseded left out; the result line to out. 0 when
// the whole memory was read and saved; 1 when no adapter appeared, it could not be used (no
// access, a refused command, reports of other lengths), the recorder did not answer or did not
// acknowledge, the read was incomplete or out of order (the markers not in the first and the
// 140th block) or the file could not be saved (the reason on err).
int readRecorder(const ReadOptions& options, hid::HidPlatform& platform, std::ostream& out,
                 std::ostream& err);

}  // namespace npt
