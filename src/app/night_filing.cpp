// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/night_filing.h"

#include "archive/night_entry.h"

namespace npt {

archive::Archive* NightFiling::archive() {
    if (!archive_) {
        try {
            archive_.emplace(archive::Archive::open(location_, archive::Archive::Open::Create));
            lastFailure_.reset();
        } catch (const archive::ArchiveError& e) {
            lastFailure_ = e.what();
            return nullptr;
        }
    }
    return &*archive_;
}

FilingResult NightFiling::file(std::span<const std::uint8_t> fileBytes,
                               const std::optional<std::string>& password,
                               archive::NightSource source, const std::string& sourceName,
                               const AnalysisParameters& parameters) {
    FilingResult result;
    if (archive::whyNotFileable(fileBytes)) {
        return result;
    }
    archive::Archive* a = archive();
    if (a == nullptr) {
        result.failure = lastFailure_;
        return result;
    }
    try {
        const auto added =
            a->add(archive::nightEntryOf(fileBytes, password), source, sourceName, parameters);
        result.night = added.nightId;
        result.patient = added.patientId;
        result.alreadyThere = added.outcome == archive::AddOutcome::AlreadyThere;
        if (result.alreadyThere && !result.patient && password) {
            result.patient = a->identify(added.nightId, *password);
        }
    } catch (const archive::ArchiveError& e) {
        result.failure = e.what();
        archive_.reset();  // the next night opens the archive afresh
    }
    return result;
}

void NightFiling::identify(archive::Id night, const std::string& password) {
    archive::Archive* a = archive();
    if (a == nullptr) {
        return;
    }
    try {
        a->identify(night, password);
    } catch (const archive::ArchiveError& e) {
        lastFailure_ = e.what();
        archive_.reset();
    }
}

}  // namespace npt
