// SPDX-License-Identifier: GPL-3.0-or-later
// What the track panel shows beside the "_root.trackinfo" text, whose lines
// stay as they are (the context property "trackDetails"): the file's size as
// the desktop writes sizes (kB = 1000 bytes), for the panel to show in place
// of the text's own.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace tidyfox::window {

class TrackDetails : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString sizeText READ sizeText NOTIFY changed)
public:
    using QObject::QObject;

    QString sizeText() const { return m_sizeText; }
    // Nothing for a track whose size cannot be read.
    void setSize(std::optional<qint64> bytes);

Q_SIGNALS:
    void changed();

private:
    QString m_sizeText;
};

// "38.6 kB", "4.2 MB", "512 bytes": as the desktop's file manager writes them.
QString desktopSizeText(qint64 bytes);

} // namespace tidyfox::window
