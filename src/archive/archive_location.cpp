// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"
#include "archive/schema.h"
#include "archive/sqlite_connection.h"
#ifdef NPT_WITH_POSTGRESQL
#include "archive/pg_connection.h"
#endif
#include "os/file_system.h"

namespace npt::archive {

std::string Archive::defaultLocation() {
    return userDataBase() + "/npt-desk/archive.sqlite";
}

bool Archive::isServerLocation(const std::string& location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

Archive Archive::open(const std::string& location, Open mode,
                      std::chrono::milliseconds busyTimeout) {
    const bool mayWrite = mode == Open::Create;
    if (isServerLocation(location)) {
#ifdef NPT_WITH_POSTGRESQL
        Archive archive(openPostgresql(location), uriForMessages(location));
        prepareSchema(*archive.db_, archive.name_, true);
        return archive;
#else
        throw ArchiveError(ArchiveError::Kind::Unreachable,
                           "Эта сборка npt-desk не работает с архивами на сервере PostgreSQL.");
#endif
    }
    auto connection = openSqlite(
        location, mode == Open::Create ? SqliteOpen::Create : SqliteOpen::Existing, busyTimeout);
    Archive archive(std::move(connection), location);
    prepareSchema(*archive.db_, location, mayWrite);
    return archive;
}

}  // namespace npt::archive
