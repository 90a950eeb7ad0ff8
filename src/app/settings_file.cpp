#include "app/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "recorder/cp1251.h"
#include "recorder/utf8.h"
#include "records/atomic_file.h"
#include "records/file_error.h"
#include "records/regular_file.h"

namespace npt {

namespace {
const std::string kSavePrefix = "Не удалось сохранить настройки в";
constexpr const char* kAnalysisSection = "analysis";

// A number as the file holds it: a decimal point (a comma, as a Russian hand may type it, is
// read too); nothing when the text is not a finite number.
std::optional<double> parseDecimal(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The shortest text with a decimal point that reads back as the same number.
std::string decimalPointText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

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
                                        const std::string& userConfigDir,
                                        const std::string& installedDir) {
    const std::string beside = executableDir + "/" + kSettingsFileName;
    if (executableDir != installedDir && directoryWritable(executableDir)) {
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

std::optional<std::string> IniSettingsFile::currentText() const {
    auto raw = readFile(location_.path);
    if (!raw && !location_.legacyPath.empty() && !fileExists(location_.path)) {
        // Until the first save in the new place, the old file speaks for it.
        raw = readFile(location_.legacyPath);
    }
    if (!raw) {
        return std::nullopt;
    }
    return ini::decodeText(*raw);
}

std::optional<std::string> IniSettingsFile::doctorName() const {
    const auto text = currentText();
    if (!text) {
        return std::nullopt;
    }
    return ini::value(*text, "tools", "edit1");
}

void IniSettingsFile::saveDoctorName(const std::string& name) {
    saveValues("tools", {{"edit1", name}});
}

std::optional<AnalysisParameters> IniSettingsFile::analysisParameters() const {
    const auto text = currentText();
    if (!text) {
        return std::nullopt;
    }
    AnalysisParameters p;
    bool any = false;
    const auto read = [&](const char* key, auto& member) {
        const auto value = ini::value(*text, kAnalysisSection, key);
        const auto number = value ? parseDecimal(*value) : std::nullopt;
        if (!number) {
            return;
        }
        any = true;
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(member)>, int>) {
            member = static_cast<int>(std::clamp(std::nearbyint(*number), -1e9, 1e9));
        } else {
            member = *number;
        }
    };
    read("threshold_mm", p.threshold_mm);
    read("min_duration_s", p.min_duration_s);
    read("merge_gap_s", p.merge_gap_s);
    read("full_threshold_mm", p.full_threshold_mm);
    if (!any || parametersError(p)) {
        return std::nullopt;
    }
    return p;
}

void IniSettingsFile::saveAnalysisParameters(const AnalysisParameters& p) {
    saveValues(kAnalysisSection, {{"threshold_mm", decimalPointText(p.threshold_mm)},
                                  {"min_duration_s", std::to_string(p.min_duration_s)},
                                  {"merge_gap_s", std::to_string(p.merge_gap_s)},
                                  {"full_threshold_mm", decimalPointText(p.full_threshold_mm)}});
}

std::optional<std::string> IniSettingsFile::lastFolder() const {
    const auto text = currentText();
    const auto folder = text ? ini::value(*text, "files", "folder") : std::nullopt;
    return folder && !folder->empty() ? folder : std::nullopt;
}

void IniSettingsFile::saveLastFolder(const std::string& folder) {
    saveValues("files", {{"folder", folder}});
}

void IniSettingsFile::saveValues(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    // The first save in the new place keeps what the old file held besides these values.
    std::string text = currentText().value_or("");
    const auto slash = location_.path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        // Create the configuration directory on first use (one level below an existing one),
        // with the permissions the user's umask allows.
        const std::string dir = location_.path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            throwErrnoError(location_.path, kSavePrefix, errno);
        }
    }
    for (const auto& [key, value] : values) {
        text = ini::withValue(text, section, key, value);
    }
    writeFileAtomically(location_.path,
                        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        kSavePrefix);
}

}  // namespace npt
