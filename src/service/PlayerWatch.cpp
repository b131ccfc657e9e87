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
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceUnregistered, this, &PlayerWatch::writeWaiting);
    QTimer::singleShot(0, this, &PlayerWatch::writeWaiting);
}

PlayerWatch::~PlayerWatch() = default;

void PlayerWatch::writeWaiting()
{
    writeBackAfterChange(*m_store);
}

} // namespace tidyfox::library
