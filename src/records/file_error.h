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

// The reason for an errno value, in Russian where the cause is a common one.
std::string reasonForErrno(int error);

}  // namespace npt
