// SPDX-License-Identifier: GPL-3.0-or-later
// The service's watch on the player of a linked library: the changes that
// wait are written as soon as the player's bus name goes away (the player has
// quit and written its own file), and once when the service starts.
#pragma once

#include <QObject>
#include <memory>

class QDBusServiceWatcher;

namespace tidyfox::library {

class LibraryStore;

class PlayerWatch : public QObject
{
    Q_OBJECT

public:
    // store may be null (a core that is not a store has no link).
    explicit PlayerWatch(LibraryStore *store, QObject *parent = nullptr);
    ~PlayerWatch() override;

private:
    void writeWaiting();

    static constexpr int kSettleMs = 1000;
    static constexpr int kRetryMs = 2000;
    static constexpr int kRetries = 5;

    LibraryStore *m_store;
    int m_retries = 0;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
};

} // namespace tidyfox::library
