// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/sqlite_connection.h"

#include <sqlite3.h>

#include <filesystem>

#include "os/file_error.h"
#include "os/file_system.h"
#include "os/utf8_path.h"

namespace npt::archive {

namespace {

using Kind = ArchiveError::Kind;

// The kind of failure and the doctor's words for an SQLite result code.
std::pair<Kind, std::string> describe(int code, std::chrono::milliseconds busyTimeout) {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return {Kind::Busy, "архив занят другой программой дольше " +
                                    std::to_string(busyTimeout.count() / 1000) +
                                    " с; попробуйте ещё раз"};
        case SQLITE_READONLY:
            return {Kind::ReadOnly, "архив защищён от записи"};
        case SQLITE_FULL:
            return {Kind::Full, "на диске кончилось место"};
        case SQLITE_NOTADB:
            return {Kind::NotAnArchive, "это не файл архива (не база данных SQLite)"};
        case SQLITE_CORRUPT:
            return {Kind::Damaged, "файл архива повреждён"};
        case SQLITE_CANTOPEN:
            return {Kind::Unreachable, "файл архива не открывается"};
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return {Kind::ReadOnly, "нет доступа к файлу архива"};
        case SQLITE_CONSTRAINT:
            return {Kind::Refused, "нарушено правило архива"};
        case SQLITE_IOERR:
            if (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC ||
                code == SQLITE_IOERR_TRUNCATE) {
                return {Kind::Other,
                        "запись на диск не удалась: кончилось место, превышен допустимый размер "
                        "файла или диск неисправен; архив остался как был"};
            }
            return {Kind::Other, "ошибка чтения или записи диска"};
        default:
            return {Kind::Other, sqlite3_errstr(code)};
    }
}

class Statement {
  public:
    explicit Statement(sqlite3_stmt* s) : s_(s) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(s_); }
    sqlite3_stmt* get() const { return s_; }

  private:
    sqlite3_stmt* s_;
};

class Sqlite final : public SqliteConnection {
  public:
    Sqlite(sqlite3* db, std::string path, std::chrono::milliseconds busyTimeout)
        : db_(db), path_(std::move(path)), busyTimeout_(busyTimeout) {}
    Sqlite(const Sqlite&) = delete;
    Sqlite& operator=(const Sqlite&) = delete;
    ~Sqlite() override { sqlite3_close_v2(db_); }

    Dialect dialect() const override { return Dialect::Sqlite; }

    void execute(std::string_view sql) override {
        const std::string text(sql);
        check(sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr));
    }

    std::vector<SqlRow> query(std::string_view sql, std::span<const SqlValue> params) override {
        sqlite3_stmt* raw = nullptr;
        check(sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr));
        const Statement statement(raw);
        for (std::size_t i = 0; i < params.size(); ++i) {
            check(bind(raw, static_cast<int>(i + 1), params[i]));
        }
        std::vector<SqlRow> rows;
        for (;;) {
            const int step = sqlite3_step(raw);
            if (step == SQLITE_DONE) {
                return rows;
            }
            if (step != SQLITE_ROW) {
                check(step);
            }
            SqlRow row;
            const int columns = sqlite3_column_count(raw);
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                row.push_back(column(raw, c));
            }
            rows.push_back(std::move(row));
        }
    }

    void begin(bool writes) override { execute(writes ? "BEGIN IMMEDIATE" : "BEGIN"); }
    void commit() override { execute("COMMIT"); }
    void rollback() noexcept override {
        if (sqlite3_get_autocommit(db_) == 0) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }

    std::vector<std::uint8_t> snapshot() override {
        sqlite3* memory = nullptr;
        if (sqlite3_open(":memory:", &memory) != SQLITE_OK) {
            sqlite3_close(memory);
            throw ArchiveError(Kind::Other, "Не хватает памяти для копии архива.");
        }
        sqlite3_backup* backup = sqlite3_backup_init(memory, "main", db_, "main");
        int code = backup == nullptr ? sqlite3_errcode(memory) : SQLITE_OK;
        if (backup != nullptr) {
            code = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
        }
        std::vector<std::uint8_t> bytes;
        if (code == SQLITE_DONE) {
            sqlite3_int64 size = 0;
            unsigned char* data = sqlite3_serialize(memory, "main", &size, 0);
            if (data != nullptr) {
                bytes.assign(data, data + size);
                sqlite3_free(data);
            } else {
                code = SQLITE_NOMEM;
            }
        }
        sqlite3_close(memory);
        if (code != SQLITE_DONE) {
            check(code);
        }
        return bytes;
    }

    std::vector<std::string> integrityProblems() override {
        std::vector<std::string> problems;
        for (const auto& row : query("PRAGMA integrity_check", {})) {
            if (const auto* text = std::get_if<std::string>(&row.at(0)); text && *text != "ok") {
                problems.push_back(*text);
            }
        }
        for (const auto& row : query("PRAGMA foreign_key_check", {})) {
            const auto* table = std::get_if<std::string>(&row.at(0));
            problems.push_back("строка таблицы " + (table ? *table : std::string("?")) +
                               " ссылается на то, чего нет");
        }
        return problems;
    }

    // Throws the ArchiveError for an SQLite result code other than OK.
    void check(int code) const {
        if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) {
            return;
        }
        const int extended = sqlite3_extended_errcode(db_);
        auto [kind, reason] = describe(extended, busyTimeout_);
        // What the disk said, where it said something: a full disk, a file-size limit, a
        // device gone.
        const int primary = extended & 0xFF;
        if (const int error = sqlite3_system_errno(db_);
            error != 0 && (primary == SQLITE_IOERR || primary == SQLITE_FULL)) {
            if (meansDiskFull(error)) {
                kind = Kind::Full;
            }
            reason += ": " + reasonForSystemError(error);
        }
        throw ArchiveError(kind, "Архив «" + path_ + "»: " + reason + ".");
    }

  private:
    static int bind(sqlite3_stmt* s, int at, const SqlValue& value) {
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            return sqlite3_bind_int64(s, at, *i);
        }
        if (const auto* d = std::get_if<double>(&value)) {
            return sqlite3_bind_double(s, at, *d);
        }
        if (const auto* t = std::get_if<std::string>(&value)) {
            return sqlite3_bind_text64(s, at, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        if (const auto* b = std::get_if<Blob>(&value)) {
            // No bytes are still bytes, not NULL (which a blob without data would bind).
            if (b->bytes.empty()) {
                return sqlite3_bind_zeroblob(s, at, 0);
            }
            return sqlite3_bind_blob64(s, at, b->bytes.data(), b->bytes.size(), SQLITE_TRANSIENT);
        }
        return sqlite3_bind_null(s, at);
    }

    static SqlValue column(sqlite3_stmt* s, int c) {
        switch (sqlite3_column_type(s, c)) {
            case SQLITE_INTEGER:
                return static_cast<std::int64_t>(sqlite3_column_int64(s, c));
            case SQLITE_FLOAT:
                return sqlite3_column_double(s, c);
            case SQLITE_TEXT: {
                const auto* text = sqlite3_column_text(s, c);
                return std::string(reinterpret_cast<const char*>(text),
                                   static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
            }
            case SQLITE_BLOB: {
                const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, c));
                Blob blob;
                if (data != nullptr) {
                    blob.bytes.assign(data, data + sqlite3_column_bytes(s, c));
                }
                return blob;
            }
            default:
                return std::monostate{};
        }
    }

    sqlite3* db_;
    std::string path_;
    std::chrono::milliseconds busyTimeout_;
};

}  // namespace

std::unique_ptr<SqliteConnection> openSqlite(const std::string& path, SqliteOpen mode,
                                             std::chrono::milliseconds busyTimeout) {
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Directory || kind == PathKind::Other) {
        throw ArchiveError(Kind::Unreachable,
                           "Архив «" + path + "»: " +
                               (kind == PathKind::Directory ? "это папка, а не файл архива."
                                                            : "это не обычный файл."));
    }
    if (kind == PathKind::Missing) {
        if (mode == SqliteOpen::Existing) {
            throw ArchiveError(Kind::Unreachable,
                               "Архива «" + path + "» ещё нет: в него не добавлено ни одной ночи.");
        }
        // The folders and the file are the user's alone before SQLite writes a byte.
        const std::string folder = utf8FromPath(pathFromUtf8(path).parent_path());
        if (const int error = createPrivateDirectories(folder); error != 0) {
            throw ArchiveError(Kind::Unreachable, "Не удалось создать папку архива «" + folder +
                                                      "»: " + reasonForErrno(error) + ".");
        }
        if (const int error = createPrivateFile(path); error != 0) {
            throw ArchiveError(Kind::Unreachable, "Не удалось создать архив «" + path +
                                                      "»: " + reasonForErrno(error) + ".");
        }
    }
    sqlite3* db = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto connection = std::make_unique<Sqlite>(db, path, busyTimeout);
    connection->check(opened);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, static_cast<int>(busyTimeout.count()));
    // The first statement reads the file: what is not a database is told here.
    connection->execute("PRAGMA foreign_keys = ON");
    if (sqlite3_db_readonly(db, "main") == 1) {
        // Looked at, never written: a read-only archive may still be listed and checked.
        if (mode == SqliteOpen::Create) {
            throw ArchiveError(Kind::ReadOnly, "Архив «" + path + "»: архив защищён от записи.");
        }
        return connection;
    }
    connection->query("PRAGMA journal_mode = WAL", {});
    connection->execute("PRAGMA synchronous = FULL");
    return connection;
}

}  // namespace npt::archive
