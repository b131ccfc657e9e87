// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SqliteDatabase.h"

#include "service/LibraryCore.h"

#include <cstring>
#include <sqlite3.h>

namespace tidyfox::library::sql {

namespace {

QString describe(int rc, const QString &path, const char *detail)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The library %1 is locked by another program; try again when it is done.").arg(path);
    case SQLITE_READONLY:
        return QStringLiteral("The library %1 is read-only.").arg(path);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("%1 is not a Tidyfox library, or it is damaged.").arg(path);
    case SQLITE_CANTOPEN:
        return QStringLiteral("Cannot open the library %1.").arg(path);
    case SQLITE_FULL:
        return QStringLiteral("The disk holding the library %1 is full.").arg(path);
    case SQLITE_PERM:
        return QStringLiteral("No permission to use the library %1.").arg(path);
    default:
        return QStringLiteral("The library %1 failed: %2.").arg(path, QString::fromUtf8(detail));
    }
}

} // namespace

Query::~Query()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

Query &Query::bind(int index, std::int64_t value)
{
    if (const int rc = sqlite3_bind_int64(m_stmt, index, value); rc != SQLITE_OK)
        m_db->fail(rc);
    return *this;
}

Query &Query::bind(int index, const QString &value)
{
    // Nearly every text is plain ASCII: its bytes go to the connection's
    // buffer instead of a new array each (an import binds ten a track).
    QByteArray &bytes = m_db->m_textBytes;
    const qsizetype size = value.size();
    bytes.resize(size);
    // constData, not utf16: that gives a null or raw-data string a block of
    // its own first, and most of an import's empty texts are null.
    const auto *from = reinterpret_cast<const char16_t *>(value.constData());
    char *to = bytes.data();
    qsizetype i = 0;
    for (; i < size && from[i] < 0x80; ++i)
        to[i] = char(from[i]);
    if (i < size)
        bytes = value.toUtf8();
    if (const int rc = sqlite3_bind_text(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        m_db->fail(rc);
    return *this;
}

Query &Query::bindNull(int index)
{
    if (const int rc = sqlite3_bind_null(m_stmt, index); rc != SQLITE_OK)
        m_db->fail(rc);
    return *this;
}

Query &Query::bindBlob(int index, const QByteArray &value)
{
    if (const int rc =
            sqlite3_bind_blob64(m_stmt, index, value.constData(), sqlite3_uint64(value.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        m_db->fail(rc);
    return *this;
}

bool Query::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db->fail(rc);
}

void Query::run()
{
    while (next()) {
    }
}

std::int64_t Query::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Query::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

QString Query::text(int column, QByteArray &lastBytes, QString &lastText) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (size == lastBytes.size() && (size == 0 || std::memcmp(data, lastBytes.constData(), std::size_t(size)) == 0))
        return lastText;
    lastBytes = QByteArray(data, size);
    lastText = QString::fromUtf8(data, size);
    return lastText;
}

QByteArrayView Query::utf8(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_stmt, column));
}

bool Query::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QByteArray Query::blob(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

Database::Database(const QString &path, bool readOnly) : m_path(path)
{
    // SQLite's count of its memory takes a lock on every allocation, and
    // nothing here reads the count; an import makes millions of them. Only
    // possible before SQLite's first use.
    static const bool noMemoryStatus = (sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0), true);
    Q_UNUSED(noMemoryStatus);
    const int access = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, access | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = describe(rc, path, m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw LibraryError(message.toStdString());
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Database::~Database()
{
    for (auto &[sql, stmt] : m_statements)
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

Query Database::query(const char *sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        sqlite3_stmt *stmt = nullptr;
        if (const int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
            rc != SQLITE_OK)
            fail(rc);
        found = m_statements.emplace(sql, stmt).first;
    }
    return Query(*this, found->second);
}

void Database::exec(const char *sql)
{
    if (const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK)
        fail(rc);
}

std::int64_t Database::scalar(const char *sql)
{
    Query q = query(sql);
    return q.next() ? q.int64(0) : 0;
}

QString Database::scalarText(const char *sql)
{
    Query q = query(sql);
    return q.next() ? q.text(0) : QString();
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

std::int64_t Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

bool Database::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void Database::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

void Database::fail(int rc) const
{
    throw LibraryError(describe(rc, m_path, sqlite3_errmsg(m_db)).toStdString());
}

} // namespace tidyfox::library::sql
