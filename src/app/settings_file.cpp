#include "app/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "recorder/cp1251.h"
#include "recorder/utf8.h"
#include "records/atomic_file.h"
#include "records/file_error.h"
#include "records/regular_file.h"

namespace npt {

namespace {
const std::string kSavePrefix = "Не удалось сохранить настройки в";

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        lines.push_back(text.substr(0, nl));
        if (nl == std::string_view::npos) {
            break;
        }
        text.remove_prefix(nl + 1);
    }
    return lines;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trimmed(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return trimmed(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

// The key of a "key=value" line and its value.
std::optional<std::pair<std::string_view, std::string_view>> entryOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || sectionOf(line)) {
        return std::nullopt;
    }
    return std::make_pair(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
}

// The file's bytes, or nothing when it is missing or cannot be read (a FIFO or a device
// left under the settings file's name is not read from).
std::optional<std::string> readFile(const std::string& path) {
    try {
        const auto bytes = readRegularFile(path, "");
        return std::string(bytes.begin(), bytes.end());
    } catch (const FileError&) {
        return std::nullopt;
    }
}

bool directoryWritable(const std::string& dir) {
    return ::access(dir.c_str(), W_OK) == 0;
}
}  // namespace

namespace ini {

std::string decodeText(std::string_view raw) {
    if (raw.substr(0, 3) == "\xEF\xBB\xBF") {
        raw.remove_prefix(3);
    }
    if (utf8::isValid(raw)) {
        return std::string(raw);
    }
    return cp1251::decode(std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
}

std::optional<std::string> value(std::string_view text, std::string_view section,
                                 std::string_view key) {
    bool inSection = false;
    for (std::string_view line : linesOf(text)) {
        if (const auto name = sectionOf(line)) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            if (const auto entry = entryOf(line); entry && sameName(entry->first, key)) {
                return std::string(entry->second);
            }
        }
    }
    return std::nullopt;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view newValue) {
    std::string value(newValue);
    for (char& c : value) {
        if (c == '\n' || c == '\r') {
            c = ' ';  // one line per entry
        }
    }
    const std::string entry = std::string(key) + "=" + value;
    std::string out;
    bool inSection = false;
    bool sectionSeen = false;
    bool written = false;
    for (std::string_view line : linesOf(text)) {
        if (const auto name = sectionOf(line)) {
            if (inSection && !written) {
                out += entry + "\n";
                written = true;
            }
            inSection = sameName(*name, section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection) {
            if (const auto e = entryOf(line); e && sameName(e->first, key)) {
                if (!written) {
                    out += entry + "\n";
                    written = true;
                }
                continue;
            }
        }
        out += std::string(trimmed(line)) + "\n";
    }
    if (!written) {
        if (!sectionSeen) {
            out += "[" + std::string(section) + "]\n";
        }
        out += entry + "\n";
    }
    return out;
}

}  // namespace ini

SettingsLocation chooseSettingsLocation(const std::string& executableDir,
                                        const std::string& userConfigDir) {
    const std::string beside = executableDir + "/" + kSettingsFileName;
    if (directoryWritable(executableDir)) {
        return {beside, ""};
    }
    return {userConfigDir + "/" + kSettingsFileName, beside};
}

std::string userConfigDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return std::string(xdg) + "/npt-desk";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.config/npt-desk";
}

std::string executableDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return ".";
    }
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::optional<std::string> IniSettingsFile::doctorName() const {
    auto raw = readFile(location_.path);
    if (!raw && !location_.legacyPath.empty() && !fileExists(location_.path)) {
        raw = readFile(location_.legacyPath);
    }
    if (!raw) {
        return std::nullopt;
    }
    return ini::value(ini::decodeText(*raw), "tools", "edit1");
}

void IniSettingsFile::saveDoctorName(const std::string& name) {
    std::string current;
    auto raw = readFile(location_.path);
    if (!raw && !location_.legacyPath.empty() && !fileExists(location_.path)) {
        // The first save in the new place keeps what the old file held besides the name.
        raw = readFile(location_.legacyPath);
    }
    if (raw) {
        current = ini::decodeText(*raw);
    }
    const auto slash = location_.path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        // Create the configuration directory on first use (one level below an existing one),
        // with the permissions the user's umask allows.
        const std::string dir = location_.path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            throwErrnoError(location_.path, kSavePrefix, errno);
        }
    }
    const std::string text = ini::withValue(current, "tools", "edit1", name);
    writeFileAtomically(location_.path,
                        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        kSavePrefix);
}

}  // namespace npt
