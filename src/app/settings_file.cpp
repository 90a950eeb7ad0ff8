// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "analysis/analysis_text.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/file_system.h"
#include "os/regular_file.h"
#include "os/save_target.h"

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
    return pathKind(path) == PathKind::RegularFile;
}

bool isDirectory(const std::string& path) {
    return pathKind(path) == PathKind::Directory;
}

// Creates the folder dir, and every folder above it that is missing, each with the permissions
// the user's umask allows (a first start may find no ~/.config, or no %APPDATA%\\npt-desk).
void createFolder(const std::string& dir, const std::string& file) {
    if (dir.empty() || dir == "." || isDirectory(dir)) {
        return;
    }
    if (const std::string parent = directoryOf(dir); parent != dir) {
        createFolder(parent, file);
    }
    if (const int error = createDirectory(dir); error != 0 && error != EEXIST) {
        throwErrnoError(file, kSavePrefix, error);
    }
}

void createFoldersFor(const std::string& file) {
    createFolder(directoryOf(file), file);
}

// A value as the message shows it: on one line, and not the whole of a long one.
std::string shownValue(std::string_view value) {
    constexpr std::size_t kShown = 24;
    std::string shown;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if ((byte & 0xC0) != 0x80 && characters++ == kShown) {
            return shown + "…";
        }
        shown += byte < 0x20 ? ' ' : value[i];
    }
    return shown;
}

// The analysis section of text: each value that is a number in its range, to a tenth of a
// millimetre or a whole second, is used; any other gives way to its default, noted with the
// reason. A rise for counting time below the episode threshold is raised to it: the episode
// threshold decides what an episode is, the other only measures within one.
struct StoredAnalysis {
    AnalysisParameters values;
    bool stored = false;  // the section holds one of the keys
    std::vector<std::string> unusable;
};

// Beyond this a value is far outside every range, and the range check says so.
constexpr double kFarOutside = 1e6;

StoredAnalysis readAnalysis(std::string_view text) {
    using namespace AnalysisLimits;
    StoredAnalysis result;
    const AnalysisParameters defaults;
    const auto mmText = [](double value) { return decimalText(value, 1) + " мм"; };
    const auto sText = [](int seconds) { return std::to_string(seconds) + " с"; };
    // The value of key if it can be used; otherwise nothing, and why not is noted under the
    // parameter's name, with the key and the value as the file holds them.
    const auto take = [&](const char* name, const char* key, bool millimetres, double low,
                          double high, const std::string& range,
                          const std::string& fallback) -> std::optional<double> {
        const auto value = ini::value(text, kAnalysisSection, key);
        if (!value) {
            return std::nullopt;
        }
        result.stored = true;
        const auto number = parseDecimal(*value);
        std::string why;
        if (!number) {
            why = "не число";
        } else if (millimetres && std::abs(*number) < kFarOutside &&
                   std::nearbyint(*number * 10) / 10 != *number) {
            why = "точнее 0,1 мм";
        } else if (!millimetres && std::nearbyint(*number) != *number) {
            why = "не целое число секунд";
        } else if (*number < low || *number > high) {
            why = "вне пределов " + range;
        } else {
            return number;
        }
        result.unusable.push_back(std::string(name) + " (" + key + "=" + shownValue(*value) +
                                  ") — " + why + "; принято значение по умолчанию " + fallback);
        return std::nullopt;
    };
    AnalysisParameters& p = result.values;
    const auto threshold =
        take("порог эпизода", "threshold_mm", true, kThresholdMinMm, kThresholdMaxMm,
             "от " + decimalText(kThresholdMinMm, 1) + " до " + mmText(kThresholdMaxMm),
             mmText(defaults.threshold_mm));
    if (threshold) {
        p.threshold_mm = *threshold;
    }
    if (const auto v =
            take("минимальная длительность эпизода", "min_duration_s", false, kMinDurationMinS,
                 kMinDurationMaxS,
                 "от " + std::to_string(kMinDurationMinS) + " до " + sText(kMinDurationMaxS),
                 sText(defaults.min_duration_s))) {
        p.min_duration_s = static_cast<int>(*v);
    }
    if (const auto v = take("промежуток объединения эпизодов", "merge_gap_s", false, kMergeGapMinS,
                            kMergeGapMaxS,
                            "от " + std::to_string(kMergeGapMinS) + " до " + sText(kMergeGapMaxS),
                            sText(defaults.merge_gap_s))) {
        p.merge_gap_s = static_cast<int>(*v);
    }
    // Its lower limit is the episode threshold, settled below.
    const auto full = take(
        "прирост для учёта времени", "full_threshold_mm", true, -kFarOutside, kFullThresholdMaxMm,
        "от порога эпизода до " + mmText(kFullThresholdMaxMm), mmText(defaults.full_threshold_mm));
    if (full) {
        p.full_threshold_mm = *full;
    }
    if (p.full_threshold_mm < p.threshold_mm) {
        const auto stated = [&](const char* name, const char* key, bool taken, double used) {
            return taken ? std::string(name) + " (" + key + "=" +
                               shownValue(*ini::value(text, kAnalysisSection, key)) + ")"
                         : std::string(name) + " по умолчанию, " + mmText(used);
        };
        result.unusable.push_back(
            stated("прирост для учёта времени", "full_threshold_mm", full.has_value(),
                   p.full_threshold_mm) +
            (full ? "" : ",") + " ниже " +
            stated("порога эпизода", "threshold_mm", threshold.has_value(), p.threshold_mm) +
            "; принято значение, равное порогу эпизода: " + mmText(p.threshold_mm));
        p.full_threshold_mm = p.threshold_mm;
    }
    return result;
}
}  // namespace

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
    return userSettingsBase() + "/npt-desk";
}

IniSettingsFile::Content IniSettingsFile::current() const {
    std::string file = location_.path;
    if (pathKind(file) == PathKind::Missing) {
        if (location_.legacyPath.empty()) {
            return {file, std::nullopt, std::nullopt};
        }
        // Until the first save in the new place, the old file speaks for it.
        file = location_.legacyPath;
        if (pathKind(file) == PathKind::Missing) {
            return {location_.path, std::nullopt, std::nullopt};
        }
    }
    try {
        // A FIFO or a device left under the settings file's name is not read from, and a file
        // larger than any settings file is not read into memory.
        const auto bytes = readRegularFile(file, "", kSettingsMaxBytes + 1);
        if (bytes.size() > kSettingsMaxBytes) {
            return {file, std::nullopt,
                    "размер больше " + std::to_string(kSettingsMaxBytes / 1024) + " КБ"};
        }
        return {file,
                ini::decodeText(
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())),
                std::nullopt};
    } catch (const FileError& error) {
        return {file, std::nullopt, error.reason()};
    }
}

std::optional<std::string> IniSettingsFile::doctorName() const {
    const auto text = current().text;
    if (!text) {
        return std::nullopt;
    }
    return ini::value(*text, "tools", "edit1");
}

void IniSettingsFile::saveDoctorName(const std::string& name) {
    saveValues("tools", {{"edit1", name}});
}

std::optional<AnalysisParameters> IniSettingsFile::analysisParameters() const {
    const auto text = current().text;
    if (!text) {
        return std::nullopt;
    }
    const StoredAnalysis stored = readAnalysis(*text);
    if (!stored.stored) {
        return std::nullopt;
    }
    return stored.values;
}

SettingsProblems IniSettingsFile::readingProblems() const {
    const Content content = current();
    SettingsProblems problems;
    problems.file = content.file;
    problems.unreadable = content.problem;
    if (content.text) {
        problems.unusableValues = readAnalysis(*content.text).unusable;
    }
    return problems;
}

void IniSettingsFile::saveAnalysisParameters(const AnalysisParameters& p) {
    saveValues(kAnalysisSection, {{"threshold_mm", decimalPointText(p.threshold_mm)},
                                  {"min_duration_s", std::to_string(p.min_duration_s)},
                                  {"merge_gap_s", std::to_string(p.merge_gap_s)},
                                  {"full_threshold_mm", decimalPointText(p.full_threshold_mm)}});
}

std::optional<std::string> IniSettingsFile::lastFolder() const {
    const auto text = current().text;
    const auto folder = text ? ini::value(*text, "files", "folder") : std::nullopt;
    return folder && !folder->empty() ? folder : std::nullopt;
}

void IniSettingsFile::saveLastFolder(const std::string& folder) {
    saveValues("files", {{"folder", folder}});
}

std::optional<std::string> IniSettingsFile::archiveLocation() const {
    const auto text = current().text;
    const auto location = text ? ini::value(*text, "archive", "location") : std::nullopt;
    return location && !location->empty() ? location : std::nullopt;
}

std::optional<bool> IniSettingsFile::fileLoadedNights() const {
    const auto text = current().text;
    const auto value = text ? ini::value(*text, "archive", "file_loads") : std::nullopt;
    if (value == std::optional<std::string>("yes")) {
        return true;
    }
    if (value == std::optional<std::string>("no")) {
        return false;
    }
    return std::nullopt;
}

void IniSettingsFile::saveFileLoadedNights(bool file) {
    saveValues("archive", {{"file_loads", file ? "yes" : "no"}});
}

void IniSettingsFile::saveValues(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    // The first save in the new place keeps what the old file held besides these values.
    const Content content = current();
    if (content.problem && content.file == location_.path && fileExists(content.file)) {
        // Replacing a file that could not be read would lose all it holds beside these values.
        throwFileError(location_.path, kSavePrefix,
                       *content.problem + " — файл не прочитан и оставлен как есть");
    }
    std::string text = content.text.value_or("");
    createFoldersFor(location_.path);
    for (const auto& [key, value] : values) {
        text = ini::withValue(text, section, key, value);
    }
    writeFileAtomically(location_.path,
                        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        kSavePrefix);
}

}  // namespace npt
