// SPDX-License-Identifier: GPL-3.0-or-later
// Where the library shown comes from, for the face's heading: "Library", or
// the player's library a linked one is ("Rhythmbox library").
#pragma once

#include <QObject>
#include <QString>

namespace tidyfox::window {

class LibrarySourceName : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)

public:
    using QObject::QObject;

    QString name() const { return m_name; }
    void setName(const QString &name)
    {
        const QString shown = name.isEmpty() ? QStringLiteral("Library") : name;
        if (shown == m_name)
            return;
        m_name = shown;
        emit nameChanged();
    }

signals:
    void nameChanged();

private:
    QString m_name = QStringLiteral("Library");
};

} // namespace tidyfox::window
