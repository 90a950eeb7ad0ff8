// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file "rdp.ini": a profile-style text file holding the doctor's name (section
// "tools", key "edit1") and the four parameters of the night's analysis (section "analysis",
// keys named as the parameters: threshold_mm, min_duration_s, merge_gap_s, full_threshold_mm)
// and the folder the file dialogs used last (section "files", key "folder"); the patient
// archive's location (section "archive", key "location": an SQLite file or a postgresql://
// URI; none: the user's own file) and whether recordings opened from files are filed in it
// (key "file_loads": "yes" or "no"; none: not asked yet).
// Other sections and keys are kept as they are when a value is written back.
//
// A file larger than any settings file (kSettingsMaxBytes) is not read, and neither it nor a
// file that cannot be read is ever replaced: what it holds is not the program's to drop.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/parameters.h"
#include "os/file_system.h"  // executableDirectory, for the callers
#include "os/ini_text.h"

namespace npt {

inline constexpr const char* kSettingsFileName = "rdp.ini";
inline constexpr const char* kDefaultDoctorName = "введите ФИО врача";
inline constexpr std::size_t kSettingsMaxBytes = 64 * 1024;

// What reading the settings file could not give, for one message when the window opens.
struct SettingsProblems {
    std::string file;                       // the file read
    std::optional<std::string> unreadable;  // why it could not be read at all (Russian)
    // Each analysis value that cannot be used, and the value used instead (Russian).
    std::vector<std::string> unusableValues;
    bool empty() const { return !unreadable && unusableValues.empty(); }
};

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored doctor's name, or nothing when the file or the key is missing.
    virtual std::optional<std::string> doctorName() const = 0;
    // Throws FileError when the file cannot be written.
    virtual void saveDoctorName(const std::string& name) = 0;
    // The stored analysis parameters; nothing when none are stored. A value that cannot be used
    // (a file edited by hand) gives way to its default, and a full-tumescence threshold below
    // the episode threshold is raised to it; readingProblems says which.
    virtual std::optional<AnalysisParameters> analysisParameters() const = 0;
    // What could not be read or used; empty when everything was.
    virtual SettingsProblems readingProblems() const { return {}; }
    // Throws FileError when the file cannot be written.
    virtual void saveAnalysisParameters(const AnalysisParameters& parameters) = 0;
    // The folder the file dialogs used last, or nothing; a store that keeps none forgets it.
    virtual std::optional<std::string> lastFolder() const { return std::nullopt; }
    // Throws FileError when the file cannot be written.
    virtual void saveLastFolder(const std::string& folder) { (void)folder; }
    // The archive's location as stored, or nothing (the user's own file).
    virtual std::optional<std::string> archiveLocation() const { return std::nullopt; }
    // Whether recordings opened from files go into the archive; nothing until the doctor said.
    virtual std::optional<bool> fileLoadedNights() const { return std::nullopt; }
    // Throws FileError when the file cannot be written.
    virtual void saveFileLoadedNights(bool file) { (void)file; }
};

// Where the settings file lives: beside the executable when that directory is writable (as the
// application always kept it), otherwise in the user's configuration directory. A program run
// from installedDir, the system directory the package installs it into, never writes there,
// even as root: the installed files stay as the package left them, and every user keeps their
// own settings.
struct SettingsLocation {
    std::string path;        // read and written
    std::string legacyPath;  // read when path does not exist yet; empty if none
};
SettingsLocation chooseSettingsLocation(const std::string& executableDir,
                                        const std::string& userConfigDir,
                                        const std::string& installedDir = "");
// $XDG_CONFIG_HOME/npt-desk, or ~/.config/npt-desk; on Windows %APPDATA%\npt-desk.
std::string userConfigDirectory();

class IniSettingsFile final : public SettingsStore {
  public:
    explicit IniSettingsFile(SettingsLocation location) : location_(std::move(location)) {}
    std::optional<std::string> doctorName() const override;
    void saveDoctorName(const std::string& name) override;
    std::optional<AnalysisParameters> analysisParameters() const override;
    void saveAnalysisParameters(const AnalysisParameters& parameters) override;
    SettingsProblems readingProblems() const override;
    std::optional<std::string> lastFolder() const override;
    void saveLastFolder(const std::string& folder) override;
    std::optional<std::string> archiveLocation() const override;
    std::optional<bool> fileLoadedNights() const override;
    void saveFileLoadedNights(bool file) override;
    const std::string& path() const { return location_.path; }

  private:
    // The file as it stands (or the older file, before the first save here).
    struct Content {
        std::string file;                    // the file read
        std::optional<std::string> text;     // nothing when it is missing or cannot be read
        std::optional<std::string> problem;  // why it cannot be read, when it cannot
    };
    Content current() const;
    // Sets the keys of one section and writes the file.
    void saveValues(std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values);

    SettingsLocation location_;
};

}  // namespace npt
