// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The patient archive as the window files nights into it: opened on first use at its location
// (the user's own SQLite file unless the settings name another), kept open, and opened afresh
// after a failure, so that a server back up or a disk with room again serves the next night.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "analysis/parameters.h"
#include "archive/archive.h"

namespace npt {

struct FilingResult {
    std::optional<archive::Id> night;    // none: not filed (failure says why)
    std::optional<archive::Id> patient;  // none: not identified
    bool alreadyThere = false;
    std::optional<std::string> failure;  // Russian, for the doctor
};

class NightFiling {
  public:
    explicit NightFiling(std::string location) : location_(std::move(location)) {}
    virtual ~NightFiling() = default;

    const std::string& location() const { return location_; }

    // Files the data file's bytes; password: the text that unlocked the name, if one did.
    // Bytes that are no recording with a passport (an empty recorder) are not filed, and that
    // is no failure: there is no night to lose.
    virtual FilingResult file(std::span<const std::uint8_t> fileBytes,
                              const std::optional<std::string>& password,
                              archive::NightSource source, const std::string& sourceName,
                              const AnalysisParameters& parameters);
    // Identifies a filed night once its password is known; failures are kept for the next
    // filing to report, the night stays filed as it was.
    virtual void identify(archive::Id night, const std::string& password);

    // The archive, opened if need be; nothing when it cannot be (lastFailure says why).
    archive::Archive* archive();
    // Closes the archive, to be opened afresh at the next use: a server that went away and
    // came back, or a window's "Обновить".
    void reconnect() { archive_.reset(); }
    const std::optional<std::string>& lastFailure() const { return lastFailure_; }

  private:
    std::string location_;
    std::optional<archive::Archive> archive_;
    std::optional<std::string> lastFailure_;
};

}  // namespace npt
