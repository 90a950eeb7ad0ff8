// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive_backends.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "archive/archive.h"
#ifdef NPT_WITH_POSTGRESQL
#include "archive/pg_connection.h"
#endif
#include "archive/sqlite_connection.h"
#ifdef NPT_WITH_POSTGRESQL
#include "pg_server.h"
#endif
#include "support/scratch.h"

namespace npt::test {

std::string freshArchiveLocation(const std::string& backend, std::string& whyNot) {
    if (backend == "postgresql") {
#ifdef NPT_WITH_POSTGRESQL
        testing::PgServer* server = testing::PgServer::shared(whyNot);
        return server == nullptr ? std::string() : server->freshDatabase();
#else
        whyNot = "эта сборка без PostgreSQL (libpq не найдена)";
        return {};
#endif
    }
    static std::atomic<int> counter{0};
    const auto dir = scratchDir("archive") / ("a" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return (dir / "archive.sqlite").string();
}

std::unique_ptr<archive::SqlConnection> rawConnection(const std::string& location) {
#ifdef NPT_WITH_POSTGRESQL
    if (archive::Archive::isServerLocation(location)) {
        return archive::openPostgresql(location);
    }
#endif
    return archive::openSqlite(location, archive::SqliteOpen::Existing, std::chrono::seconds(5));
}

}  // namespace npt::test
