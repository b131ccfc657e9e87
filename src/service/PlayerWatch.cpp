// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PlayerWatch.h"

#include "service/LibraryStore.h"
#include "service/PlayerLink.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace tidyfox::library {

PlayerWatch::PlayerWatch(LibraryStore *store, QObject *parent) : QObject(parent), m_store(store)
{
    if (!m_store)
        return;
    std::optional<PlayerLinkInfo> link;
    try {
        link = playerLink(m_store->database());
        if (!link)
            return;
        const QString busName = openPlayerStore(*link)->busName();
        m_watcher = std::make_unique<QDBusServiceWatcher>(busName, QDBusConnection::sessionBus(),
                                                          QDBusServiceWatcher::WatchForUnregistration);
    } catch (const std::exception &) {
        return; // a player this program does not know: nothing to watch
    }
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { QTimer::singleShot(kSettleMs, this, &PlayerWatch::writeWaiting); });
    QTimer::singleShot(0, this, &PlayerWatch::writeWaiting);
}

PlayerWatch::~PlayerWatch() = default;

// The player may still be finishing its own file when its name goes: a write
// that finds the file in the middle of that (cut short, or changing), or
// still held open by the player on its way out, is tried again a little later.
void PlayerWatch::writeWaiting()
{
    PlayerSyncResult result;
    try {
        result = writePendingChanges(*m_store);
    } catch (const std::exception &) {
        result.outcome = PlayerSyncResult::Failed;
    }
    const bool tryAgain =
        result.outcome == PlayerSyncResult::Failed || result.outcome == PlayerSyncResult::PlayerRunning;
    if (tryAgain && m_retries < kRetries) {
        ++m_retries;
        QTimer::singleShot(kRetryMs, this, &PlayerWatch::writeWaiting);
        return;
    }
    m_retries = 0;
}

} // namespace tidyfox::library
