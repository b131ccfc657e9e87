// SPDX-License-Identifier: GPL-3.0-or-later
// One change to the library as one transaction: begun on construction, undone
// on destruction unless committed, so an exception anywhere in between leaves
// the library as it was.
#pragma once

#include "service/LibraryCore.h"

namespace tidyfox::library {

class Transaction
{
public:
    explicit Transaction(LibraryCore &core) : m_core(core) { m_core.begin(); }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_core.rollback();
            } catch (...) {
                // Nothing more can be done from a destructor: SQLite has
                // already undone what it could.
            }
        }
    }

    void commit()
    {
        m_core.commit();
        m_done = true;
    }

private:
    LibraryCore &m_core;
    bool m_done = false;
};

} // namespace tidyfox::library
