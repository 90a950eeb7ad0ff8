// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A connection to the database that holds the archive, as the archive's own code sees it: one
// SQL text for both kinds of database, with "?" for each parameter, values of five kinds, and
// transactions. The two drivers (SQLite, PostgreSQL) differ only below this line; the schema's
// few words that differ (the key column, the bytes type) are asked of dialect().
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace npt::archive {

struct Blob {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Blob&) const = default;
};

// NULL, an integer, a real number, a UTF-8 text, bytes.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;
using SqlRow = std::vector<SqlValue>;

enum class Dialect { Sqlite, Postgresql };

class SqlConnection {
  public:
    virtual ~SqlConnection() = default;
    virtual Dialect dialect() const = 0;
    // Statements without parameters, separated by ";" (the schema).
    virtual void execute(std::string_view sql) = 0;
    // One statement; "?" stands for each parameter in order ("?" never appears in the
    // archive's SQL otherwise). Returns every row of the result (none for a statement without
    // one). An integer column comes back as std::int64_t, a real one as double, a text as
    // std::string, bytes as Blob, NULL as std::monostate.
    virtual std::vector<SqlRow> query(std::string_view sql, std::span<const SqlValue> params) = 0;
    // A transaction that writes takes the database's write lock at once (SQLite's BEGIN
    // IMMEDIATE), so two writers wait for each other instead of failing halfway.
    virtual void begin(bool writes) = 0;
    virtual void commit() = 0;
    // Never throws: called while an error is on its way out.
    virtual void rollback() noexcept = 0;
};

// Every failure of a driver: a Russian message the doctor can act on, and what kind of failure
// it was, for the callers that answer some of them differently.
class ArchiveError : public std::runtime_error {
  public:
    enum class Kind {
        Unreachable,   // the file cannot be opened, the server not reached or the login refused
        NotAnArchive,  // a file or database that is not an archive of this program
        Newer,         // an archive of a newer schema than this program knows
        ReadOnly,      // the archive may not be written
        Full,          // the disk is full
        Busy,          // another program holds the archive beyond the timeout
        Damaged,       // the database reports itself damaged
        Refused,       // what was asked of the archive cannot be done (no such night, ...)
        Other,
    };
    ArchiveError(Kind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

}  // namespace npt::archive
