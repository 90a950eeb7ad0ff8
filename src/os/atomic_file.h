// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a file so that the old content survives any failure: the bytes go to a temporary
// file beside the target, which is synced to disk and only then replaces the target; the
// folder is synced after the replacement.
//
// What the replacement keeps and how names are treated:
// - a replaced file keeps its permissions and, where the process may, its owner and group; a
//   new file gets the permissions the user's umask allows (0666 & ~umask);
// - a symbolic link is followed: the file it points to is replaced, the link stays;
// - a folder, a FIFO, a device, a socket or a file the user may not write is refused;
// - any name the file system accepts can be saved: the temporary name is shortened to fit.
//
// A write beyond the user's file-size limit would otherwise kill the process with SIGXFSZ and
// leave the temporary file behind: every write here first sets that signal to be ignored (if
// nobody handles it), so the write fails with EFBIG and is cleaned up.
//
// Nothing of the new file stays beside the target when the program ends halfway: where the
// file system allows, the temporary file has no name until it is complete and synced, and
// SIGINT, SIGTERM and SIGHUP (if nobody handles them) wait while a file is replaced, ending the
// program once the temporary file is gone (the target as it was) or has become the target; a
// second one ends it at once. Files are replaced from one thread at a time.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace npt {

// Writes bytes to path atomically. On failure throws FileError (path, reason, message starting
// with messagePrefix) and leaves any existing file untouched.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         const std::string& messagePrefix);

// The temporary file as a writer that produces the file itself sees it.
struct TemporaryFile {
    std::string path;       // write the complete file here (it may be /proc/self/fd/N), or
                            // through fd
    int fd;                 // open for reading and writing; closed by replaceFileAtomically
    std::string directory;  // the folder of the file being replaced
};

// For writers that produce the file themselves: produce(temp) writes the complete file and
// throws FileError (naming path) when it cannot; the file is then synced and replaces path.
void replaceFileAtomically(const std::string& path, const std::string& messagePrefix,
                           const std::function<void(const TemporaryFile& temp)>& produce);

// Everything fd holds, read from its start without moving its offset: a file a writer has just
// produced, to be checked before it replaces anything. Empty when it cannot be read.
std::vector<std::uint8_t> fileContent(int fd);

// Writes all of bytes to fd. False, with errno set, when the file system refuses.
bool writeFully(int fd, std::span<const std::uint8_t> bytes);

// Why a file that a library wrote into fd came out incomplete, when the library does not say
// which write failed (nor always that one did): writes as much as such a file may need, with
// room to spare, at the end of fd (a temporary file about to be removed), so that a full disk or
// a file-size limit answers with its own reason (Russian). Nothing when that write succeeds.
std::optional<std::string> reasonForFailedWrite(int fd);

}  // namespace npt
