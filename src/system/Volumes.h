// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a missing file may only be on a drive that is not there now: a
// library keeps the paths of files on external disks, and with the disk
// unplugged every one of them looks gone.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace tidyfox::system {

class Volumes
{
public:
    // The mount points given, and a check of top folders against the disk.
    explicit Volumes(QStringList mountPoints);
    // The mount points of this process's mount namespace now.
    static Volumes current();

    // True when folder lies where removable drives are mounted (/media,
    // /run/media, /mnt) with nothing mounted there for it, or when its top
    // folder (/Volumes, /data, ...) does not exist at all.
    bool isDisconnected(const QString &folder) const;

private:
    bool topExists(const QString &top) const;

    QStringList m_mountPoints;
    mutable QHash<QString, bool> m_topExists;
};

// The mount points listed in mountinfo text (the format of
// /proc/self/mountinfo), with their escapes undone.
QStringList mountPointsIn(const QByteArray &mountinfo);

} // namespace tidyfox::system
