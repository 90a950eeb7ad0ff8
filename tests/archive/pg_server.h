// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A PostgreSQL server of the tests' own: initdb and postgres from Debian's postgresql package, a
// cluster in a scratch folder /tmp/npt-pg-XXXXXX, listening only on a Unix socket there, its
// superuser "npt" let in without a password. Each test process starts its own on first use (ctest
// runs every case in a process of its own, several at once), stops it and removes the folder at
// exit. The server is the test process's child and dies with it even when the test crashes; the
// folder a crashed process left is removed by the next one.
#include <sys/types.h>

#include <string>

namespace npt::testing {

class PgServer {
  public:
    // The test program's one server, started on first use; null when it cannot be, with the
    // reason in whyNot (the programs are missing, initdb or the server failed: the last lines of
    // what they wrote).
    static PgServer* shared(std::string& whyNot);

    // A new empty database on it, as a postgresql:// URI that libpq accepts.
    std::string freshDatabase();
    // A URI of the database on this server, as the user (who must exist for the login to pass;
    // "user:password" gives a password too, which the server's trust authentication ignores).
    std::string uri(const std::string& database, const std::string& user = "npt") const;

    // Stops the server at once, as a crash would (immediate shutdown: no checkpoint, every
    // connection cut), and starts it again on the same cluster, for tests of a server that goes
    // away. The server dies with the thread that started it: call these from the test's own.
    //
    // It runs without syncing to the disk (fsync off) unless started again with syncToDisk.
    // What a commit wrote is in the system's cache before the commit returns, so it outlives
    // stop(), which ends only processes; syncing matters only when the machine itself fails,
    // and it makes the start after stop() sync the whole cluster first: 0.3 s becomes 1-2 s a
    // database (18 s for ten), and each commit takes 4 ms instead of 0.7.
    void stop();
    void start(bool syncToDisk = false);

    // A URI that names a server that is not running.
    static std::string unreachableUri();

    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;
    ~PgServer();

  private:
    PgServer() = default;
    // Empty on success, else why the server did not start.
    std::string create();
    std::string launch(bool syncToDisk);

    std::string programs_;  // the folder of initdb and postgres
    std::string folder_;    // the scratch folder: the socket, the logs, the cluster in data/
    pid_t owner_ = -1;      // the process that started the server (not a forked copy of it)
    pid_t postmaster_ = -1;
    int databases_ = 0;
};

}  // namespace npt::testing
