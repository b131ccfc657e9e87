// SPDX-License-Identifier: GPL-3.0-or-later
// The program's named mutex and its previous-instance test: a lock file named
// after the mutex, locked for the life of the process. The kernel drops the
// lock when the process ends, however it ends, so a copy that crashed never
// blocks the next start.
#pragma once

#include <QString>

namespace tidyfox::system {

class SingleInstance
{
public:
    // Creates (or opens) the lock file `name` in folder. Failing to create it is
    // not an error: the test then finds no other copy.
    SingleInstance(const QString &folder, const QString &name);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when another running process holds the lock. The first call that
    // finds no other copy takes the lock for this process.
    bool anotherInstanceRuns();

private:
    int m_fd = -1;
    bool m_held = false;
};

// $XDG_RUNTIME_DIR, or a private folder under the temporary folder when the
// session has none.
QString defaultLockFolder();

} // namespace tidyfox::system
