// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recordings from disk into the archive: one file as a night the doctor loaded, and a folder of
// them (every file ending .txt in it and in the folders under it). Each file is its own
// transaction, so an import stopped half way keeps every night it reported filed.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace npt::archive {

enum class FileOutcome { Added, AlreadyThere, Refused };

struct FiledRecording {
    std::string path;
    FileOutcome outcome = FileOutcome::Refused;
    Id night = 0;               // when filed, or there already
    std::optional<Id> patient;  // none: not identified
    std::string reason;         // why refused, in Russian
};

// Files the recording at path with the default analysis parameters; password unlocks protected
// names, also that of a night already filed without its patient. A file that cannot be read, or
// holds no recording with a passport, is refused with its reason; a failure of the archive
// itself throws ArchiveError.
FiledRecording fileRecording(Archive& archive, const std::string& path,
                             const std::optional<std::string>& password);

// The recordings in folder and in every folder under it that may be read, in the order of
// their names; nothing when folder is no folder.
std::optional<std::vector<std::string>> recordingsIn(const std::string& folder);

struct ImportSummary {
    std::size_t added = 0;
    std::size_t alreadyThere = 0;
    std::vector<FiledRecording> refused;
    bool stopped = false;                // stopped before the last file
    std::optional<std::string> failure;  // the archive failed: the import ended there
    std::size_t done() const { return added + alreadyThere + refused.size(); }
};

// Called after each file with what came of it and how many are done; false stops the import
// there.
using FiledHandler = std::function<bool(const FiledRecording& filed, std::size_t done)>;

// Files the recordings one after another.
ImportSummary importRecordings(Archive& archive, const std::vector<std::string>& files,
                               const std::optional<std::string>& password,
                               const FiledHandler& onFiled);

}  // namespace npt::archive
