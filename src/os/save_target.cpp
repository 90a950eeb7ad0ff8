// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/save_target.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <vector>

#include "os/file_error.h"

namespace npt {

namespace {
#ifndef _WIN32
// As many links as the kernel itself follows in one name before giving up with ELOOP.
constexpr int kMaxLinks = 40;

std::string linkContent(const std::string& link, const std::string& chosen,
                        const std::string& prefix) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            throwErrnoError(chosen, prefix, errno);
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}
#endif

// The length of the longest prefix of text within limit bytes that ends between characters.
std::size_t cutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;  // never split a UTF-8 sequence
    }
    return cut;
}
}  // namespace

#ifdef _WIN32
// Windows takes both separators; a folder in the root of a drive ("C:\\") keeps its separator.
std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0 || (slash == 2 && path[1] == ':')) {
        return path.substr(0, slash + 1);
    }
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
#else
std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
#endif

#ifndef _WIN32
SaveTarget findSaveTarget(const std::string& chosen, const std::string& messagePrefix) {
    SaveTarget target;
    target.path = chosen;
    for (int links = 0;; ++links) {
        if (::lstat(target.path.c_str(), &target.existing) != 0) {
            if (errno != ENOENT) {
                throwErrnoError(chosen, messagePrefix, errno);
            }
            break;  // a new file, or the file a dangling link names
        }
        if (!S_ISLNK(target.existing.st_mode)) {
            target.exists = true;
            break;
        }
        if (links == kMaxLinks) {
            throwErrnoError(chosen, messagePrefix, ELOOP);
        }
        const std::string next = linkContent(target.path, chosen, messagePrefix);
        target.path = next.starts_with('/') ? next : directoryOf(target.path) + "/" + next;
    }
    target.directory = directoryOf(target.path);
    if (!target.exists) {
        target.existing = {};
        return target;
    }
    const std::string typeReason = reasonForFileType(target.existing.st_mode);
    if (!typeReason.empty()) {
        throwFileError(chosen, messagePrefix, typeReason);
    }
    // Replacing needs only a writable folder, but a file the user may not write is not theirs
    // to replace.
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
        if (errno == EACCES || errno == EPERM) {
            throwFileError(chosen, messagePrefix, kReadOnlyFileReason);
        }
        throwErrnoError(chosen, messagePrefix, errno);
    }
    return target;
}
#endif

std::string temporaryPath(const SaveTarget& target, std::size_t nameMax, std::string_view suffix) {
    const std::string name = baseNameOf(target.path);
    const std::size_t fixed = 2 + suffix.size();  // the two points
    const std::size_t room = nameMax > fixed ? nameMax - fixed : 0;
    std::string temp = target.directory;
    if (!temp.ends_with('/') && !temp.ends_with('\\')) {
        temp += '/';
    }
    temp += '.';
    temp.append(name, 0, cutAtCharacter(name, room));
    temp += '.';
    temp += suffix;
    return temp;
}

}  // namespace npt
