#pragma once
// Writing a file so that the old content survives any failure: the bytes go to a temporary
// file beside the target, which replaces the target only once it is complete on disk.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace npt {

// Writes bytes to path atomically. On failure throws FileError (path, reason, message starting
// with messagePrefix) and leaves any existing file untouched.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         const std::string& messagePrefix);

// For writers that produce the file themselves: produce(tempPath) writes the complete file
// there (throwing FileError on failure); it then replaces path.
void replaceFileAtomically(const std::string& path, const std::string& messagePrefix,
                           const std::function<void(const std::string& tempPath)>& produce);

}  // namespace npt
