// SPDX-License-Identifier: GPL-3.0-or-later
// An index dropped for the time of a large insert and built again at its
// end, in the same transaction: SQLite then builds it from the sorted keys
// in one pass, instead of putting each row's key at a random place in it
// (the paths of a million tracks: a tenth of their import). Undone with the
// transaction if the insert fails.
#pragma once

#include "service/SqliteDatabase.h"

#include <QByteArray>

namespace tidyfox::library {

class DeferredIndex
{
public:
    DeferredIndex(sql::Database &db, const char *name) : m_db(db)
    {
        {
            auto q = m_db.query("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?1");
            if (!q.bind(1, QString::fromLatin1(name)).next())
                return;
            m_create = q.text(0).toUtf8();
        } // done before the drop, which an unfinished read of the schema refuses
        m_db.exec(QByteArray("DROP INDEX " + QByteArray(name)).constData());
    }
    DeferredIndex(const DeferredIndex &) = delete;
    DeferredIndex &operator=(const DeferredIndex &) = delete;

    // Builds the index again; before the transaction's commit.
    void build()
    {
        if (m_create.isEmpty())
            return;
        // The sort keeps as much as the page cache holds and spills the
        // rest to a file, not to memory (the keys of a million paths are
        // 70 MB): both small for the time of it.
        const std::int64_t cacheSize = m_db.scalar("PRAGMA cache_size");
        const std::int64_t tempStore = m_db.scalar("PRAGMA temp_store");
        m_db.exec("PRAGMA temp_store = FILE; PRAGMA cache_size = -4096");
        m_db.exec(m_create.constData());
        m_db.exec(QByteArray("PRAGMA temp_store = " + QByteArray::number(tempStore) +
                             "; PRAGMA cache_size = " + QByteArray::number(cacheSize))
                      .constData());
        m_create.clear();
    }

private:
    sql::Database &m_db;
    QByteArray m_create;
};

} // namespace tidyfox::library
