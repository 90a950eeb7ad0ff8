// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file that could not be read or written, with a reason a doctor can act on.
#include <stdexcept>
#include <string>

namespace npt {

class FileError : public std::runtime_error {
  public:
    FileError(std::string path, std::string reason, const std::string& message)
        : std::runtime_error(message), path_(std::move(path)), reason_(std::move(reason)) {}

    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string path_;
    std::string reason_;
};

// The reason for an errno value, in Russian.
std::string reasonForErrno(int error);

// The reason for the system's own error code of a failed file operation (errno on Linux,
// GetLastError on Windows), as a library reports it, in Russian; and whether it means the disk
// (or the user's share of it, or the file's size limit) is full.
std::string reasonForSystemError(int error);
bool meansDiskFull(int error);

// Reasons that are not an errno value.
inline constexpr const char* kReadOnlyFileReason = "файл защищён от записи";
inline constexpr const char* kFifoReason = "это канал, а не файл";
inline constexpr const char* kDeviceReason = "это устройство, а не файл";
inline constexpr const char* kSocketReason = "это сокет, а не файл";

// Why a file of this st_mode cannot be read or replaced as a recording or a table, or an empty
// text for a regular file.
std::string reasonForFileType(unsigned mode);

// Throws FileError naming path: "<prefix> «<path>»: <reason>."
[[noreturn]] void throwFileError(const std::string& path, const std::string& prefix,
                                 const std::string& reason);
[[noreturn]] void throwErrnoError(const std::string& path, const std::string& prefix, int error);

}  // namespace npt
