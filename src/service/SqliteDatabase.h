// SPDX-License-Identifier: GPL-3.0-or-later
// A thin layer over the sqlite3 C API: one connection, its prepared statements
// kept for reuse, and SQLite errors turned into LibraryError messages that a
// person can act on.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace tidyfox::library::sql {

class Database;

// One use of a cached statement. Resetting it when the use ends matters: a read
// statement left mid-way would keep a snapshot open and stop the write-ahead
// log from being folded back into the database.
class Query
{
public:
    Query(Database &db, sqlite3_stmt *stmt) : m_db(&db), m_stmt(stmt) {}
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;
    ~Query();

    Query &bind(int index, std::int64_t value);
    Query &bind(int index, const QString &value);
    Query &bindNull(int index);
    Query &bindBlob(int index, const QByteArray &value);

    // Steps once: true while there is a row.
    bool next();
    // Runs a statement that returns no rows.
    void run();

    std::int64_t int64(int column) const;
    std::int32_t int32(int column) const { return static_cast<std::int32_t>(int64(column)); }
    QString text(int column) const;
    // The column's text, reusing the QString of the previous row when the
    // bytes are the same: a walk in library order meets the same artist,
    // album, genre and kind many times in a row, and shared strings save both
    // the conversions and the memory.
    QString text(int column, QByteArray &lastBytes, QString &lastText) const;
    // The column's text as SQLite holds it, valid until the next step.
    QByteArrayView utf8(int column) const;
    bool isNull(int column) const;
    QByteArray blob(int column) const;

private:
    Database *m_db;
    sqlite3_stmt *m_stmt;
};

class Database
{
public:
    // Opens the file (created when missing) or ":memory:". Nothing is read or
    // written yet: SQLite only looks at the file with the first statement.
    // readOnly opens an existing file without ever writing to it.
    explicit Database(const QString &path, bool readOnly = false);
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    // The statement for sql, prepared on first use and kept. sql must be a
    // string with static storage: it is cached by its address.
    Query query(const char *sql);
    // Runs one or more statements without results (schema, pragmas).
    void exec(const char *sql);
    // The first column of the first row of sql (a pragma or a count).
    std::int64_t scalar(const char *sql);
    QString scalarText(const char *sql);

    int changes() const;
    std::int64_t lastInsertRowId() const;
    bool inTransaction() const;
    bool isReadOnly() const;
    void setBusyTimeout(int milliseconds);
    const QString &path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }

    // Throws the LibraryError that describes rc for this library.
    [[noreturn]] void fail(int rc) const;

private:
    friend class Query;
    QString m_path;
    sqlite3 *m_db = nullptr;
    QByteArray m_textBytes; // Query::bind's, reused from text to text
    std::unordered_map<const char *, sqlite3_stmt *> m_statements;
};

} // namespace tidyfox::library::sql
