// SPDX-License-Identifier: GPL-3.0-or-later
// SQLite's page cache made larger for the time of an import. An import is one
// transaction that inserts into several indexes at once: with the default
// 2 MB cache their pages go out to the write-ahead log and are read back
// again and again. 16 MB keeps the import of a million tracks under 100 MB;
// 48 MB was faster for a library that fits in it, but not below 100 MB.
#pragma once

#include "service/SqliteDatabase.h"

#include <QByteArray>

namespace tidyfox::library {

class ImportPageCache
{
public:
    explicit ImportPageCache(sql::Database &db) : m_db(db), m_before(db.scalar("PRAGMA cache_size"))
    {
        m_db.exec("PRAGMA cache_size = -16384"); // KiB: 16 MB
    }
    ImportPageCache(const ImportPageCache &) = delete;
    ImportPageCache &operator=(const ImportPageCache &) = delete;
    ~ImportPageCache()
    {
        try {
            m_db.exec(QByteArray("PRAGMA cache_size = " + QByteArray::number(m_before)).constData());
        } catch (...) {
            // The size only matters for this connection's later work.
        }
    }

private:
    sql::Database &m_db;
    std::int64_t m_before;
};

} // namespace tidyfox::library
