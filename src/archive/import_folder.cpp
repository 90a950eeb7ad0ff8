// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/import_folder.h"

#include <algorithm>
#include <filesystem>

#include "archive/night_entry.h"
#include "os/file_error.h"
#include "os/file_name.h"
#include "os/file_system.h"
#include "os/regular_file.h"
#include "os/utf8_path.h"
#include "records/data_file.h"

namespace npt::archive {

FiledRecording fileRecording(Archive& archive, const std::string& path,
                             const std::optional<std::string>& password) {
    FiledRecording filed;
    filed.path = path;
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readRegularFile(path, "Не удалось прочитать файл", kDataFileSize);
    } catch (const FileError& e) {
        filed.reason = e.reason();
        return filed;
    }
    if (const auto why = whyNotFileable(bytes)) {
        filed.reason = *why;
        return filed;
    }
    const std::string name = utf8FromPath(pathFromUtf8(path).filename());
    const auto added =
        archive.add(nightEntryOf(bytes, password), NightSource::File, name, AnalysisParameters{});
    filed.outcome =
        added.outcome == AddOutcome::Added ? FileOutcome::Added : FileOutcome::AlreadyThere;
    filed.night = added.nightId;
    filed.patient = added.patientId;
    if (added.outcome == AddOutcome::AlreadyThere && !added.patientId && password) {
        filed.patient = archive.identify(added.nightId, *password);
    }
    return filed;
}

std::optional<std::vector<std::string>> recordingsIn(const std::string& folder) {
    if (pathKind(folder) != PathKind::Directory) {
        return std::nullopt;
    }
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             pathFromUtf8(folder), std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && fileKindOf(utf8FromPath(it->path())) == FileKind::DataFile) {
            files.push_back(utf8FromPath(it->path()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

ImportSummary importRecordings(Archive& archive, const std::vector<std::string>& files,
                               const std::optional<std::string>& password,
                               const FiledHandler& onFiled) {
    ImportSummary summary;
    for (std::size_t i = 0; i < files.size(); ++i) {
        FiledRecording filed;
        try {
            filed = fileRecording(archive, files[i], password);
        } catch (const ArchiveError& e) {
            summary.failure = e.what();
            summary.stopped = true;
            return summary;
        }
        switch (filed.outcome) {
            case FileOutcome::Added:
                ++summary.added;
                break;
            case FileOutcome::AlreadyThere:
                ++summary.alreadyThere;
                break;
            case FileOutcome::Refused:
                summary.refused.push_back(filed);
                break;
        }
        if (onFiled && !onFiled(filed, summary.done()) && i + 1 < files.size()) {
            summary.stopped = true;
            return summary;
        }
    }
    return summary;
}

}  // namespace npt::archive
