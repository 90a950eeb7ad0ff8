// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive in an SQLite file on this computer: created 0600 in a folder made 0700 (the
// patients' names are inside), written ahead (WAL) and synced fully at every commit, waiting
// for another program's write lock up to a timeout.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "archive/sql_connection.h"

namespace npt::archive {

enum class SqliteOpen {
    Create,    // a missing file is made (with its missing folders)
    Existing,  // a missing file is an error
};

class SqliteConnection : public SqlConnection {
  public:
    virtual ~SqliteConnection() override = default;
    // A consistent copy of the whole database while others may be writing it (SQLite's backup
    // API into memory), as the bytes of a database file.
    virtual std::vector<std::uint8_t> snapshot() = 0;
    // What SQLite's own checks find wrong (the pages, the indexes, the foreign keys); empty
    // when nothing.
    virtual std::vector<std::string> integrityProblems() = 0;
};

// Throws ArchiveError: Unreachable (missing, or cannot be opened), NotAnArchive (not a
// database at all), ReadOnly, Busy.
std::unique_ptr<SqliteConnection> openSqlite(const std::string& path, SqliteOpen mode,
                                             std::chrono::milliseconds busyTimeout);

}  // namespace npt::archive
